#pragma once

#include "app/commands/ActionSet.hpp"
#include "support/Published.hpp"
#include "themes/ThemeCatalog.hpp"

#include <giomm/menu.h>
#include <sigc++/connection.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillbay {

// The toolbar's theme menu: one item per pack, the active one checked, the
// unusable ones disabled, a separator, then "Install Theme Pack…". The model
// object stays the same for the whole run; its items follow the catalog.
//
// Each pack item is backed by its own boolean-state action "app.toolbar-theme-N"
// (N = position in the catalog), so GTK draws the check mark beside the
// active pack; activating one calls `activatePack` with the pack's id.
class ThemeMenu {
public:
    using ActivatePack = std::function<void(const std::string& id)>;

    ThemeMenu(Gio::ActionMap& actions, const Published<std::optional<ThemeCatalog>>& catalog,
              ActivatePack activatePack);
    ~ThemeMenu();
    ThemeMenu(const ThemeMenu&) = delete;
    ThemeMenu& operator=(const ThemeMenu&) = delete;

    Glib::RefPtr<Gio::MenuModel> model() const { return menu_; }
    void rebuild();

    static std::string packActionName(std::size_t index);  // without the "app." prefix

private:
    ActionSet packActions_;
    const Published<std::optional<ThemeCatalog>>& catalog_;
    ActivatePack activatePack_;
    Glib::RefPtr<Gio::Menu> menu_;
    sigc::connection changed_;
};

} // namespace quillbay
