// The whole window as a user meets it: the application's menus, the main
// window and the real studio server, under Xvfb. What is checked is what GTK
// renders (the labels and colours of realised widgets) and real key presses.

#include "tests/support/WindowFixture.hpp"

#include "app/commands/AppMenus.hpp"

#include <gtkmm/application.h>
#include <webkit/webkit.h>

#include <cmath>

namespace quillbay {
namespace {

using namespace std::chrono_literals;
using namespace quillbay::testing;

// WCAG relative luminance of an sRGB colour.
double luminance(double red, double green, double blue)
{
    const auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(red) + 0.7152 * linear(green) + 0.0722 * linear(blue);
}

double contrastWithCharcoal(GtkWidget* widget)
{
    GdkRGBA colour, charcoal{};
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS  // the only way to read them before GTK 4.10
    GtkStyleContext* style = gtk_widget_get_style_context(widget);
    gtk_style_context_get_color(style, &colour);
    EXPECT_TRUE(gtk_style_context_lookup_color(style, "charcoal", &charcoal));
    G_GNUC_END_IGNORE_DEPRECATIONS
    const double text = luminance(colour.red, colour.green, colour.blue) * colour.alpha +
                        luminance(charcoal.red, charcoal.green, charcoal.blue) * (1.0 - colour.alpha);
    const double ground = luminance(charcoal.red, charcoal.green, charcoal.blue);
    return (std::max(text, ground) + 0.05) / (std::min(text, ground) + 0.05);
}

class StudioWindow : public WindowTest {
protected:
    void SetUp() override
    {
        // A pack and a payload whose texts hold underscores.
        writeFile(root_ / "S/themes/night_owl/manifest.json", R"({"id": "night_owl", "name": "Night_Owl", "version": "1.0"})");
        writeFile(root_ / "S/themes/night_owl/theme.css", "body { color: #eee; }\n");
        writeFile(root_ / "payload/PAYLOAD.json", R"({"hub_commit": "re_lease", "dirty": false})");
        writeFile(preferencePath(), "[Preferences]\nstudio.page=desk\n");

        app_ = Gtk::Application::create("org.quillbay.tests.StudioWindow", Gio::Application::Flags::NON_UNIQUE);
        app_->register_application();
        useAppServer(QUILLBAY_RESOURCE_DIR);
        AppMenus::Hooks hooks;
        hooks.resourceDir = root_ / "payload";
        hooks.openURI = [](const std::string&) {};
        hooks.revealFolder = [](const std::string&) {};
        menus_ = std::make_unique<AppMenus>(*app_, *server_, web_, themes_, hooks);
        // Added to the application before it is shown, so it has the menu bar.
        window_ = std::make_unique<MainWindow>(*server_, web_, themes_, Preferences(preferencePath()));
        app_->add_window(*window_);
        content().toolbar().setThemeMenuModel(menus_->toolbarThemeMenu());
        window_->present();
    }

    void TearDown() override
    {
        app_->remove_window(*window_);
        WindowTest::TearDown();
        menus_.reset();
    }

    // Starts the studio server and waits for the desk to be shown.
    void startStudio()
    {
        server_->start();
        ASSERT_TRUE(runUntil([&] { return server_->state()->isReady(); }, 60s)) << server_->state()->message();
        ASSERT_TRUE(runUntil([&] { return web_.currentURL().get() == server_->baseURL() && !web_.isLoading().get(); }, 30s));
    }

    void runScript(const std::string& script)
    {
        webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(web_.widget().gobj()), script.c_str(), -1, nullptr, nullptr,
                                            nullptr, nullptr, nullptr);
    }

