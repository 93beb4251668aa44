#include "app/about/PayloadLine.hpp"

#include "support/Format.hpp"
#include "support/Json.hpp"

#include <glib.h>
#include <glib/gi18n.h>
#include <pango/pango.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace quillbay {

namespace {

const char* const kUnknown = N_("Payload: unknown");

std::optional<std::string> readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return text;
}

} // namespace

std::string firstCharacters(std::string_view utf8, std::size_t count)
{
    if (!g_utf8_validate(utf8.data(), static_cast<gssize>(utf8.size()), nullptr))
        return std::string(utf8.substr(0, count));
    const glong characters = g_utf8_strlen(utf8.data(), static_cast<gssize>(utf8.size()));
    std::vector<PangoLogAttr> attrs(static_cast<std::size_t>(characters) + 1);
    // Pango marks every grapheme-cluster boundary as a cursor position.
    pango_get_log_attrs(utf8.data(), static_cast<int>(utf8.size()), -1, pango_language_from_string("C"),
                        attrs.data(), static_cast<int>(attrs.size()));
    std::size_t clusters = 0;
    for (glong offset = 1; offset <= characters; ++offset) {
        if (!attrs[static_cast<std::size_t>(offset)].is_cursor_position)
            continue;
        if (++clusters == count) {
            const char* end = g_utf8_offset_to_pointer(utf8.data(), offset);
            return std::string(utf8.data(), static_cast<std::size_t>(end - utf8.data()));
        }
    }
    return std::string(utf8);
}

std::string payloadLine(const std::string& resourceDir)
{
    if (resourceDir.empty())
        return _(kUnknown);
    auto text = readWholeFile(resourceDir + "/PAYLOAD.json");
    if (!text)
        return _(kUnknown);
    auto document = parseJson(*text);
    if (!document || !document->is_object())
        return _(kUnknown);

    std::string commit = stringMember(*document, "hub_commit").value_or("?");
    auto dirty = document->find("dirty");
    bool isDirty = dirty != document->end() && dirty->is_boolean() && dirty->get<bool>();
    return format(isDirty ? _("Hub %s (dirty tree)") : _("Hub %s"), firstCharacters(commit, 8).c_str());
}

} // namespace quillbay
