// The main window's desktop features against real parts (tests/support/WindowFixture.hpp).

// Before X11's headers, which define Status.
#include "ui/output/ServerOutputWindow.hpp"

#include "tests/support/WebSites.hpp"
#include "tests/support/WindowFixture.hpp"

#include "ui/window/Style.hpp"
#include "web/PageZoom.hpp"

#include <gtk/gtk.h>
#include <gtkmm/cssprovider.h>

#include <algorithm>
#include <csignal>
#include <sstream>

namespace quillbay {
namespace {

namespace fs = std::filesystem;
using namespace quillbay::testing;

class DesktopWindow : public WindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startGtk());
        fs::create_directories(root_ / "R");
        useAppServer(root_ / "R");  // no interpreter in R: every start fails at once, without a child
    }
    bool action(const char* name) { return gtk_widget_activate_action(windowWidget(), name, nullptr); }
    void openOnSite(const std::string& path)
    {
        openWindow();
        web_.setAllowedPort(site_.emplace().studioPort);
        loadAndSettle(site_->studio(path));
    }
    std::optional<WebSites> site_;
};

// GTK drops a rule it cannot read and carries on: a typo shows only as a colour gone missing.
TEST(Style, TheBundledStyleSheetReadsWithoutErrors)
{
    ASSERT_TRUE(startGtk());
    auto provider = Gtk::CssProvider::create();
    std::vector<std::string> errors;
    provider->signal_parsing_error().connect(
        [&](const auto& section, const Glib::Error& error) { errors.push_back(section->to_string() + ": " + error.what()); });
    provider->load_from_resource(kStyleSheetResource);
    EXPECT_EQ(errors, std::vector<std::string>{});
    EXPECT_NE(provider->to_string().find("window.quillbay"), std::string::npos);
}

TEST_F(DesktopWindow, ZoomStepsApplyToTheViewAndAreRememberedAcrossWindows)
{
    openWindow("[Preferences]\nstudio.page=room\nview.zoom=1.5\n");
    ASSERT_TRUE(action("win.zoom-out"));
    EXPECT_DOUBLE_EQ(pageZoom(web_), 1.25);
    window_->zoomIn();
    window_->zoomIn();
    EXPECT_DOUBLE_EQ(pageZoom(web_), 1.75);
    EXPECT_EQ(Preferences(preferencePath()).zoom(), 1.75);

    // The next run finds it, and the page preference beside it is untouched.
    window_.reset();
    setPageZoom(web_, 1.0);
    openWindow();
    EXPECT_DOUBLE_EQ(pageZoom(web_), 1.75);
    EXPECT_EQ(Preferences(preferencePath()).pageRaw(), "room");
    ASSERT_TRUE(action("win.zoom-reset"));
    EXPECT_DOUBLE_EQ(pageZoom(web_), 1.0);
}

TEST_F(DesktopWindow, WindowSizeAndMaximisedStateSurviveARun)
{
    openWindow();
    window_->set_default_size(1010, 660);
    window_->set_visible(false);  // every way of quitting hides the window first
    EXPECT_EQ(Preferences(preferencePath()).window(), (WindowState{1010, 660, false}));

    // Maximised, the size kept is the one to return to.
    window_.reset();
    openWindow("[Preferences]\nwindow.width=1001\nwindow.height=801\nwindow.maximized=true\n");
    ASSERT_TRUE(runUntil([&] { return window_->is_maximized(); }, 5s));
    runFor(200ms);
    window_->set_visible(false);
    EXPECT_EQ(Preferences(preferencePath()).window(), (WindowState{1001, 801, true}));
}

