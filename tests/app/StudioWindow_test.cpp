// The whole window as a user meets it, with the application's menus and the real studio server: what
// GTK renders (the labels and colours of realised widgets) and real key presses.

#include "tests/support/WebSites.hpp"
#include "tests/support/WindowFixture.hpp"

#include "app/commands/AppCommands.hpp"
#include "app/commands/AppMenus.hpp"

#include <gtk/gtkunixprint.h>
#include <gtkmm/application.h>
#include <webkit/webkit.h>

#include <cmath>

namespace quillbay {
namespace {

using namespace std::chrono_literals;
using namespace quillbay::testing;

// The WCAG contrast of a widget's text colour against the chrome's charcoal.
double contrastWithCharcoal(GtkWidget* widget)
{
    GdkRGBA colour, charcoal{};
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS  // the only way to read them before GTK 4.10
    GtkStyleContext* style = gtk_widget_get_style_context(widget);
    gtk_style_context_get_color(style, &colour);
    EXPECT_TRUE(gtk_style_context_lookup_color(style, "charcoal", &charcoal));
    G_GNUC_END_IGNORE_DEPRECATIONS
    const auto luminance = [](const GdkRGBA& c) {
        const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
    };
    const double ground = luminance(charcoal), text = luminance(colour) * colour.alpha + ground * (1.0 - colour.alpha);
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
        writeFile(preferencePath(), "[Preferences]\nstudio.page=Room\n");  // names no page: the desk

        app_ = Gtk::Application::create("org.quillbay.tests.StudioWindow", Gio::Application::Flags::NON_UNIQUE);
        app_->register_application();
        useAppServer(QUILLBAY_RESOURCE_DIR);
        commands_ = std::make_unique<AppCommands>(*app_, *server_, web_, themes_, [this] { return window_.get(); },
                                                  AppCommands::Hooks{.quit = {}, .showServerOutput = {}, .resourceDir = root_ / "payload"});
        menus_ = std::make_unique<AppMenus>(*app_, *server_, themes_, root_ / "payload");
        window_ = std::make_unique<MainWindow>(*server_, web_, themes_, Preferences(preferencePath()));
        app_->add_window(*window_);
        content().toolbar().setThemeMenuModel(menus_->toolbarThemeMenu());
        window_->present();
        server_->start();
        ASSERT_TRUE(runUntil([&] { return server_->state()->isReady(); }, 60s)) << server_->state()->message();
        ASSERT_TRUE(settledOn(server_->baseURL()));
    }

    void TearDown() override
    {
        app_->remove_window(*window_);
        WindowTest::TearDown();
        menus_.reset();
        commands_.reset();
    }

    void go(const char* path)
    {
        const std::string script = std::string("location.href = '") + path + "'";
        webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(web_.widget().gobj()), script.c_str(), -1, nullptr, nullptr,
                                            nullptr, nullptr, nullptr);
    }

    // What a script in the page gives back, as text.
    std::string pageSays(const char* script)
    {
        std::optional<std::string> said;
        webkit_web_view_evaluate_javascript(
            WEBKIT_WEB_VIEW(web_.widget().gobj()), script, -1, nullptr, nullptr, nullptr,
            +[](GObject* view, GAsyncResult* result, gpointer data) {
                JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
                gchar* text = value ? jsc_value_to_string(value) : nullptr;
                *static_cast<std::optional<std::string>*>(data) = text ? text : "(failed)";
                g_free(text);
                if (value)
                    g_object_unref(value);
            },
            &said);
        runUntil([&] { return said.has_value(); }, 5s);
        return said.value_or("(no answer)");
    }

    Glib::RefPtr<Gtk::Application> app_;
    std::unique_ptr<AppCommands> commands_;
    std::unique_ptr<AppMenus> menus_;
};

