#pragma once

#include <cstddef>
#include <string>

namespace quillbay {

// The most characters of an address a question shows.
constexpr std::size_t kShownAddressLength = 80;

// `address` as a question shows it: whole when it has at most `limit`
// characters; otherwise its scheme and host, then the start and the end of the
// rest with "…" between them, `limit` characters in all. Where the scheme and
// host alone leave too little room, the whole address is cut in the middle.
std::string shownAddress(const std::string& address, std::size_t limit = kShownAddressLength);

} // namespace quillbay