TEST_F(DesktopWindow, DownloadsEndInAToastNamingTheFile)
{
    fs::path destination = root_ / "saved archive.bin";
    web_.setDestinationChooser([&](const std::string&, WebViewModel::DestinationAnswer answer) { answer(destination.string()); });
    openOnSite("/");

    web_.load(site_->studio("/archive.bin"));
    Toast& toast = content().toast();
    ASSERT_TRUE(runUntil([&] { return toast.shown(); }));
    EXPECT_EQ(toast.text(), "Saved saved archive.bin");
    EXPECT_TRUE(toast.actionButton().get_visible() && toast.actionButton().get_label() == "Show in Folder");
    EXPECT_EQ(fs::file_size(destination), 17u * 64u);

    // Read with the keyboard, it stays past its time.
    ASSERT_TRUE(runUntil([&] { return toast.actionButton().get_mapped(); }));  // sliding in
    toast.closeButton().grab_focus();
    runFor(std::chrono::milliseconds(Toast::kShownMs + 500));
    EXPECT_TRUE(toast.shown());

    toast.actionButton().activate();  // no file manager here: the folder itself opens
    ASSERT_TRUE(runUntil([&] { return !desktop_.opened().empty(); }, 5s));
    EXPECT_EQ(desktop_.opened(), std::vector<std::string>{root_.path()});

    toast.dismiss();
    destination = root_ / "broken.bin";
    web_.load(site_->studio("/broken.bin"));
    ASSERT_TRUE(runUntil([&] { return toast.shown(); }));
    EXPECT_EQ(toast.text().find("Could not save broken.bin: "), 0u) << toast.text();
    EXPECT_FALSE(toast.actionButton().get_visible());
    EXPECT_EQ(labelProblem(GTK_WIDGET(toast.closeButton().gobj()), "Dismiss"), "");
    toast.dismiss();
    EXPECT_TRUE(runUntil([&] { return !toast.get_visible(); }, 5s));
}

// The output window keeps to the newest line of a chatty server until scrolled up, and finds and copies what it shows.
TEST_F(DesktopWindow, ServerOutputFollowsStopsWhenScrolledUpFindsAndCopies)
{
    useFakeServer({"--lines", "300", "--chatter", "0.01"});
    auto output = ServerOutputWindow::create(*server_);
    output->present();
    server_->start();
    const auto text = [&] { return std::string(output->view().get_buffer()->get_text()); };
    auto adjustment = output->scroller().get_vadjustment();
    const auto atBottom = [&] { return adjustment->get_value() + adjustment->get_page_size() >= adjustment->get_upper() - 1; };
    const auto chatter = [&] {
        const std::string shown = text();
        return std::count(shown.begin(), shown.end(), '\n');
    };
    ASSERT_TRUE(runUntil([&] { return text().find("chatter 40\n") != std::string::npos && atBottom(); }, 20s)) << text();
    EXPECT_EQ(text().find("\u25B8 "), 0u);  // the start, told first
    EXPECT_NE(text().find("Ready on port " + std::to_string(server_->port().get())), std::string::npos);
    EXPECT_TRUE(output->following());

    adjustment->set_value(0);
    const auto before = chatter();
    ASSERT_TRUE(runUntil([&] { return chatter() > before + 20; }, 5s));
    EXPECT_FALSE(output->following());
    EXPECT_EQ(adjustment->get_value(), 0.0);
    adjustment->set_value(adjustment->get_upper());
    ASSERT_TRUE(runUntil([&] { return output->following() && atBottom() && chatter() > before + 40; }, 5s));

    gtk_widget_activate_action(GTK_WIDGET(output->gobj()), "output.find", nullptr);
    output->findEntry().set_text("LINE 29");  // 29 and 290-299
    ASSERT_TRUE(runUntil([&] { return output->findStatus().text == "1 of 11"; }, 5s)) << output->findStatus().text;
    g_signal_emit_by_name(output->findEntry().gobj(), "previous-match");
    EXPECT_EQ(output->findStatus().text, "11 of 11");
    EXPECT_FALSE(output->following());  // showing a match

    gtk_widget_activate_action(GTK_WIDGET(output->gobj()), "output.select-all", nullptr);
    gtk_widget_activate_action(GTK_WIDGET(output->gobj()), "output.copy", nullptr);
    auto clipboard = output->view().get_clipboard();
    std::optional<std::string> copied;
    clipboard->read_text_async([&](const Glib::RefPtr<Gio::AsyncResult>& result) { copied = std::string(clipboard->read_text_finish(result)); });
    ASSERT_TRUE(runUntil([&] { return copied.has_value(); }, 5s));
    EXPECT_NE(copied->find("\nline 300\n"), std::string::npos);
    EXPECT_EQ(copied->find("\u25B8 "), 0u);

    // Escape closes the find bar first, then the window.
    for (bool shown : {true, false}) {
        gtk_widget_activate_action(GTK_WIDGET(output->gobj()), "output.close", nullptr);
        EXPECT_EQ(output->get_visible(), shown);
    }
}

