// The model with a real WebKit view under Xvfb, against tests/fixtures/web_site.py.

#include "support/DebugLog.hpp"
#include "web/DownloadEvents.hpp"
#include "web/LoadFailure.hpp"
#include "web/ShownAddress.hpp"
#include "web/WebView.hpp"
#include "web/WebViewModel.hpp"

#include "tests/support/GtkTestSupport.hpp"
#include "tests/support/WebSites.hpp"

#include <gtest/gtest.h>
#include <gdkmm/clipboard.h>
#include <gtkmm/application.h>
#include <sys/stat.h>
#include <unistd.h>
#include <webkit/webkit.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>

namespace quillbay {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace testing;

// The pids of the web processes below this process (inside their sandboxes, if any).
std::set<std::string> webProcesses()
{
    std::set<std::string> found;
    std::vector<std::string> todo{std::to_string(getpid())};
    while (!todo.empty()) {
        const std::string pid = todo.back();
        todo.pop_back();
        if (readFile("/proc/" + pid + "/comm").rfind("WebKitWebProc", 0) == 0)
            found.insert(pid);
        std::error_code gone;  // the process may have ended meanwhile
        for (const auto& task : fs::directory_iterator("/proc/" + pid + "/task", gone)) {
            std::istringstream children(readFile(task.path() / "children"));
            for (std::string child; children >> child;)
                todo.push_back(child);
        }
    }
    return found;
}

class WebViewModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A hostile desktop: the desktop's proxy, which is for the world and never for the studio, is dead;
        // and the user's cache folder takes no files, so the rules are compiled elsewhere. The environment
        // changes before GTK starts: its font thread reads the environment while it sets up.
        setenv("http_proxy", "http://127.0.0.1:9/", 1);
        unsetenv("no_proxy"), unsetenv("NO_PROXY");
        ASSERT_TRUE(startGtk()) << "no display (run under xvfb-run)";
        sites = std::make_unique<WebSites>();
        ASSERT_GT(sites->studioPort, 0) << "tests/fixtures/web_site.py did not start";
        blocker = fs::path(g_get_user_cache_dir()) / "Quillbay";
        fs::remove_all(blocker);
        std::ofstream(blocker) << "not a folder";
        model = std::make_unique<WebViewModel>();
        model->setOpener([this](const std::string& uri) { opened.push_back(uri); });
        model->setDestinationChooser([this](const std::string& name, auto answer) {
            suggested.push_back(name);
            answer(destination ? std::optional(destination->string()) : std::nullopt);
        });
        model->setAllowedPort(sites->studioPort);
        window = std::make_unique<Gtk::Window>();
        host = std::make_unique<WebView>(*model);
        window->set_child(*host);
        window->present();
    }

    void TearDown() override
    {
        if (!blocker.empty())
            fs::remove(blocker);
    }

    WebKitWebView* view() { return WEBKIT_WEB_VIEW(model->widget().gobj()); }
    WebKitSettings* settings() { return webkit_web_view_get_settings(view()); }

    // Loads and waits until the view shows `url` and has stopped loading.
    void loadAndSettle(const std::string& url)
    {
        model->load(url);
        ASSERT_TRUE(runUntil([&] {
            return model->currentURL().get() == url && !model->isLoading().get() && model->progress().get() == 1.0;
        })) << url;
    }

    // Clicks the page's link "a" as the user would (script run from here counts as a gesture).
    void clickLink()
    {
        webkit_web_view_evaluate_javascript(view(), "document.getElementById('a').click()", -1, nullptr, nullptr,
                                            nullptr, nullptr, nullptr);
    }
    bool reached(long long port, std::string hit) { return runUntil([&] { return sites->times(port, hit) > 0; }); }

    // Destroyed in reverse: the host and window before the model, the sites last.
    std::unique_ptr<WebSites> sites;
    std::unique_ptr<WebViewModel> model;
    std::unique_ptr<Gtk::Window> window;
    std::unique_ptr<WebView> host;
    std::vector<std::string> opened;
    std::vector<std::string> suggested;
    std::optional<fs::path> destination;
    fs::path blocker;  // in the private cache folder of startGtk
};

