#pragma once

#include <string>
#include <string_view>

namespace quillbay {

// The address of `path` on the studio server at `port`, the one place such an
// address is made: "http://127.0.0.1:8765" + path. `path` starts with "/".
std::string studioURL(long long port, std::string_view path = "/");

} // namespace quillbay
