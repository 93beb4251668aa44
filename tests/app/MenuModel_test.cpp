#include "app/commands/MenuModel.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using Strings = std::vector<std::string>;

namespace {

// Ember has a name, night none, broken an error; impostor is named like the active id.
const ThemeCatalog kCatalog{"night",
                            {{"ember", "Ember", "1.0", true, std::nullopt},
                             {"night", std::nullopt, std::nullopt, false, std::nullopt},
                             {"broken", "Broken", std::nullopt, std::nullopt, "The stylesheet is missing."},
                             {"impostor", "night", std::nullopt, std::nullopt, std::nullopt}}};

// One line per entry: "-" for a separator, "~label" for text, else "label action(target) keys" with
// " off" when disabled and " [x]mark" when checked.
Strings render(const std::vector<MenuEntry>& entries)
{
    Strings lines;
    for (const auto& e : entries) {
        if (e.kind == MenuEntry::Kind::Separator) {
            lines.push_back("-");
            continue;
        }
        std::string line = e.kind == MenuEntry::Kind::Text ? "~" + e.label : e.label + " " + e.action.substr(4);
        if (e.target)
            line += "(" + *e.target + ")";
        if (!e.accelerator.empty())
            line += " " + e.accelerator;
        line += std::string(e.enabled ? "" : " off") + (e.checked ? " [x]" : "") + e.mark;
        lines.push_back(line);
    }
    return lines;
}

std::vector<MenuDescription> menusFor(ServerState state, std::optional<ThemeCatalog> catalog = std::nullopt)
{
    return describeMenuBar({std::move(state), 8771, std::move(catalog), "Hub abcdef01 (dirty tree)"});
}

} // namespace

TEST(MenuModel, FileAndServerMenusInEachState)
{
    for (const auto& state : {ServerState::idle(), ServerState::starting(), ServerState::failed("It crashed."),
                              ServerState::failed(""), ServerState::ready()}) {
        SCOPED_TRACE(state.message());
        const std::string off = state.isReady() ? "" : " off";
        const auto menus = menusFor(state, kCatalog);
        ASSERT_EQ(menus.size(), 3u);
        EXPECT_EQ(menus[0].title + menus[1].title + menus[2].title, "FileThemeServer");
        // File offers no new window.
        EXPECT_EQ(render(menus[0].entries),
                  (Strings{"Install Theme Pack\u2026 install-theme <Primary><Shift>i" + off, "-",
                           "Reveal Studio Folder reveal-studio-folder", "Show Server Log show-server-log", "-",
                           "Quit quit <Primary>q"}));
        EXPECT_EQ(render(menus[2].entries),
                  (Strings{"Restart Server restart-server", "Open Desk in Browser open-desk-in-browser" + off, "-",
                           "~Port 8771 off", "~Hub abcdef01 (dirty tree) off"}));
    }
}

TEST(MenuModel, ThemeMenusForEachCatalogShape)
{
    const Strings packs{"Ember activate-theme(ember)", "night activate-theme(night) [x]\u2713",
                        "Broken activate-theme(broken) off", "night activate-theme(impostor)"};
    const auto bar = [](std::optional<ThemeCatalog> catalog) {
        return render(menusFor(ServerState::idle(), std::move(catalog))[1].entries);
    };
    EXPECT_EQ(bar(std::nullopt), (Strings{"~No packs loaded yet off", "-", "Refresh Pack List refresh-themes"}));
    EXPECT_EQ(bar(ThemeCatalog{"ember", {}}), (Strings{"-", "Refresh Pack List refresh-themes"}));
    Strings withPacks = packs;
    withPacks.insert(withPacks.end(), {"-", "Refresh Pack List refresh-themes"});
    EXPECT_EQ(bar(kCatalog), withPacks);

    // The toolbar's menu has no placeholder and no refresh.
    const std::string install = "Install Theme Pack\u2026 install-theme <Primary><Shift>i";
    EXPECT_EQ(render(describeToolbarThemeMenu(std::nullopt)), Strings{install});
    EXPECT_EQ(render(describeToolbarThemeMenu(ThemeCatalog{"x", {}})), (Strings{"-", install}));
    Strings toolbar = packs;
    toolbar.insert(toolbar.end(), {"-", install});
    EXPECT_EQ(render(describeToolbarThemeMenu(kCatalog)), toolbar);
}