TEST_F(WebViewModelTest, TheWarmUpIsNeverPublishedAndItsProcessShowsTheFirstPage)
{
    std::vector<std::string> published;
    model->isLoading().signalChanged().connect([&] { published.push_back(model->isLoading().get() ? "on" : "off"); });
    model->progress().signalChanged().connect([&] { published.push_back("progress"); });
    model->currentURL().signalChanged().connect([&] { published.push_back("currentURL"); });
    model->loadError().signalChanged().connect([&] { published.push_back("loadError"); });
    // Nothing is loaded yet, but the web process is already starting.
    ASSERT_TRUE(runUntil([&] { return !webProcesses().empty() && !webkit_web_view_is_loading(view()); }, 10s));
    runFor(300ms);
    EXPECT_EQ(published, std::vector<std::string>{});

    // The first page goes to the process that is already running: no process
    // swap, so no new one (one of an earlier view may still be ending).
    const auto warm = webProcesses();
    loadAndSettle(sites->studio("/"));
    for (const auto& pid : webProcesses())
        EXPECT_EQ(warm.count(pid), 1u) << "a new web process " << pid << " showed the page";
    EXPECT_NE(std::find(published.begin(), published.end(), "on"), published.end()) << "never published loading";
    EXPECT_EQ(model->loadError().get(), std::nullopt);
    // The engine appends our application name to its user agent.
    EXPECT_NE(sites->hits().find("QuillbayApp/1.0"), std::string::npos) << sites->hits();

    // The window rebuilds its content: a new host takes the view from the old
    // one, and the old one goes away without taking the view along or reloading it.
    auto next = std::make_unique<WebView>(*model);
    window->set_child(*next);
    host = std::move(next);
    runFor(500ms);
    EXPECT_EQ(model->widget().get_parent(), host.get());
    EXPECT_EQ(sites->times(sites->studioPort, "/"), 1);
    EXPECT_EQ(model->currentURL().get(), sites->studio("/"));
}

TEST_F(WebViewModelTest, ForeignPagesGoToTheOpenerUnlessFramedAndNoWindowIsMade)
{
    DebugLog::install();
    // Each studio page sends its top frame to a foreign page in its own way (under the hostile desktop):
    // the address goes to the opener and no request reaches the foreign host.
    const std::string target = sites->foreign("/x");
    for (const std::string way : {"/link", "/script", "/form", "/redirect"}) {
        opened.clear();
        const std::string page = sites->studio(way + "?to=" + target);
        model->load(page);
        ASSERT_TRUE(runUntil([&] { return !opened.empty(); })) << way;
        EXPECT_EQ(opened, std::vector<std::string>{target}) << way;
        EXPECT_EQ(model->loadError().get(), std::nullopt) << way;
        if (way != "/redirect") {
            EXPECT_TRUE(runUntil([&] { return model->currentURL().get() == page; })) << way;
        }
    }
    runFor(300ms);
    EXPECT_EQ(sites->requestsTo(sites->foreignPort), 0) << sites->hits();

    // A page of another origin inside a frame loads in place: its own script reports that it ran.
    loadAndSettle(sites->studio("/iframe"));
    EXPECT_TRUE(reached(sites->foreignPort, "/beacon?framed-loaded"));

    // "localhost" on the studio's port is the studio on 127.0.0.1, never a
    // neighbour listening on [::1] there.
    opened.clear();
    for (const std::string way : {"/link", "/script", "/redirect"}) {
        const std::string landing = "/landing" + way;
        model->load(sites->studio(way + "?to=http://localhost:" + std::to_string(sites->studioPort) + landing));
        EXPECT_TRUE(runUntil([&] { return model->currentURL().get() == sites->studio(landing); })) << way;
    }
    EXPECT_EQ(sites->hits().find("neighbour"), std::string::npos) << sites->hits();
    EXPECT_TRUE(opened.empty());

    // New windows: the studio's replaces the page, a foreign one goes out.
    webkit_settings_set_javascript_can_open_windows_automatically(settings(), TRUE);
    const auto windows = Gtk::Window::list_toplevels().size();
    const std::string studioWindow = sites->studio("/landing-window");
    model->load(sites->studio("/open?to=" + studioWindow));
    EXPECT_TRUE(runUntil([&] { return model->currentURL().get() == studioWindow; }));
    const std::string page = sites->studio("/open?to=" + sites->foreign("/landing-window"));
    loadAndSettle(page);
    ASSERT_TRUE(runUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, std::vector<std::string>{sites->foreign("/landing-window")});
    const auto debug = DebugLog::recent();
    EXPECT_TRUE(std::any_of(debug.begin(), debug.end(), [&](const std::string& line) {
        return line.ends_with("navigation: handed to the browser: " + sites->foreign("/landing-window"));
    })) << "the debug log says where a foreign page went";
    runFor(300ms);
    EXPECT_EQ(model->currentURL().get(), page);
    EXPECT_EQ(sites->times(sites->foreignPort, "/landing-window"), 0);
    EXPECT_EQ(Gtk::Window::list_toplevels().size(), windows);
    EXPECT_EQ(model->loadError().get(), std::nullopt);
}

