#include "server/LineAssembler.hpp"

#include <glib.h>

#include <cstdint>
#include <cstring>

namespace quillbay {

namespace {

bool isContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// ASCII without NUL is valid as it is; checking that a word at a time is much
// cheaper than decoding, and it is what a server prints nearly always.
bool isPlainAscii(std::string_view bytes)
{
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, sizeof word);
        bool hasZeroByte = ((word - kOnes) & ~word & kHigh) != 0;
        if ((word & kHigh) != 0 || hasZeroByte)
            return false;
    }
    for (; i < bytes.size(); ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == 0 || byte >= 0x80)
            return false;
    }
    return true;
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

void LineAssembler::feedTail(std::string_view bytes, std::size_t keep, const LineSink& sink)
{
    const std::size_t start = keep == 0 ? 0 : startOfLastLines(bytes, keep);
    if (start > 0) {
        // A line feed ends whatever was pending, and every line before `start`
        // comes out ahead of at least `keep` later ones.
        pending_.clear();
        bytes.remove_prefix(start);
    }
    feed(bytes, sink);
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
    if (isPlainAscii(bytes) || g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr))
        return std::string(bytes);
    gchar* valid = g_utf8_make_valid(bytes.data(), static_cast<gssize>(bytes.size()));
    std::string text(valid);
    g_free(valid);
    return text;
}

} // namespace quillbay
