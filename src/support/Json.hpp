#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace quillbay {

// Parses without exceptions; nullopt when the text is not JSON.
std::optional<nlohmann::json> parseJson(std::string_view text);

// The member `key` of an object when it is a string; nullopt otherwise
// (also when `value` is not an object).
std::optional<std::string> stringMember(const nlohmann::json& value, const char* key);

// The member `key` of an object when it is an integer (not a float, not a bool).
std::optional<long long> integerMember(const nlohmann::json& value, const char* key);

} // namespace quillbay
