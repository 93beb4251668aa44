#include "app/commands/ThemeMenu.hpp"

#include <giomm/init.h>
#include <giomm/simpleactiongroup.h>
#include <gtest/gtest.h>

using namespace quillbay;

namespace {

using Attribute = Gio::MenuModel::Attribute;

std::string attribute(const Glib::RefPtr<Gio::MenuModel>& menu, int index, Attribute name)
{
    return Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(
               menu->get_item_attribute(index, name, Glib::VARIANT_TYPE_STRING)).get();
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
    const auto section = [&](int index) { return model->get_item_link(index, Gio::MenuModel::Link::SECTION); };
    ASSERT_EQ(model->get_n_items(), 1);
    EXPECT_EQ(attribute(section(0), 0, Attribute::ACTION), "app.install-theme");

    const ThemeCatalog catalog{"night", {{"ember", "Ember", std::nullopt, true, std::nullopt},
                                         {"night", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
                                         {"broken", "Broken", std::nullopt, std::nullopt, "No manifest."}}};
    published.set(catalog);
    ASSERT_EQ(model->get_n_items(), 2);
    ASSERT_EQ(section(0)->get_n_items(), 3);
    const char* labels[] = {"Ember", "night", "Broken"};
    for (int i = 0; i < 3; ++i) {
        const auto name = ThemeMenu::packActionName(static_cast<std::size_t>(i));
        EXPECT_EQ(attribute(section(0), i, Attribute::LABEL), labels[i]);
        EXPECT_EQ(attribute(section(0), i, Attribute::ACTION), "app." + name);
        bool checked = false;
        group->get_action_state(name, checked);
        EXPECT_EQ(checked, i == 1) << labels[i];
        EXPECT_EQ(group->get_action_enabled(name), i != 2) << labels[i];
    }

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
    EXPECT_EQ(section(0)->get_n_items(), 0);

    published.set(catalog);
    menu.reset();
    EXPECT_EQ(group->list_actions().size(), 0u);
}
