#include "server/LineAssembler.hpp"

#include <glib.h>

#include <algorithm>
#include <cstdio>

namespace quillbay {

namespace {

bool isContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// Printable ASCII and tab are shown as they are; it is what a server prints nearly always.
bool isPlainText(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte >= 0x20 && byte < 0x7F) || byte == '\t';
    });
}

// Characters that would act on the shown text instead of being part of it:
// controls but tab (C0, DEL, C1: escape sequences, carriage returns),
// format characters (bidi overrides, zero-width characters, tags) and the
// line and paragraph separators that break a line where the output has none.
bool actsOnText(gunichar character)
{
    if (character == '\t')
        return false;
    switch (g_unichar_type(character)) {
    case G_UNICODE_CONTROL:
    case G_UNICODE_FORMAT:
    case G_UNICODE_LINE_SEPARATOR:
    case G_UNICODE_PARAGRAPH_SEPARATOR:
        return true;
    default:
        return false;
    }
}

// "\u202E", or "\U000E0041" beyond the first plane: says what was there, in plain ASCII.
void appendEscaped(std::string& text, gunichar character)
{
    char escape[16];
    std::snprintf(escape, sizeof escape, character <= 0xFFFF ? "\\u%04X" : "\\U%08X", static_cast<unsigned>(character));
    text += escape;
}

} // namespace

LineAssembler::LineAssembler(std::size_t maxLineBytes) : maxLineBytes_(maxLineBytes < 8 ? 8 : maxLineBytes) {}

void LineAssembler::feed(std::string_view bytes, const LineSink& sink)
{
    while (!bytes.empty()) {
        auto feedAt = bytes.find('\n');
        if (feedAt == std::string_view::npos) {
            pending_.append(bytes);
            cutOversized(sink);
            break;
        }
        if (pending_.empty()) {
            emit(bytes.substr(0, feedAt), sink);
        } else {
            pending_.append(bytes.substr(0, feedAt));
            emit(pending_, sink);
            pending_.clear();
        }
        bytes.remove_prefix(feedAt + 1);
    }
}

std::size_t LineAssembler::feedTail(std::string_view bytes, std::size_t keep, const LineSink& sink)
{
    const std::size_t start = keep == 0 ? 0 : startOfLastLines(bytes, keep);
    std::size_t skipped = 0;
    if (start > 0) {
        // A line feed ends whatever was pending, and every line before `start`
        // comes out ahead of at least `keep` later ones.
        skipped = linesIn(bytes.substr(0, start));
        pending_.clear();
        bytes.remove_prefix(start);
    }
    feed(bytes, sink);
    return skipped;
}

std::size_t LineAssembler::linesIn(std::string_view skipped) const
{
    // Empty lines are dropped; the first one is joined to what was pending.
    std::size_t count = 0;
    bool first = true;
    for (std::size_t begin = 0, end; (end = skipped.find('\n', begin)) != std::string_view::npos; begin = end + 1) {
        if (end > begin || (first && !pending_.empty()))
            ++count;
        first = false;
    }
    return count;
}

std::size_t LineAssembler::startOfLastLines(std::string_view bytes, std::size_t count)
{
    std::size_t end = bytes.rfind('\n');
    std::size_t found = 0;
    while (end != std::string_view::npos && end > 0) {
        const std::size_t previous = bytes.rfind('\n', end - 1);
        const std::size_t lineStart = previous == std::string_view::npos ? 0 : previous + 1;
        if (end > lineStart && ++found == count)
            return lineStart;
        end = previous;
    }
    return 0;
}

void LineAssembler::finish(const LineSink& sink)
{
    emit(pending_, sink);
    pending_.clear();
}

std::vector<std::string> LineAssembler::feed(std::string_view bytes)
{
    std::vector<std::string> lines;
    feed(bytes, [&](std::string&& line) { lines.push_back(std::move(line)); });
    return lines;
}

std::vector<std::string> LineAssembler::finish()
{
    std::vector<std::string> lines;
    finish([&](std::string&& line) { lines.push_back(std::move(line)); });
    return lines;
}

void LineAssembler::emit(std::string_view raw, const LineSink& sink)
{
    if (!raw.empty())
        sink(displayText(raw));
}

void LineAssembler::cutOversized(const LineSink& sink)
{
    while (pending_.size() > maxLineBytes_) {
        std::size_t cut = maxLineBytes_;
        // Back up to the start of a character; give up after a character's worth.
        for (std::size_t back = 0; back < 4 && cut > 0 && isContinuationByte(pending_[cut]); ++back)
            --cut;
        if (cut == 0)
            cut = maxLineBytes_;
        emit(std::string_view(pending_).substr(0, cut), sink);
        pending_.erase(0, cut);
    }
}

std::string LineAssembler::displayText(std::string_view bytes)
{
    if (isPlainText(bytes))
        return std::string(bytes);
    std::string text;
    text.reserve(bytes.size() + 16);
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    while (at < end) {
        const gunichar character = *at == '\0' ? 0 : g_utf8_get_char_validated(at, end - at);
        if (character == static_cast<gunichar>(-1) || character == static_cast<gunichar>(-2)) {
            text += "\xEF\xBF\xBD";  // U+FFFD for each byte that does not start a character
            ++at;
            continue;
        }
        const char* next = *at == '\0' ? at + 1 : g_utf8_next_char(at);
        if (actsOnText(character))
            appendEscaped(text, character);
        else
            text.append(at, next);
        at = next;
    }
    return text;
}

} // namespace quillbay
