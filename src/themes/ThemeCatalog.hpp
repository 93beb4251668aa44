#pragma once

// Interface agreed between modules; the themes module implements decoding.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbay {

struct ThemePack {
    std::string id;
    std::optional<std::string> name;
    std::optional<std::string> version;
    std::optional<bool> stock;
    std::optional<std::string> error;

    // The menu label: name, or id when the name is absent.
    const std::string& label() const { return name ? *name : id; }
    bool operator==(const ThemePack&) const = default;
};

struct ThemeCatalog {
    std::string active;
    std::vector<ThemePack> packs;
    bool operator==(const ThemeCatalog&) const = default;
};

// Strict decoding of the catalog document; nullopt when it does not decode.
std::optional<ThemeCatalog> decodeThemeCatalog(std::string_view json);

} // namespace quillbay
