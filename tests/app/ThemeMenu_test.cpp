#include "app/MenuFill.hpp"
#include "app/ThemeMenu.hpp"

#include <giomm/init.h>
#include <giomm/simpleactiongroup.h>
#include <gtest/gtest.h>

#include <gio/gio.h>

using namespace quillbay;

namespace {

std::string attribute(const Glib::RefPtr<Gio::MenuModel>& menu, int index, const char* name)
{
    GVariant* value = g_menu_model_get_item_attribute_value(menu->gobj(), index, name, G_VARIANT_TYPE_STRING);
    std::string text = value ? g_variant_get_string(value, nullptr) : "";
    if (value)
        g_variant_unref(value);
    return text;
}

Glib::RefPtr<Gio::MenuModel> section(const Glib::RefPtr<Gio::MenuModel>& menu, int index)
{
    return menu->get_item_link(index, Gio::MenuModel::Link::SECTION);
}

} // namespace

TEST(ThemeMenu, FollowsTheCatalogAndDropsStaleActions)
{
    Gio::init();
    auto group = Gio::SimpleActionGroup::create();
    Published<std::optional<ThemeCatalog>> published;
    std::vector<std::string> activated;
    auto menu = std::make_unique<ThemeMenu>(*group, published, [&](const std::string& id) { activated.push_back(id); });
    auto model = menu->model();
    ASSERT_EQ(model->get_n_items(), 1);
    EXPECT_EQ(attribute(section(model, 0), 0, "action"), "app.install-theme");

    const ThemeCatalog catalog{"night", {{"ember", "Ember", std::nullopt, true, std::nullopt},
                                         {"night", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
                                         {"broken", "Broken", std::nullopt, std::nullopt, "No manifest."}}};
    published.set(catalog);
    ASSERT_EQ(model->get_n_items(), 2);
    auto packs = section(model, 0);
    ASSERT_EQ(packs->get_n_items(), 3);
    const char* labels[] = {"Ember", "night", "Broken"};
    for (int i = 0; i < 3; ++i) {
        const auto name = ThemeMenu::packActionName(static_cast<std::size_t>(i));
        EXPECT_EQ(attribute(packs, i, "label"), labels[i]);
        EXPECT_EQ(attribute(packs, i, "action"), "app." + name);
        bool checked = false;
        group->get_action_state(name, checked);
        EXPECT_EQ(checked, i == 1) << labels[i];
        EXPECT_EQ(group->get_action_enabled(name), i != 2) << labels[i];
    }
    EXPECT_EQ(attribute(section(model, 1), 0, "label"), "Install Theme Pack\u2026");

    group->activate_action(ThemeMenu::packActionName(0));
    EXPECT_EQ(activated, std::vector<std::string>{"ember"});
    // The check follows the catalog, not the click.
    bool checked = true;
    group->get_action_state(ThemeMenu::packActionName(0), checked);
    EXPECT_FALSE(checked);

    // An empty list keeps the separator (an empty section) and drops the old actions.
    published.set(ThemeCatalog{"x", {}});
    EXPECT_FALSE(group->has_action(ThemeMenu::packActionName(0)));
    ASSERT_EQ(model->get_n_items(), 2);
    EXPECT_EQ(section(model, 0)->get_n_items(), 0);

    published.set(catalog);
    menu.reset();
    EXPECT_EQ(group->list_actions().size(), 0u);
}

TEST(MenuFill, TextLinesAndBrokenPacksPointAtDisabledActions)
{
    Gio::init();
    auto menu = Gio::Menu::create();
    fillMenu(*menu, {{MenuEntry::Kind::Text, "Port 8765", "", std::nullopt, "", false, false, ""},
                     {MenuEntry::Kind::Command, "Broken", actions::kActivateTheme, "broken", "", false, false, ""}});
    auto items = section(menu, 0);
    EXPECT_EQ(attribute(items, 0, "action"), actions::kTextLine);
    EXPECT_EQ(attribute(items, 1, "action"), actions::kUnavailableTheme);
}
