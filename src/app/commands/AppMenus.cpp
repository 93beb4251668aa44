#include "app/commands/AppMenus.hpp"

#include "app/about/PayloadLine.hpp"
#include "app/commands/MenuFill.hpp"
#include "server/ServerProcess.hpp"
#include "themes/ThemePacks.hpp"

#include <gtkmm/application.h>

namespace quillbay {

AppMenus::AppMenus(Gtk::Application& app, ServerProcess& server, ThemePacks& themes, std::string resourceDir)
    : server_(server),
      themes_(themes),
      resourceDir_(resourceDir.empty() ? ServerProcess::defaultResourceDir() : std::move(resourceDir)),
      displayActions_(app)
{
    addDisplayActions();
    stateChanged_ = server_.state().signalChanged().connect([this] { rebuild(); });
    portChanged_ = server_.port().signalChanged().connect([this] { rebuild(); });
    catalogChanged_ = themes_.catalog().signalChanged().connect([this] { rebuild(); });
    rebuild();
    app.set_menubar(menubar_);
}

void AppMenus::addDisplayActions()
{
    displayActions_.addWithText(actions::kTextLine, {});
    displayActions_.addChoice(actions::kUnavailableTheme, {});
    // GTK asks for this state to become true each time the Server menu opens,
    // which is when the payload line is read again: an edited PAYLOAD.json
    // shows at once, and only the rows that changed are replaced.
    auto shown = Gio::SimpleAction::create_bool(ActionSet::mapName(actions::kServerMenuShown), false);
    shown->signal_change_state().connect([this, raw = shown.get()](const Glib::VariantBase& value) {
        raw->set_state(value);
        if (value.is_of_type(Glib::VARIANT_TYPE_BOOL) && Glib::VariantBase::cast_dynamic<Glib::Variant<bool>>(value).get())
            rebuild();
    });
    displayActions_.add(shown);
}

Glib::RefPtr<Gio::MenuItem> AppMenus::menuBarItem(MenuPlace place, const MenuDescription& menu,
                                                  const Glib::RefPtr<Gio::Menu>& submenu)
{
    auto item = Gio::MenuItem::create(menu.title, submenu);
    if (place == MenuPlace::Server)
        item->set_attribute_value("submenu-action", Glib::Variant<Glib::ustring>::create(actions::kServerMenuShown));
    return item;
}

void AppMenus::rebuild()
{
    const auto& catalog = themes_.catalog().get();
    displayActions_.find(actions::kUnavailableTheme)->set_state(Glib::Variant<Glib::ustring>::create(catalog ? catalog->active : ""));

    auto menus = describeMenuBar({server_.state().get(), server_.port().get(), catalog, payloadLine(resourceDir_)});
    if (submenus_.size() != menus.size()) {
        menubar_->remove_all();
        submenus_.clear();
        shown_.assign(menus.size(), {});
        for (std::size_t i = 0; i < menus.size(); ++i) {
            submenus_.push_back(Gio::Menu::create());
            menubar_->append_item(menuBarItem(kMenuBar[i], menus[i], submenus_.back()));
        }
    }
    for (std::size_t i = 0; i < menus.size(); ++i)
        updateMenu(*submenus_[i], shown_[i].entries, menus[i].entries);
    shown_ = std::move(menus);

    auto toolbar = describeToolbarThemeMenu(catalog);
    updateMenu(*toolbarMenu_, toolbarShown_, toolbar);
    toolbarShown_ = std::move(toolbar);
}

} // namespace quillbay