// A page load waiting on a server that stopped answering says so after ten seconds and offers a restart.
TEST_F(DesktopWindow, ALoadWaitingOnASilentServerSaysSoAndOffersARestart)
{
    useFakeServer({});
    openWindow();
    server_->start();
    ASSERT_TRUE(settledOn(server_->baseURL()));
    pid_t pid = 0;
    for (const std::string& line : server_->logTail().get())
        if (line.starts_with("fake studio server pid="))
            pid = std::stoi(line.substr(line.find('=') + 1));
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(pid, SIGSTOP), 0);
    content().reload();
    Toast& toast = content().toast();
    const auto start = std::chrono::steady_clock::now();
    const bool told = runUntil([&] { return toast.shown(); }, 20s);
    const auto waited = std::chrono::steady_clock::now() - start;
    kill(pid, SIGCONT);
    ASSERT_TRUE(told);
    EXPECT_GE(waited, 9s);
    EXPECT_EQ(toast.text(), "The studio server has not answered for 10 seconds.");
    EXPECT_EQ(toast.actionButton().get_label(), "Restart Server");
    EXPECT_TRUE(web_.isLoading().get());
    EXPECT_FALSE(content().loadErrorCard().get_visible());  // that one waits for the load's own timeout
}

// The dark card is the one thing to act on and says what failed; the page behind it stays out of the keyboard's way.
TEST_F(DesktopWindow, TheDarkCardHoldsTheKeyboardAndIsReadAloud)
{
    useFakeServer({"--wide-lines", "45", "--width", "70000"});
    openWindow();
    server_->start();
    Gtk::Widget& page = web_.widget();
    EXPECT_FALSE(focus() == page.gobj() || focusIn(page));
    ASSERT_TRUE(runUntil([&] { return server_->state()->isFailed(); }, 20s));
    ServerCard& card = content().serverCard();
    // The card follows the output at its own pace: a busy machine takes a while to show it all.
    ASSERT_TRUE(runUntil([&] { return std::ranges::count(card.logText(), '\n') >= 39; }, 5s)) << card.logText();

    std::istringstream text(card.logText());  // the newest forty lines, each cut
    int lines = 0;
    for (std::string line; std::getline(text, line); ++lines)
        EXPECT_EQ(line, std::string(kLogBoxLineChars, 'w') + "\u2026");
    EXPECT_EQ(lines, 40);

    GtkWidget* cardWidget = GTK_WIDGET(card.gobj());
    GtkWidget* headline = labelShowing(cardWidget, "THE ROOM IS DARK");
    GtkWidget* message = labelShowing(cardWidget, server_->state()->message());  // verbatim
    ASSERT_TRUE(headline && message);
    // Holders are plain groups, not widgets read out under their toolkit names; the menu button holds the button.
    GtkWidget* themeButton = GTK_WIDGET(content().toolbar().themeButton().gobj());
    const std::pair<GtkWidget*, GtkAccessibleRole> roles[] = {
        {firstOfType(cardWidget, GTK_TYPE_IMAGE), GTK_ACCESSIBLE_ROLE_PRESENTATION},
        {GTK_WIDGET(content().gobj()), GTK_ACCESSIBLE_ROLE_GENERIC},
        {gtk_widget_get_parent(page.gobj()), GTK_ACCESSIBLE_ROLE_GENERIC},
        {themeButton, GTK_ACCESSIBLE_ROLE_GENERIC},
    };
    for (auto [widget, role] : roles)
        EXPECT_TRUE(widget && gtk_test_accessible_has_role(GTK_ACCESSIBLE(widget), role)) << role;
    for (GtkWidget* bar : descendants(cardWidget))  // the log's text view is read, not its scroll bars
        EXPECT_TRUE(!GTK_IS_SCROLLBAR(bar) || gtk_test_accessible_has_state(GTK_ACCESSIBLE(bar), GTK_ACCESSIBLE_STATE_HIDDEN));
    std::unique_ptr<char, decltype(&g_free)> described(gtk_test_accessible_check_relation(
        GTK_ACCESSIBLE(card.restartButton().gobj()), GTK_ACCESSIBLE_RELATION_DESCRIBED_BY, message, nullptr), g_free);
    EXPECT_FALSE(described) << described.get();
    const std::pair<GtkWidget*, const char*> named[] = {
        {firstOfType(cardWidget, GTK_TYPE_TEXT_VIEW), "Newest server output"},
        {firstOfType(cardWidget, GTK_TYPE_SPINNER), "Starting the studio server"},
        {firstOfType(windowWidget(), GTK_TYPE_PROGRESS_BAR), "Loading the page"},
        {GTK_WIDGET(page.gobj()), "Studio page"},
        {gtk_widget_get_first_child(themeButton), "Theme"},
    };
    for (auto [widget, label] : named)
        EXPECT_EQ(widget ? labelProblem(widget, label) : "missing", "") << label;

    // Tab goes round the card and the header bar, never into the hidden page.
    GtkWidget* restart = GTK_WIDGET(card.restartButton().gobj());
    ASSERT_EQ(focus(), restart);
    bool back = false;
    for (int i = 0; i < 12 && !back; ++i) {
        press("Tab");
        EXPECT_FALSE(focus() == page.gobj() || focusIn(page)) << i;
        back = focus() == restart;
    }
    EXPECT_TRUE(back);

    // A click on "Show Server Log" leaves the focus, and so Return, with "Restart Server".
    click(card.showLogButton());
    ASSERT_TRUE(runUntil([&] { return !desktop_.opened().empty(); }, 5s));
    EXPECT_EQ(desktop_.opened(), std::vector<std::string>{server_->serverLogPath()});
    EXPECT_EQ(focus(), restart);
}