TEST_F(WebViewModelTest, OtherSchemesLeaveOnlyAfterAClickAndAYesAndLocalFilesNever)
{
    const std::string mail = "mailto:take@example.com";
    loadAndSettle(sites->studio("/script?to=" + mail));
    runFor(500ms);
    EXPECT_EQ(shownMessageDialog(mail), nullptr);

    for (const auto response : {Gtk::ResponseType::CANCEL, Gtk::ResponseType::ACCEPT}) {
        loadAndSettle(sites->studio("/anchor?to=" + mail));
        clickLink();
        Gtk::MessageDialog* dialog = nullptr;
        ASSERT_TRUE(runUntil([&] { return (dialog = shownMessageDialog(mail)) != nullptr; }));
        dialog->response(response);
    }
    EXPECT_TRUE(runUntil([&] { return !opened.empty(); }));

    // A long address is shown cut in the middle, and the whole of it can be copied.
    const std::string longAddress = "mailto:take@" + std::string(200000, 'x') + ".end";
    loadAndSettle(sites->studio("/long-anchor?to=mailto:take@&n=200000"));
    clickLink();
    Gtk::MessageDialog* dialog = nullptr;
    ASSERT_TRUE(runUntil([&] { return (dialog = shownMessageDialog("mailto:take@x")) != nullptr && dialog->get_mapped(); }));
    const std::string shown = dialog->property_secondary_text().get_value().raw();
    EXPECT_TRUE(shown == shownAddress(longAddress)) << shown.size() << " bytes shown";
    EXPECT_LE(dialog->get_width(), 1400) << "wider than the test screen";
    dialog->response(1);  // Copy Address
    std::optional<std::string> copied;
    auto clipboard = model->widget().get_clipboard();
    clipboard->read_text_async([&](auto& result) { copied = clipboard->read_text_finish(result); });
    EXPECT_TRUE(runUntil([&] { return copied.has_value(); }));
    EXPECT_TRUE(copied == longAddress) << copied.value_or("(nothing)").size();

    loadAndSettle(sites->studio("/anchor?to=file:///etc/passwd"));
    clickLink();
    runFor(500ms);
    EXPECT_EQ(shownMessageDialog("file:"), nullptr);
    EXPECT_EQ(opened, std::vector<std::string>{mail});
}

