#include "app/MenuModel.hpp"

#include <gtest/gtest.h>

#include <set>

using namespace quillbay;
using Kind = MenuEntry::Kind;

namespace {

ThemeCatalog sampleCatalog()
{
    ThemeCatalog catalog;
    catalog.active = "night";
    catalog.packs = {
        {"ember", "Ember", "1.0", true, std::nullopt},
        {"night", std::nullopt, std::nullopt, false, std::nullopt},
        {"broken", "Broken", std::nullopt, std::nullopt, "The stylesheet is missing."},
        {"impostor", "night", std::nullopt, std::nullopt, std::nullopt},
    };
    return catalog;
}

std::vector<MenuDescription> menusFor(ServerState state, std::optional<ThemeCatalog> catalog = std::nullopt,
                                      long long port = 8765)
{
    return describeMenuBar({std::move(state), port, std::move(catalog), "Hub abcdef01 (dirty tree)"});
}

const MenuEntry& entryWithAction(const MenuDescription& menu, const std::string& action)
{
    for (const auto& entry : menu.entries)
        if (entry.action == action)
            return entry;
    throw std::runtime_error("no entry for " + action);
}

std::vector<Kind> kinds(const std::vector<MenuEntry>& entries)
{
    std::vector<Kind> result;
    for (const auto& entry : entries)
        result.push_back(entry.kind);
    return result;
}

} // namespace

TEST(MenuModel, MenusComeInOrderAndFileOffersNoNewWindow)
{
    auto menus = menusFor(ServerState::ready());
    ASSERT_EQ(menus.size(), 3u);
    EXPECT_EQ(menus[0].title, "File");
    EXPECT_EQ(menus[1].title, "Theme");
    EXPECT_EQ(menus[2].title, "Server");

    std::vector<std::string> fileActions;
    for (const auto& entry : menus[0].entries)
        if (entry.kind == Kind::Command)
            fileActions.push_back(entry.action);
    EXPECT_EQ(fileActions, (std::vector<std::string>{actions::kInstallTheme, actions::kRevealStudioFolder,
                                                     actions::kShowServerLog, actions::kQuit}));
    EXPECT_EQ(entryWithAction(menus[0], actions::kInstallTheme).label, "Install Theme Pack\u2026");
    EXPECT_EQ(entryWithAction(menus[0], actions::kInstallTheme).accelerator, "<Primary><Shift>i");
    EXPECT_EQ(entryWithAction(menus[0], actions::kQuit).accelerator, "<Primary>q");
}

TEST(MenuModel, InstallAndOpenDeskNeedAReadyServerOtherCommandsDoNot)
{
    for (const auto& state : {ServerState::idle(), ServerState::starting(), ServerState::failed("It crashed."),
                              ServerState::failed("")}) {
        auto menus = menusFor(state, sampleCatalog());
        EXPECT_FALSE(entryWithAction(menus[0], actions::kInstallTheme).enabled);
        EXPECT_FALSE(entryWithAction(menus[2], actions::kOpenDeskInBrowser).enabled);
        EXPECT_TRUE(entryWithAction(menus[2], actions::kRestartServer).enabled);
        EXPECT_TRUE(entryWithAction(menus[1], actions::kRefreshThemes).enabled);
        EXPECT_TRUE(entryWithAction(menus[1], actions::kActivateTheme).enabled);
    }
    auto ready = menusFor(ServerState::ready());
    EXPECT_TRUE(entryWithAction(ready[0], actions::kInstallTheme).enabled);
    EXPECT_TRUE(entryWithAction(ready[2], actions::kOpenDeskInBrowser).enabled);
}

TEST(MenuModel, ThemeMenuWithoutACatalogAndWithAnEmptyOne)
{
    auto none = menusFor(ServerState::ready())[1].entries;
    ASSERT_EQ(kinds(none), (std::vector<Kind>{Kind::Text, Kind::Separator, Kind::Command}));
    EXPECT_EQ(none[0].label, "No packs loaded yet");
    EXPECT_FALSE(none[0].enabled);
    EXPECT_EQ(none[2].label, "Refresh Pack List");

    auto empty = menusFor(ServerState::ready(), ThemeCatalog{"ember", {}})[1].entries;
    ASSERT_EQ(kinds(empty), (std::vector<Kind>{Kind::Separator, Kind::Command}));
    EXPECT_EQ(empty[1].action, actions::kRefreshThemes);
}

TEST(MenuModel, PackItemsShowNameOrIdMarkOnlyTheActiveIdAndDisableBrokenPacks)
{
    auto entries = menusFor(ServerState::idle(), sampleCatalog())[1].entries;
    ASSERT_EQ(entries.size(), 6u);
    const std::vector<std::string> labels{"Ember", "night", "Broken", "night"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(entries[i].label, labels[i]);
        EXPECT_EQ(entries[i].action, actions::kActivateTheme);
        EXPECT_EQ(entries[i].target, sampleCatalog().packs[i].id);
    }
    EXPECT_EQ(entries[1].mark, "\u2713");
    EXPECT_TRUE(entries[1].checked);
    // The pack named like the active id is not the active pack.
    EXPECT_EQ(entries[3].mark, "");
    EXPECT_EQ(entries[0].mark, "");
    EXPECT_FALSE(entries[2].enabled);
    EXPECT_TRUE(entries[3].enabled);
    EXPECT_EQ(entries[4].kind, Kind::Separator);

    ThemeCatalog wrongCase{"Night", sampleCatalog().packs};
    for (const auto& entry : menusFor(ServerState::ready(), wrongCase)[1].entries)
        EXPECT_FALSE(entry.checked) << entry.label;
}

TEST(MenuModel, ServerMenuEndsWithThePortAndThePayloadLineAsText)
{
    auto entries = menusFor(ServerState::idle(), std::nullopt, 8771)[2].entries;
    ASSERT_EQ(kinds(entries),
              (std::vector<Kind>{Kind::Command, Kind::Command, Kind::Separator, Kind::Text, Kind::Text}));
    EXPECT_EQ(entries[0].label, "Restart Server");
    EXPECT_EQ(entries[1].label, "Open Desk in Browser");
    EXPECT_EQ(entries[3].label, "Port 8771");
    EXPECT_EQ(entries[4].label, "Hub abcdef01 (dirty tree)");
    EXPECT_FALSE(entries[3].enabled);
    EXPECT_FALSE(entries[4].enabled);
}

TEST(MenuModel, ToolbarThemeMenuHasNoPlaceholderAndNoRefresh)
{
    auto none = describeToolbarThemeMenu(std::nullopt);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].action, actions::kInstallTheme);

    auto empty = describeToolbarThemeMenu(ThemeCatalog{"x", {}});
    EXPECT_EQ(kinds(empty), (std::vector<Kind>{Kind::Separator, Kind::Command}));

    auto packs = describeToolbarThemeMenu(sampleCatalog());
    ASSERT_EQ(packs.size(), 6u);
    EXPECT_TRUE(packs[1].checked);
    EXPECT_FALSE(packs[2].enabled);
    EXPECT_EQ(packs[4].kind, Kind::Separator);
    EXPECT_EQ(packs[5].label, "Install Theme Pack\u2026");
}
