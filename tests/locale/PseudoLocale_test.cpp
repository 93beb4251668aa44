// The window under the pseudo-locale x-pseudo, whose catalog brackets and accents every text and makes it about
// 40 % longer: each text a user reads must come from the catalog, and the smallest window must still fit it.

#include "tests/support/WindowFixture.hpp"

#include "app/commands/AppMenus.hpp"
#include "themes/NotAPackAlert.hpp"
#include "themes/PackChooser.hpp"
#include "web/LoadFailure.hpp"

#include <gtkmm/application.h>
#include <libintl.h>

#include <clocale>

namespace quillbay {
namespace {

using namespace std::chrono_literals;
using namespace quillbay::testing;

// Before GTK starts: C.UTF-8 is a locale glibc always has, and unlike "C" it lets LANGUAGE choose the catalog.
const bool kPseudoLocale = [] {
    setenv("LC_ALL", "C.UTF-8", 1);
    setenv("LANGUAGE", "x-pseudo", 1);
    std::setlocale(LC_ALL, "");
    bindtextdomain("quillbay", QUILLBAY_RESOURCE_DIR "/locale");
    bind_textdomain_codeset("quillbay", "UTF-8");
    textdomain("quillbay");
    return true;
}();

bool fromCatalog(const std::string& text)
{
    const auto open = text.find('['), close = text.rfind(']');
    return open != std::string::npos && close != std::string::npos && open < close &&
           text.find_first_of("\xC3\xC5") != std::string::npos;  // the lead bytes of the accented letters
}

// Every text a user reads from the widgets under `root` (those drawn, or all of them), named by where it is.
std::vector<std::pair<std::string, std::string>> shownTexts(GtkWidget* root, bool drawnOnly = true)
{
    std::vector<std::pair<std::string, std::string>> texts;
    for (GtkWidget* widget : descendants(root)) {
        if (drawnOnly && !gtk_widget_is_drawable(widget))
            continue;
        const std::string type = G_OBJECT_TYPE_NAME(widget);
        if (GTK_IS_LABEL(widget))
            texts.emplace_back(type + " text", gtk_label_get_text(GTK_LABEL(widget)));
        if (const char* tip = gtk_widget_get_tooltip_text(widget))
            texts.emplace_back(type + " tooltip", tip);
    }
    return texts;
}

// The labels of a menu model and of its sections and submenus.
void menuLabels(GMenuModel* menu, std::vector<std::string>& labels)
{
    for (int i = 0; i < g_menu_model_get_n_items(menu); ++i) {
        if (gchar* label = nullptr; g_menu_model_get_item_attribute(menu, i, G_MENU_ATTRIBUTE_LABEL, "s", &label)) {
            labels.emplace_back(label);
            g_free(label);
        }
        for (const char* link : {G_MENU_LINK_SECTION, G_MENU_LINK_SUBMENU})
            if (GMenuModel* inner = g_menu_model_get_item_link(menu, i, link)) {
                menuLabels(inner, labels);
                g_object_unref(inner);
            }
    }
}

class PseudoLocale : public WindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(kPseudoLocale);
        ASSERT_EQ(std::string(gettext("Retry")), "[Rétrý]") << "the pseudo catalog is not in " QUILLBAY_RESOURCE_DIR;
    }

    // Each text shown in `window` from the catalog, but `verbatim` (names, data, GTK's own words); every
    // visible button lies inside the window, its text at full width (a label's content box is as wide as it
    // measures itself: neither cut nor ellipsized).
    static void expectTranslatedAndFitting(GtkWidget* window, const std::set<std::string>& verbatim = {})
    {
        runFor(400ms);  // cards and messages slide in
        for (const auto& [where, text] : shownTexts(window))
            EXPECT_TRUE(text.empty() || verbatim.contains(text) || fromCatalog(text)) << where << ": \"" << text << "\"";
        const float windowWidth = static_cast<float>(gtk_widget_get_width(window));
        for (GtkWidget* button : descendants(window)) {
            if (!GTK_IS_BUTTON(button) || !gtk_widget_is_drawable(button))
                continue;
            graphene_rect_t bounds;
            ASSERT_TRUE(gtk_widget_compute_bounds(button, window, &bounds));
            const char* name = gtk_widget_get_tooltip_text(button) ? gtk_widget_get_tooltip_text(button) : G_OBJECT_TYPE_NAME(button);
            EXPECT_TRUE(bounds.origin.x >= 0 && bounds.origin.x + bounds.size.width <= windowWidth) << "outside: " << name;
            for (GtkWidget* label : descendants(button)) {
                if (!GTK_IS_LABEL(label))
                    continue;
                int natural = 0;
                gtk_widget_measure(label, GTK_ORIENTATION_HORIZONTAL, -1, nullptr, &natural, nullptr, nullptr);
                EXPECT_GE(gtk_widget_get_width(label), natural) << "clipped: " << gtk_label_get_text(GTK_LABEL(label));
            }
        }
    }