    Glib::RefPtr<Gtk::Application> app_;
    std::unique_ptr<AppMenus> menus_;
};

TEST_F(StudioWindow, LabelsFromDataShowTheirUnderscores)
{
    ASSERT_NO_FATAL_FAILURE(startStudio());
    ASSERT_TRUE(runUntil([&] {
        const auto& catalog = themes_.catalog().get();
        return catalog && catalog->packs.size() == 3;
    }, 10s));
    runFor(200ms);

    GtkWidget* bar = firstOfType(windowWidget(), GTK_TYPE_POPOVER_MENU_BAR);
    ASSERT_TRUE(bar);
    GtkWidget* themeButton = GTK_WIDGET(window_->content().toolbar().themeButton().gobj());
    GtkWidget* themePopover = GTK_WIDGET(gtk_menu_button_get_popover(GTK_MENU_BUTTON(themeButton)));
    ASSERT_TRUE(themePopover);
    gtk_menu_button_popup(GTK_MENU_BUTTON(themeButton));
    runFor(300ms);

    for (auto [where, root] : {std::pair{"menu bar", bar}, std::pair{"toolbar theme menu", themePopover}}) {
        GtkWidget* label = labelShowing(root, "Night_Owl");
        EXPECT_TRUE(label) << where;
        EXPECT_FALSE(labelShowing(root, "NightOwl")) << where;
    }
    EXPECT_TRUE(gtk_widget_get_mapped(labelShowing(themePopover, "Night_Owl")));
    EXPECT_TRUE(labelShowing(bar, "Hub re_lease"));
    gtk_menu_button_popdown(GTK_MENU_BUTTON(themeButton));

    // Alt and a menu's mnemonic opens that menu, also from the page.
    GtkWidget* reveal = labelShowing(bar, "Reveal Studio Folder");
    ASSERT_TRUE(reveal);
    EXPECT_FALSE(gtk_widget_get_mapped(reveal));
    gtk_widget_grab_focus(GTK_WIDGET(web_.widget().gobj()));
    press("alt+f");
    EXPECT_TRUE(runUntil([&] { return gtk_widget_get_mapped(reveal); }, 2s));
}

TEST_F(StudioWindow, SwitchAndRememberedPageFollowThePageItself)
{
    ASSERT_NO_FATAL_FAILURE(startStudio());
    Toolbar& toolbar = window_->content().toolbar();
    const std::string base = server_->baseURL();
    EXPECT_EQ(toolbar.shownPage(), StudioPage::Desk);

    runScript("location.href = '/room/'");
    ASSERT_TRUE(runUntil([&] { return web_.currentURL().get() == base + "room/" && !web_.isLoading().get(); }, 20s));
    EXPECT_EQ(toolbar.shownPage(), StudioPage::Room);
    EXPECT_EQ(Preferences(preferencePath()).pageRaw(), "room");

    // The desk segment is no longer the selected one, so clicking it goes back.
    gtk_widget_activate(GTK_WIDGET(toolbar.pageButton(StudioPage::Desk).gobj()));
    ASSERT_TRUE(runUntil([&] { return web_.currentURL().get() == base && !web_.isLoading().get(); }, 20s));
    EXPECT_EQ(Preferences(preferencePath()).pageRaw(), "desk");

    // The server's redirect from /room ends on the room as well.
    runScript("location.href = '/room'");
    ASSERT_TRUE(runUntil([&] { return toolbar.shownPage() == StudioPage::Room; }, 20s));
    EXPECT_EQ(Preferences(preferencePath()).pageRaw(), "room");
}

TEST_F(StudioWindow, ChromeTextStandsOutUnderALightSystemTheme)
{
    // The user's theme choice wins over an application's dark preference.
    g_setenv("GTK_THEME", "Adwaita", TRUE);
    g_object_set(gtk_settings_get_default(), "gtk-theme-name", "Adwaita", nullptr);
    std::shared_ptr<void> restore(nullptr, [](void*) {
        g_unsetenv("GTK_THEME");
        g_object_set(gtk_settings_get_default(), "gtk-theme-name", "Adwaita", nullptr);
    });
    runFor(300ms);

    GtkWidget* bar = firstOfType(windowWidget(), GTK_TYPE_POPOVER_MENU_BAR);
    ASSERT_TRUE(bar);
    std::vector<std::pair<std::string, GtkWidget*>> shown;
    for (const char* title : {"File", "Theme", "Server"})
        shown.emplace_back(title, labelShowing(bar, title));
    for (GtkWidget* controls : descendants(windowWidget()))
        if (GTK_IS_WINDOW_CONTROLS(controls))
            for (GtkWidget* widget : descendants(controls))
                if (GTK_IS_BUTTON(widget))
                    shown.emplace_back("window button " + std::to_string(shown.size()), widget);
    Toolbar& toolbar = window_->content().toolbar();
    shown.emplace_back("Room segment", GTK_WIDGET(toolbar.pageButton(StudioPage::Room).gobj()));
    shown.emplace_back("theme button", GTK_WIDGET(toolbar.themeButton().gobj()));
    ASSERT_GE(shown.size(), 6u);
    for (const auto& [what, widget] : shown) {
        ASSERT_TRUE(widget) << what;
        EXPECT_GE(contrastWithCharcoal(widget), 4.5) << what;
    }
}

TEST_F(StudioWindow, TabLeavesThePageForTheHeaderBarBothWays)
{
    ASSERT_NO_FATAL_FAILURE(startStudio());
    GtkWidget* desk = GTK_WIDGET(window_->content().toolbar().pageButton(StudioPage::Desk).gobj());
    const auto header = [&] { return focusIn(content().toolbar()); };
    const auto page = [&] { return focus() == GTK_WIDGET(web_.widget().gobj()); };
    // Presses `key` until `arrived` holds, at most `limit` times; the focus is
    // always on the header bar or the page itself, never lost in between.
    const auto pressUntil = [&](const char* key, const std::function<bool()>& arrived, int limit) {
        for (int i = 0; i < limit; ++i) {
            press(key);
            EXPECT_TRUE(header() || page()) << key << " " << i << ": " << (focus() ? G_OBJECT_TYPE_NAME(focus()) : "none");
            if (arrived())
                return true;
        }
        return false;
    };

    gtk_widget_grab_focus(GTK_WIDGET(web_.widget().gobj()));
    // The desk has five links; Tab past the last one reaches the shown page's segment.
    ASSERT_TRUE(pressUntil("Tab", header, 12));
    EXPECT_EQ(focus(), desk);
    EXPECT_TRUE(gtk_widget_get_state_flags(desk) & GTK_STATE_FLAG_FOCUS_VISIBLE);

    // Shift+Tab from there goes back into the page and on out through its top.
    ASSERT_TRUE(pressUntil("shift+Tab", page, 2));
    ASSERT_TRUE(pressUntil("shift+Tab", header, 12));
    GtkWidget* openInBrowser = focus();
    EXPECT_EQ(gtk_widget_get_tooltip_text(openInBrowser), std::string("Open in Browser"));

    // F6 and Ctrl+Tab jump between the page and the header bar.
    press("F6");
    EXPECT_TRUE(page());
    press("F6");
    EXPECT_EQ(focus(), desk);
    press("ctrl+Tab");
    EXPECT_TRUE(page());
    press("ctrl+shift+Tab");
    EXPECT_EQ(focus(), openInBrowser);
}

} // namespace
} // namespace quillbay
