#pragma once

// Interface agreed between modules; the themes module implements it (and may
// add members, but keeps these).

#include "support/Published.hpp"
#include "themes/PackChooser.hpp"
#include "themes/ThemeCatalog.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quillbay {

// The client of the studio server's theme endpoints.
class ThemePacks {
public:
    using Done = std::function<void(bool succeeded)>;

    ThemePacks();
    ~ThemePacks();
    ThemePacks(const ThemePacks&) = delete;
    ThemePacks& operator=(const ThemePacks&) = delete;

    const Published<std::optional<ThemeCatalog>>& catalog() const;
    const Published<std::optional<std::string>>& lastMessage() const;

    // GET base + "api/themes" (3 s); on any failure the old catalog stays.
    void refresh(const std::string& base, std::function<void()> done = {});
    // POST base + "api/themes/active" {"id": id}, then a refresh whatever the outcome.
    void activate(const std::string& id, const std::string& base, Done done);
    // Lets the user pick a pack (folder or .zip), POSTs it to base + "api/themes/install",
    // then refreshes. `done(true)` when the server accepted it.
    void installInteractively(const std::string& base, Done done);

    // Injection point; the default is showNotAPackAlert.
    using Alert = std::function<void(const std::string& reason)>;
    void setAlert(Alert alert);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;  // its answers that come later are dropped once it is gone
};

} // namespace quillbay