    void expectTranslatedAndFitting(const std::set<std::string>& verbatim = {})
    {
        ASSERT_EQ(gtk_widget_get_width(windowWidget()), 960);
        expectTranslatedAndFitting(windowWidget(), verbatim);
    }

    const std::string smallest = "[Preferences]\nwindow.width=960\nwindow.height=620\n";
};

TEST_F(PseudoLocale, WindowCardsMessagesDialogsAndMenusComeFromTheCatalogAndFitTheSmallestWindow)
{
    const std::set<std::string> names{"Quillbay"};
    {
        SCOPED_TRACE("warming up, slowly: the card shows its time, each second anew, and the ways out");
        ServerProcess::Config config = fake_.emplace(Args{"--delay=30"}).config();
        config.timing.probe.limit = 30s;
        useServer(config);
        openWindow(smallest);
        server_->start();
        const ServerCard& card = content().serverCard();
        ASSERT_TRUE(runUntil([&] { return !card.content().elapsed.empty(); }, 10s));
        const std::string elapsed = card.content().elapsed;
        expectTranslatedAndFitting(names);
        EXPECT_TRUE(content().serverCard().restartButton().is_drawable());
        EXPECT_TRUE(runUntil([&] { return !card.content().elapsed.empty() && card.content().elapsed != elapsed; }, 3s));
        server_->stop();
        ASSERT_TRUE(runUntil([&] { return !server_->hasChild(); }, 10s));
        window_.reset();
    }
    {
        SCOPED_TRACE("failed, its log box showing the server's own output");
        useServer(fake_.emplace(Args{"--crash-at-start"}).config());
        openWindow(smallest);
        server_->start();
        ASSERT_TRUE(runUntil([&] { return server_->state()->isFailed(); }, 20s));
        expectTranslatedAndFitting(names);
    }
    {
        SCOPED_TRACE("a toast telling what could not be opened, and the find bar");
        content().desktop().openPath("not/absolute");
        ASSERT_TRUE(content().toast().shown());
        window_->findInPage();
        ASSERT_TRUE(window_->findBar().isOpen());
        expectTranslatedAndFitting(names);
    }
    {
        SCOPED_TRACE("the load-error card");
        content().loadErrorCard().setMessage(loadTimeoutText(30));
        for (const auto& [where, text] : shownTexts(GTK_WIDGET(content().loadErrorCard().gobj()), false))
            EXPECT_TRUE(text.empty() || fromCatalog(text)) << where << ": \"" << text << "\"";
    }
    {
        SCOPED_TRACE("the install question and the refusal of a pack");
        choosePackInteractively([](std::optional<std::string>) {});
        showNotAPackAlert("manifest.json is missing");
        runFor(300ms);
        int dialogs = 0;
        for (Gtk::MessageDialog* dialog = nullptr; (dialog = shownMessageDialog()) && dialogs < 3; ++dialogs) {
            expectTranslatedAndFitting(GTK_WIDGET(dialog->gobj()), {"manifest.json is missing", "OK"});  // "OK": GTK's own catalog
            dialog->response(Gtk::ResponseType::DELETE_EVENT);
            runFor(100ms);
        }
        EXPECT_EQ(dialogs, 2);
    }
    {
        SCOPED_TRACE("the menus of the menu bar and of the toolbar's theme button");
        auto app = Gtk::Application::create("org.quillbay.tests.PseudoLocale", Gio::Application::Flags::NON_UNIQUE);
        app->register_application();
        AppMenus menus(*app, *server_, themes_);
        std::vector<std::string> labels;
        menuLabels(menus.menubar()->gobj(), labels);
        menuLabels(menus.toolbarThemeMenu()->gobj(), labels);
        EXPECT_GT(labels.size(), 10u);
        for (const auto& label : labels)
            EXPECT_TRUE(fromCatalog(label)) << "menu item \"" << label << "\"";
    }
}

} // namespace
} // namespace quillbay
