#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillbay {

// The Server menu's last line, from resourceDir/PAYLOAD.json, read afresh on
// every call: "Hub <first 8 characters of hub_commit>" plus " (dirty tree)"
// when "dirty" is the boolean true; "Payload: unknown" when the folder is
// unknown or the file is unreadable, not JSON, or not an object.
std::string payloadLine(const std::string& resourceDir);

// The first `count` user-perceived characters (grapheme clusters) of UTF-8
// text; the whole text when it has fewer.
std::string firstCharacters(std::string_view utf8, std::size_t count);

} // namespace quillbay