TEST_F(WebViewModelTest, APageDialogNamesItsPageAndARunOfThemCanBeStopped)
{
    // The window belongs to an application, whose shortcuts (Quit) the dialogs must share.
    const auto application = Gtk::Application::create("org.quillbay.test.dialogs", Gio::Application::Flags::NON_UNIQUE);
    ASSERT_TRUE(application->register_application());
    g_application_set_default(G_APPLICATION(application->gobj()));
    application->add_window(*window);
    // A frame of another origin cannot speak in the page's name: it gets no dialog at all.
    loadAndSettle(sites->studio("/iframe?frame=/framed-alert"));
    EXPECT_TRUE(reached(sites->foreignPort, "/beacon?framed-alert-done"));
    EXPECT_EQ(shownMessageDialog("from a frame"), nullptr);

    loadAndSettle(sites->studio("/alerts"));
    Gtk::MessageDialog* dialog = nullptr;
    ASSERT_TRUE(runUntil([&] { return (dialog = shownMessageDialog("take 0")) != nullptr; }));
    EXPECT_NE(shownMessageDialog(sites->studio("") + " says"), nullptr);
    EXPECT_EQ(dialog->get_widget_for_response(1), nullptr) << "the first dialog offers to stop";
    EXPECT_EQ(dialog->get_application(), application);
    EXPECT_EQ(dialog->get_transient_for(), window.get());
    dialog->response(Gtk::ResponseType::OK);

    // The next one comes at once, and stops the rest.
    ASSERT_TRUE(runUntil([&] { return (dialog = shownMessageDialog("take 1")) != nullptr; }));
    ASSERT_NE(dialog->get_widget_for_response(1), nullptr);
    dialog->response(1);
    EXPECT_TRUE(reached(sites->studioPort, "/beacon?alerts-done"));
    EXPECT_EQ(shownMessageDialog("take"), nullptr);
    application->remove_window(*window);
    g_application_set_default(nullptr);
}

TEST_F(WebViewModelTest, ADownloadIsSavedOnlyWhenItIsKnownToBeCompleteAndNeverCostsTheOldFile)
{
    std::vector<std::string> saved, failed;
    model->downloadEvents().finished.connect([&](const std::string& path) { saved.push_back(path); });
    model->downloadEvents().failed.connect([&](const std::string& name, const std::string&) { failed.push_back(name); });
    // A link with a download attribute (a cancelled chooser: tests/flows), saved under the longest name the
    // folder takes; a new file gets the umask's mode.
    TempDir folder{"quillbay-web"};
    destination = folder / (std::string(251, 'r') + ".txt");
    const mode_t umaskBefore = umask(027);
    const std::string page = sites->studio("/download-link?to=/report.txt&name=report.txt");
    model->load(page);
    EXPECT_TRUE(runUntil([&] { return readFile(*destination) == "plain text report\n"; })) << model->loadError().get().value_or("");
    umask(umaskBefore);
    EXPECT_EQ(fs::status(*destination).permissions(), fs::perms(0640));
    EXPECT_EQ(suggested, (std::vector<std::string>{"report.txt"}));

    // Responses the view cannot show and a blob made in the page, saved over a longer file, whose
    // mode the whole ones keep: broken.bin declares more than it sends over HTTP/1.0, the others
    // close a third of the way in or are whole.
    const std::string older(20000, 'o');
    const struct { const char* path; std::string error; } cases[] = {
        {"/broken.bin", "The connection closed after 2000 of 10000000 bytes."},
        {"/cut/chunked", "The server did not say how long the file is,"},  // no terminating chunk
        {"/cut/gzip", "The server sent the file compressed,"},  // the length is of the compressed body
        {"/cut/odd", "The connection closed after 3333 of 10000 bytes."},  // an encoding nobody decodes
        {"/whole/odd", ""},
        {"/blob/take.bin", ""},
    };
    for (const auto& c : cases) {
        saved.clear();
        failed.clear();
        const std::string name = fs::path(c.path).filename().string() + (c.error.empty() ? "-whole" : "-cut");
        destination = folder / name;
        std::ofstream(*destination) << older;
        fs::permissions(*destination, fs::perms(0604));
        model->load(sites->studio(c.path));
        ASSERT_TRUE(runUntil([&] { return saved.size() + failed.size() == 1; })) << c.path;
        EXPECT_EQ(suggested.back(), fs::path(c.path).filename()) << c.path;
        if (c.error.empty()) {
            EXPECT_EQ(saved, std::vector<std::string>{destination->string()});
            EXPECT_EQ(readFile(*destination).size(), 10000u);
            EXPECT_EQ(fs::status(*destination).permissions(), fs::perms(0604));
            EXPECT_EQ(model->loadError().get(), std::nullopt);
            // The view shows the address until the response turns the load into a download;
            // the blob's page is shown itself.
            const bool inPage = std::string(c.path).rfind("/blob/", 0) == 0;
            EXPECT_TRUE(runUntil([&] {
                return model->currentURL().get() == (inPage ? sites->studio(c.path) : page) && !model->isLoading().get();
            })) << c.path;
        } else {
            EXPECT_EQ(failed, std::vector<std::string>{name});
            EXPECT_TRUE(readFile(*destination) == older) << c.path;
            EXPECT_EQ(model->loadError().get().value_or("").rfind("Download failed: " + c.error, 0), 0u)
                << model->loadError().get().value_or("(no error)");
        }
    }
    // Nothing is left beside the chosen files.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), std::size(cases) + 1);
}