// Each card opens with its default button focused, so Return answers it; its headline is read as a heading.
TEST_F(DesktopWindow, EachCardsDefaultButtonHasTheFocusAndReturnPressesIt)
{
    const long long nowhere = kTestPreferred - 1;  // below the tests' studio ports: nothing listens there
    for (const bool dark : {true, false}) {
        SCOPED_TRACE(dark ? "dark card" : "load error card");
        TearDown();  // the window and server of the row before
        useFakeServer(dark ? Args{"--wide-lines", "3", "--width", "60"} : Args{});  // fails after three lines, or stays up
        openWindow();
        server_->start();
        if (!dark) {  // a page that cannot load, once the desk the window asked for (the fake's 404 page) shows
            ASSERT_TRUE(settledOn(server_->baseURL()));
            web_.setAllowedPort(nowhere);
            web_.load(localAddress(nowhere, "/"));
        }
        ASSERT_TRUE(runUntil([&] { return dark ? server_->state()->isFailed() : content().loadErrorCard().get_visible(); }, 20s));
        // The log box is as tall as its lines need, not as an earlier, narrower layout of them needed
        // (the card follows the output at its own pace: a busy machine takes a while to settle it).
        GtkWidget* log = firstOfType(GTK_WIDGET(content().serverCard().gobj()), GTK_TYPE_SCROLLED_WINDOW);
        int minimum = 0, natural = 0, retries = 0;
        const auto settled = [&] {
            gtk_widget_measure(log, GTK_ORIENTATION_VERTICAL, gtk_widget_get_width(log), &minimum, &natural, nullptr, nullptr);
            return gtk_widget_get_height(log) == (dark ? natural : 0);
        };
        EXPECT_TRUE(runUntil(settled, 5s)) << gtk_widget_get_height(log) << " against " << natural;
        GtkWidget* button = GTK_WIDGET((dark ? content().serverCard().restartButton() : content().loadErrorCard().retryButton()).gobj());
        EXPECT_EQ(gtk_window_get_default_widget(GTK_WINDOW(windowWidget())), button);
        EXPECT_EQ(focus(), button);
        GtkWidget* headline = labelShowing(windowWidget(), dark ? "THE ROOM IS DARK" : "NO SIGNAL FROM THE SERVER");
        EXPECT_TRUE(headline && gtk_test_accessible_has_role(GTK_ACCESSIBLE(headline), GTK_ACCESSIBLE_ROLE_HEADING));

        auto cleared = web_.loadError().signalChanged().connect([&] { retries += !web_.loadError().get(); });
        press("Return");
        EXPECT_TRUE(runUntil([&] { return dark ? content().serverCard().content().attempt.find("Attempt 2 at ") == 0 : retries > 0; }, 20s));
        cleared.disconnect();
    }
}

} // namespace
} // namespace quillbay
