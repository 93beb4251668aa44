#include "web/ShownAddress.hpp"

#include <glib.h>

#include <algorithm>
#include <cctype>

namespace quillbay {
namespace {

// The least room that the start and end of the rest get beside the scheme and host.
constexpr std::size_t kLeastRest = 16;
constexpr const char* kEllipsis = "\u2026";

// "scheme:" and, where an authority follows, "//host"; empty without a scheme.
std::string schemeAndHost(const std::string& address)
{
    const auto colon = address.find(':');
    if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(address[0])))
        return {};
    const bool schemeChars = std::all_of(address.begin(), address.begin() + colon, [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
    if (!schemeChars)
        return {};
    if (address.compare(colon + 1, 2, "//") != 0)
        return address.substr(0, colon + 1);
    const auto hostEnd = address.find_first_of("/?#", colon + 3);
    return address.substr(0, hostEnd == std::string::npos ? address.size() : hostEnd);
}

// Characters [from, from + count) of valid UTF-8 `text`.
std::string characters(const std::string& text, std::size_t from, std::size_t count)
{
    const char* start = g_utf8_offset_to_pointer(text.c_str(), static_cast<glong>(from));
    const char* end = g_utf8_offset_to_pointer(start, static_cast<glong>(count));
    return std::string(start, end);
}

std::size_t length(const std::string& text)
{
    return static_cast<std::size_t>(g_utf8_strlen(text.c_str(), static_cast<gssize>(text.size())));
}

// The first `head` and last `tail` characters of `text`, "…" between them.
std::string cutMiddle(const std::string& text, std::size_t head, std::size_t tail)
{
    return characters(text, 0, head) + kEllipsis + characters(text, length(text) - tail, tail);
}

} // namespace

std::string shownAddress(const std::string& address, std::size_t limit)
{
    gchar* valid = g_utf8_make_valid(address.c_str(), static_cast<gssize>(address.size()));
    const std::string text(valid);
    g_free(valid);
    const std::size_t total = length(text);
    if (total <= limit || limit < 2)
        return text;
    const std::string kept = schemeAndHost(text);
    const std::size_t keptLength = length(kept);
    if (keptLength + 1 + kLeastRest > limit) {
        const std::size_t room = limit - 1;
        return cutMiddle(text, room - room / 2, room / 2);
    }
    const std::size_t room = limit - keptLength - 1;
    return kept + cutMiddle(text.substr(kept.size()), room - room / 2, room / 2);
}

} // namespace quillbay