TEST_F(WebViewModelTest, TheMicrophoneIsOnlyForTheStudioOrigin)
{
    webkit_settings_set_enable_mock_capture_devices(settings(), TRUE);
    loadAndSettle(sites->studio("/microphone"));
    EXPECT_TRUE(reached(sites->studioPort, "/beacon?microphone=granted"));

    // The server has moved to another port while the page still shows: it is foreign now.
    loadAndSettle(sites->studio("/microphone?delay=1500"));
    model->setAllowedPort(sites->foreignPort);
    EXPECT_TRUE(reached(sites->studioPort, "/beacon?microphone=NotAllowedError"));
    EXPECT_EQ(sites->times(sites->studioPort, "/beacon?microphone=granted"), 1);
}

TEST_F(WebViewModelTest, RetryAfterAFailedFirstLoadFetchesThatPageAndEveryLoadGivesUpOnAHungServer)
{
    const long long port = sites->studioPort;
    sites.reset();  // the server is not up yet
    const std::string url = localAddress(port, "/");
    model->load(url);
    ASSERT_TRUE(runUntil([&] { return model->loadError().get().has_value(); }));

    // The server comes up; the user presses Retry, which clears the error at once.
    sites = std::make_unique<WebSites>(port);
    ASSERT_GT(sites->studioPort, 0);
    model->reload();
    EXPECT_EQ(model->loadError().get(), std::nullopt);
    EXPECT_TRUE(runUntil([&] {
        const char* title = webkit_web_view_get_title(view());
        return title && std::string(title) == "page" && !model->isLoading().get();
    }));
    EXPECT_EQ(model->currentURL().get(), url);
    EXPECT_EQ(model->loadError().get(), std::nullopt);

    // The server hangs: every load the shell starts gives up.
    model->setLoadTimeout(1500ms);
    sites->freeze();
    const std::pair<const char*, std::function<void()>> loads[] = {
        {"reload", [&] { model->reload(); }},
        {"hard reload", [&] { model->hardReload(); }},
        {"page switch", [&] { model->load(sites->studio("/room/")); }},
        {"retry", [&] { model->reload(); }},  // of the page switch that timed out
    };
    for (const auto& [name, start] : loads) {
        start();
        EXPECT_EQ(model->loadError().get(), std::nullopt) << name;
        EXPECT_TRUE(runUntil([&] { return model->loadError().get() == loadTimeoutText(1); }, 10s))
            << name << ": " << model->loadError().get().value_or("(no error)");
    }
    sites->thaw();
}

} // namespace
} // namespace quillbay
