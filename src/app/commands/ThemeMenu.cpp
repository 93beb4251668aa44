#include "app/commands/ThemeMenu.hpp"

#include "app/commands/MenuFill.hpp"
#include "app/commands/MenuModel.hpp"

#include <giomm/simpleaction.h>

namespace quillbay {

ThemeMenu::ThemeMenu(Gio::ActionMap& actions, const Published<std::optional<ThemeCatalog>>& catalog,
                     ActivatePack activatePack)
    : packActions_(actions), catalog_(catalog), activatePack_(std::move(activatePack)), menu_(Gio::Menu::create())
{
    changed_ = catalog_.signalChanged().connect([this] { rebuild(); });
    rebuild();
}

ThemeMenu::~ThemeMenu()
{
    changed_.disconnect();
}

std::string ThemeMenu::packActionName(std::size_t index)
{
    return "toolbar-theme-" + std::to_string(index);
}

void ThemeMenu::rebuild()
{
    packActions_.clear();
    auto entries = describeToolbarThemeMenu(catalog_.get());

    menu_->remove_all();
    auto section = Gio::Menu::create();
    std::size_t packIndex = 0;
    for (const MenuEntry& entry : entries) {
        if (entry.kind == MenuEntry::Kind::Separator) {
            menu_->append_section(section);
            section = Gio::Menu::create();
            continue;
        }
        if (!entry.target) {
            section->append_item(menuItem(entry));
            continue;
        }
        std::string name = packActionName(packIndex++);
        auto action = Gio::SimpleAction::create_bool(name, entry.checked);
        action->set_enabled(entry.enabled);
        action->signal_activate().connect([this, id = *entry.target](const Glib::VariantBase&) {
            if (activatePack_)
                activatePack_(id);
        });
        packActions_.add(action);
        section->append(literalMenuLabel(entry.label), "app." + name);
    }
    menu_->append_section(section);
}

} // namespace quillbay
