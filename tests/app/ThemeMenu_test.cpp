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
    if (!value)
        return {};
    std::string text = g_variant_get_string(value, nullptr);
    g_variant_unref(value);
    return text;
}

Glib::RefPtr<Gio::MenuModel> section(const Glib::RefPtr<Gio::MenuModel>& menu, int index)
{
    return menu->get_item_link(index, Gio::MenuModel::Link::SECTION);
}

class ThemeMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Gio::init();
        group = Gio::SimpleActionGroup::create();
    }

    ThemeCatalog catalog()
    {
        return {"night", {{"ember", "Ember", std::nullopt, true, std::nullopt},
                          {"night", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
                          {"broken", "Broken", std::nullopt, std::nullopt, "No manifest."}}};
    }

    Glib::RefPtr<Gio::SimpleActionGroup> group;
    Published<std::optional<ThemeCatalog>> published;
    std::vector<std::string> activated;
};

} // namespace

TEST_F(ThemeMenuTest, FollowsTheCatalogWithCheckedActiveAndDisabledBrokenPacks)
{
    ThemeMenu menu(*group, published, [this](const std::string& id) { activated.push_back(id); });
    auto model = menu.model();
    ASSERT_EQ(model->get_n_items(), 1);
    EXPECT_EQ(attribute(section(model, 0), 0, "label"), "Install Theme Pack\u2026");
    EXPECT_EQ(attribute(section(model, 0), 0, "action"), "app.install-theme");

    published.set(catalog());
    ASSERT_EQ(model->get_n_items(), 2);
    auto packs = section(model, 0);
    ASSERT_EQ(packs->get_n_items(), 3);
    const char* labels[] = {"Ember", "night", "Broken"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(attribute(packs, i, "label"), labels[i]);
        auto name = ThemeMenu::packActionName(static_cast<std::size_t>(i));
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
}

TEST_F(ThemeMenuTest, ShrinkingCatalogDropsStaleActionsAndEmptyListKeepsTheSeparator)
{
    auto menu = std::make_unique<ThemeMenu>(*group, published, [](const std::string&) {});
    published.set(catalog());
    EXPECT_TRUE(group->has_action(ThemeMenu::packActionName(2)));

    published.set(ThemeCatalog{"x", {}});
    EXPECT_FALSE(group->has_action(ThemeMenu::packActionName(0)));
    auto model = menu->model();
    ASSERT_EQ(model->get_n_items(), 2);  // an empty pack section, then the install section
    EXPECT_EQ(section(model, 0)->get_n_items(), 0);

    published.set(catalog());
    menu.reset();
    EXPECT_EQ(group->list_actions().size(), 0u);
}

TEST(MenuFill, TextLinesAndBrokenPacksPointAtDisabledActionsAndKeysAreShown)
{
    Gio::init();
    std::vector<MenuEntry> entries(4);
    entries[0] = {MenuEntry::Kind::Text, "Port 8765", "", std::nullopt, "", false, false, ""};
    entries[1] = {MenuEntry::Kind::Separator, "", "", std::nullopt, "", false, false, ""};
    entries[2] = {MenuEntry::Kind::Command, "Broken", actions::kActivateTheme, "broken", "", false, false, ""};
    entries[3] = {MenuEntry::Kind::Command, "Night", actions::kActivateTheme, "night", "", true, true, "\u2713"};
    entries.push_back({MenuEntry::Kind::Command, "Install", actions::kInstallTheme, std::nullopt,
                       "<Primary><Shift>i", true, false, ""});

    auto menu = Gio::Menu::create();
    fillMenu(*menu, entries);
    ASSERT_EQ(menu->get_n_items(), 2);
    auto first = section(menu, 0);
    auto second = section(menu, 1);
    EXPECT_EQ(attribute(first, 0, "action"), actions::kTextLine);
    EXPECT_EQ(attribute(second, 0, "action"), actions::kUnavailableTheme);
    EXPECT_EQ(attribute(second, 1, "action"), actions::kActivateTheme);
    EXPECT_EQ(attribute(second, 1, "target"), "night");
    EXPECT_EQ(attribute(second, 1, "label"), "Night  \u2713");
    EXPECT_EQ(attribute(second, 2, "accel"), "<Primary><Shift>i");
}