// The print dialog on screen now, if any.
GtkWidget* shownPrintDialog()
{
    for (auto* window : Gtk::Window::list_toplevels())
        if (GTK_IS_PRINT_UNIX_DIALOG(window->gobj()) && window->get_visible())
            return GTK_WIDGET(window->gobj());
    return nullptr;
}

TEST_F(StudioWindow, LabelsShowTheirUnderscoresAndStandOutUnderALightSystemTheme)
{
    ASSERT_TRUE(runUntil([&] { return themes_.catalog().get() && themes_.catalog().get()->packs.size() == 3; }, 10s));
    runFor(200ms);

    GtkWidget* bar = firstOfType(windowWidget(), GTK_TYPE_POPOVER_MENU_BAR);
    GtkMenuButton* themeButton = GTK_MENU_BUTTON(window_->content().toolbar().themeButton().gobj());
    GtkWidget* themePopover = GTK_WIDGET(gtk_menu_button_get_popover(themeButton));
    ASSERT_TRUE(bar && themePopover);
    gtk_menu_button_popup(themeButton);
    runFor(300ms);

    for (auto [where, root] : {std::pair{"menu bar", bar}, std::pair{"toolbar theme menu", themePopover}})
        EXPECT_TRUE(labelShowing(root, "Night_Owl") && !labelShowing(root, "NightOwl")) << where;
    EXPECT_TRUE(gtk_widget_get_mapped(labelShowing(themePopover, "Night_Owl")));

    // One theme choice, GTK drawing a radio per pack: the toolbar's menu draws a check beside the active pack
    // only; the menu bar draws none and marks the active pack with "✓" after its name.
    const auto& catalog = *themes_.catalog().get();
    const std::string active = std::find_if(catalog.packs.begin(), catalog.packs.end(), [&](auto& pack) { return pack.id == catalog.active; })->label();
    const auto checkChoice = [&](GtkWidget* root, bool drawn) {
        std::vector<std::string> checked;
        for (GtkWidget* radio : descendants(root)) {
            if (std::string_view(gtk_widget_get_css_name(radio)) != "radio" || !gtk_widget_get_mapped(radio))
                continue;
            EXPECT_EQ(gtk_widget_get_width(radio) > 0, drawn);
            if (gtk_widget_get_state_flags(radio) & GTK_STATE_FLAG_CHECKED)
                checked.push_back(gtk_label_get_text(GTK_LABEL(firstOfType(gtk_widget_get_parent(gtk_widget_get_parent(radio)), GTK_TYPE_LABEL))));
        }
        EXPECT_EQ(checked, std::vector<std::string>{drawn ? active : active + "  \u2713"});
    };
    checkChoice(themePopover, true);
    gtk_menu_button_popdown(themeButton);

    // The user's theme choice wins over an application's dark preference: the chrome stays readable.
    g_setenv("GTK_THEME", "Adwaita", TRUE);
    g_object_set(gtk_settings_get_default(), "gtk-theme-name", "Adwaita", nullptr);
    std::shared_ptr<void> restore(nullptr, [](void*) {
        g_unsetenv("GTK_THEME");
        g_object_set(gtk_settings_get_default(), "gtk-theme-name", "Adwaita", nullptr);
    });
    runFor(300ms);
    std::vector<std::pair<std::string, GtkWidget*>> shown{
        {"File", labelShowing(bar, "File")}, {"Server", labelShowing(bar, "Server")},
        {"Room segment", GTK_WIDGET(content().toolbar().pageButton(StudioPage::Room).gobj())},
        {"theme button", GTK_WIDGET(themeButton)}};
    for (GtkWidget* controls : descendants(windowWidget()))
        for (GtkWidget* widget : GTK_IS_WINDOW_CONTROLS(controls) ? descendants(controls) : std::vector<GtkWidget*>{})
            if (GTK_IS_BUTTON(widget))
                shown.emplace_back("window button " + std::to_string(shown.size()), widget);
    ASSERT_GE(shown.size(), 5u);
    for (const auto& [what, widget] : shown) {
        ASSERT_TRUE(widget) << what;
        EXPECT_GE(contrastWithCharcoal(widget), 4.5) << what;
    }

    // Alt and a menu's mnemonic opens that menu, also from the page. The Server menu reads the payload
    // as it opens: an edited PAYLOAD.json shows at once.
    writeFile(root_ / "payload/PAYLOAD.json", R"({"hub_commit": "next_one"})");
    gtk_widget_grab_focus(GTK_WIDGET(web_.widget().gobj()));
    press("alt+s");
    EXPECT_TRUE(runUntil([&] { GtkWidget* line = labelShowing(bar, "Hub next_one"); return line && gtk_widget_get_mapped(line); }, 2s));
    EXPECT_TRUE(gtk_test_accessible_has_property(GTK_ACCESSIBLE(bar), GTK_ACCESSIBLE_PROPERTY_LABEL));  // not its type name
    press("Left");  // from the Server menu to the Theme menu
    ASSERT_TRUE(runUntil([&] { GtkWidget* item = labelShowing(bar, active + "  \u2713"); return item && gtk_widget_get_mapped(item); }, 2s));
    checkChoice(bar, false);
}

