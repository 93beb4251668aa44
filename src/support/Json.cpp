#include "support/Json.hpp"

#include <climits>

namespace quillbay {

std::optional<nlohmann::json> parseJson(std::string_view text)
{
    auto value = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (value.is_discarded())
        return std::nullopt;
    return value;
}

std::optional<std::string> stringMember(const nlohmann::json& value, const char* key)
{
    if (!value.is_object())
        return std::nullopt;
    auto it = value.find(key);
    if (it == value.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

std::optional<long long> integerMember(const nlohmann::json& value, const char* key)
{
    if (!value.is_object())
        return std::nullopt;
    auto it = value.find(key);
    if (it == value.end())
        return std::nullopt;
    // Unsigned first: is_number_integer() is also true for unsigned values.
    if (it->is_number_unsigned()) {
        auto u = it->get<unsigned long long>();
        if (u > static_cast<unsigned long long>(LLONG_MAX))
            return std::nullopt;
        return static_cast<long long>(u);
    }
    if (it->is_number_integer())
        return it->get<long long>();
    return std::nullopt;
}

} // namespace quillbay
