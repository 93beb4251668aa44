#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quillbay {

// The two pages of the studio's web interface.
enum class StudioPage { Desk, Room };

inline constexpr std::array<StudioPage, 2> kAllStudioPages{StudioPage::Desk, StudioPage::Room};

// "desk" or "room"; also the page's identity.
std::string_view rawValue(StudioPage page);
// Accepts exactly "desk" and "room" (case-sensitive, no trimming).
std::optional<StudioPage> studioPageFromRaw(std::string_view raw);
// A stored text that names no page reads as the desk.
StudioPage studioPageOrDesk(std::string_view raw);

// The label of the page switch, shown verbatim.
std::string_view title(StudioPage page);
// "/" or "/room/".
std::string_view pagePath(StudioPage page);

// The page's address on the studio server at `port`.
std::string pageURL(long long port, StudioPage page);

// The page an address shows when it is on the studio server at `baseURL`
// (same scheme, host and port): "/" is the desk, "/room/" and "/room" the
// room. Any other address, or another path, names no page.
std::optional<StudioPage> studioPageAt(std::string_view url, std::string_view baseURL);

} // namespace quillbay
