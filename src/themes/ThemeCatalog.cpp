#include "themes/ThemeCatalog.hpp"

#include "support/Json.hpp"

namespace quillbay {

namespace {

using nlohmann::json;

// An optional member: absent or null gives none; any other type than the one
// expected fails the whole document.
enum class Member { Absent, Present, Wrong };

Member optionalString(const json& object, const char* key, std::optional<std::string>& out)
{
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return Member::Absent;
    if (!it->is_string())
        return Member::Wrong;
    out = it->get<std::string>();
    return Member::Present;
}

Member optionalBool(const json& object, const char* key, std::optional<bool>& out)
{
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return Member::Absent;
    if (!it->is_boolean())
        return Member::Wrong;
    out = it->get<bool>();
    return Member::Present;
}

std::optional<std::string> requiredString(const json& object, const char* key)
{
    auto it = object.find(key);
    if (it == object.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

std::optional<ThemePack> decodePack(const json& value)
{
    if (!value.is_object())
        return std::nullopt;
    ThemePack pack;
    auto id = requiredString(value, "id");
    if (!id)
        return std::nullopt;
    pack.id = std::move(*id);
    if (optionalString(value, "name", pack.name) == Member::Wrong
        || optionalString(value, "version", pack.version) == Member::Wrong
        || optionalBool(value, "stock", pack.stock) == Member::Wrong
        || optionalString(value, "error", pack.error) == Member::Wrong)
        return std::nullopt;
    return pack;
}

} // namespace

std::optional<ThemeCatalog> decodeThemeCatalog(std::string_view text)
{
    auto document = parseJson(text);
    if (!document || !document->is_object())
        return std::nullopt;

    ThemeCatalog catalog;
    auto active = requiredString(*document, "active");
    if (!active)
        return std::nullopt;
    catalog.active = std::move(*active);

    auto packs = document->find("packs");
    if (packs == document->end() || !packs->is_array())
        return std::nullopt;
    for (const auto& entry : *packs) {
        auto pack = decodePack(entry);
        if (!pack)
            return std::nullopt;
        catalog.packs.push_back(std::move(*pack));
    }
    return catalog;
}

} // namespace quillbay