TEST_F(StudioWindow, SwitchAndRememberedPageFollowThePageItself)
{
    Toolbar& toolbar = window_->content().toolbar();
    const auto saved = [&] { return Preferences(preferencePath()).pageRaw(); };
    EXPECT_EQ(toolbar.shownPage(), StudioPage::Desk);
    EXPECT_EQ(saved(), "Room");  // kept while the desk it reads as shows, until a page is picked
    go("/room/");
    ASSERT_TRUE(settledOn(server_->baseURL() + "room/"));
    EXPECT_EQ(toolbar.shownPage(), StudioPage::Room);
    EXPECT_EQ(saved(), "room");

    // The desk segment is no longer the selected one, so clicking it goes back.
    gtk_widget_activate(GTK_WIDGET(toolbar.pageButton(StudioPage::Desk).gobj()));
    ASSERT_TRUE(settledOn(server_->baseURL()));
    EXPECT_EQ(saved(), "desk");

    // The server's redirect from /room ends on the room as well.
    go("/room");
    ASSERT_TRUE(runUntil([&] { return toolbar.shownPage() == StudioPage::Room; }, 20s));
    EXPECT_EQ(saved(), "room");
}

TEST_F(StudioWindow, TabLeavesThePageForTheHeaderBarBothWays)
{
    GtkWidget *desk = GTK_WIDGET(window_->content().toolbar().pageButton(StudioPage::Desk).gobj()),
              *view = GTK_WIDGET(web_.widget().gobj());
    const auto header = [&] { return focusIn(content().toolbar()); };
    const auto page = [&] { return focus() == view; };
    // Presses `key` until `arrived`, at most `limit` times; the focus is never lost in between.
    const auto pressUntil = [&](const char* key, const std::function<bool()>& arrived, int limit) {
        for (int i = 0; i < limit; ++i) {
            press(key);
            EXPECT_TRUE(header() || page()) << key << " " << i << ": " << (focus() ? G_OBJECT_TYPE_NAME(focus()) : "none");
            if (arrived())
                return true;
        }
        return false;
    };

    gtk_widget_grab_focus(view);
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
    const std::pair<const char*, GtkWidget*> jumps[] = {{"F6", view}, {"F6", desk}, {"ctrl+Tab", view}, {"ctrl+shift+Tab", openInBrowser}};
    for (auto [key, to] : jumps) {
        press(key);
        EXPECT_EQ(focus(), to) << key;
    }
}

// The find bar pushes the dark desk down; it counts the current match among all of them, shows
// when there is none, and Escape gives the focus back to the link in the page that had it.
TEST_F(StudioWindow, FindPushesThePageDownCountsTheCurrentMatchAndGivesTheFocusBack)
{
    GtkWidget* view = GTK_WIDGET(web_.widget().gobj());
    const auto top = [&](GtkWidget* widget) {
        graphene_point_t origin{}, at{};
        EXPECT_TRUE(gtk_widget_compute_point(widget, windowWidget(), &origin, &at));
        return at.y;
    };
    const float pageTop = top(view);
    gtk_widget_grab_focus(view);
    press("Tab Tab");
    const std::string focusedLink = pageSays("document.activeElement.textContent");
    ASSERT_NE(focusedLink, pageSays("document.body.textContent"));

    FindBar& bar = window_->findBar();
    press("ctrl+f");
    ASSERT_TRUE(bar.isOpen() && focusIn(bar));
    EXPECT_EQ(labelProblem(GTK_WIDGET(bar.entry().gobj()), "Find in page"), "");
    ASSERT_TRUE(runUntil([&] { return bar.get_height() > 0 && top(view) == pageTop + bar.get_height(); }, 5s))
        << top(view) << " " << bar.get_height();

    const int total = std::stoi(pageSays("document.body.innerText.match(/desk/gi).length"));
    bar.entry().set_text("desk");
    const auto status = [&](int current) { return std::to_string(current) + " of " + std::to_string(total); };
    EXPECT_TRUE(runUntil([&] { return bar.status().text == status(1); }, 5s)) << bar.status().text;
    press("Return Return");
    EXPECT_TRUE(runUntil([&] { return bar.status().text == status(3); }, 5s)) << bar.status().text;
    press("shift+Return");
    EXPECT_TRUE(runUntil([&] { return bar.status().text == status(2); }, 5s)) << bar.status().text;
    bar.entry().set_text("zzqx");
    ASSERT_TRUE(runUntil([&] { return bar.status().text == "No matches"; })) << bar.status().text;
    EXPECT_TRUE(bar.entry().has_css_class("error"));

    press("Escape");
    EXPECT_FALSE(bar.isOpen() || bar.entry().has_css_class("error") || bar.get_visible());
    EXPECT_EQ(focus(), view);
    EXPECT_EQ(pageSays("document.activeElement.textContent"), focusedLink);
    EXPECT_TRUE(runUntil([&] { return top(view) == pageTop; }, 5s));
}

// A page's print request needs a press in the page, and each press opens one print dialog, which
// names the page; a run of them can be stopped.
TEST_F(StudioWindow, PrintingNeedsAPressInThePageAndARunOfItCanBeStopped)
{
    WebSites site;
    web_.setAllowedPort(site.studioPort);
    loadAndSettle(site.studio("/print"));
    const auto beacons = [&](const std::string& name) { return site.times(site.studioPort, "/beacon?" + name); };
    ASSERT_TRUE(runUntil([&] { return beacons("print-unasked") == 1; }));
    runFor(500ms);
    EXPECT_EQ(shownPrintDialog(), nullptr);

    for (int press = 1; press <= 3; ++press) {
        click(web_.widget());
        ASSERT_TRUE(runUntil([&] { return beacons("print-pressed") == press; })) << press;
        GtkWidget* dialog = nullptr;
        if (press == 3) {  // stopped
            runFor(500ms);
            EXPECT_EQ(shownPrintDialog(), nullptr);
            break;
        }
        ASSERT_TRUE(runUntil([&] { return (dialog = shownPrintDialog()) != nullptr; })) << press;
        EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(dialog)), site.studio("") + " asks to print");
        GtkWidget* stop = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), 1);
        EXPECT_EQ(stop != nullptr, press == 2) << "only a dialog soon after the last one offers to stop";
        gtk_dialog_response(GTK_DIALOG(dialog), stop ? 1 : GTK_RESPONSE_CANCEL);
        // The page asked twice; the press allowed one.
        runFor(500ms);
        EXPECT_EQ(shownPrintDialog(), nullptr) << press;
    }
}

} // namespace
} // namespace quillbay
