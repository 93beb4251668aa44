// The model with a real WebKit view under Xvfb, against tests/fixtures/web_site.py.

#include "web/LoadFailure.hpp"
#include "web/WebView.hpp"
#include "web/WebViewModel.hpp"

#include "tests/support/WebSites.hpp"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <gtkmm/init.h>
#include <gtkmm/window.h>
#include <csignal>
#include <unistd.h>
#include <webkit/webkit.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>

namespace quillbay {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testing::readFile;
using testing::runFor;
using testing::runUntil;
using testing::TempDir;
using testing::localAddress;
using testing::WebSites;

// GTK, once per binary, with the engine's data and cache folders private to this run.
bool startGtk()
{
    static TempDir home{"quillbay-web"};
    static const bool started = [] {
        for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"}) {
            setenv(name, (home / name).c_str(), 1);
        }
        // Software GL under Xvfb: the cheapest renderers.
        setenv("GSK_RENDERER", "cairo", 0);
        setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
        if (!gtk_init_check()) {
            return false;
        }
        Gtk::init_gtkmm_internals();
        return true;
    }();
    return started;
}

// True once a child of this process is a web process, or the sandbox holding one.
bool webProcessRunning()
{
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::istringstream children(readFile(task.path() / "children"));
        for (std::string pid; children >> pid;) {
            const std::string name = readFile("/proc/" + pid + "/comm");
            if (name.rfind("bwrap", 0) == 0 || name.rfind("WebKitWebProc", 0) == 0) {
                return true;
            }
        }
    }
    return false;
}

// The pids of the web processes below this process (inside their sandboxes, if any).
std::set<std::string> webProcesses()
{
    std::set<std::string> found;
    std::vector<std::string> todo{std::to_string(getpid())};
    while (!todo.empty()) {
        const std::string pid = todo.back();
        todo.pop_back();
        if (readFile("/proc/" + pid + "/comm").rfind("WebKitWebProc", 0) == 0) {
            found.insert(pid);
        }
        std::error_code gone;  // the process may have ended meanwhile
        for (const auto& task : fs::directory_iterator("/proc/" + pid + "/task", gone)) {
            std::istringstream children(readFile(task.path() / "children"));
            for (std::string child; children >> child;) {
                todo.push_back(child);
            }
        }
    }
    return found;
}

class WebViewModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startGtk()) << "no display (run under xvfb-run)";
        sites = std::make_unique<WebSites>();
        ASSERT_GT(sites->studioPort, 0) << "tests/fixtures/web_site.py did not start";
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
        model->setParentWindow(window.get());
        window->present();
    }

    WebKitWebView* view() { return WEBKIT_WEB_VIEW(model->widget().gobj()); }
    WebKitSettings* settings() { return webkit_web_view_get_settings(view()); }

    // Loads and waits until the view shows `url` and has stopped loading.
    void loadAndSettle(const std::string& url)
    {
        model->load(url);
        ASSERT_TRUE(runUntil([&] {
            return model->currentURL().get() == url && !model->isLoading().get()
                   && model->progress().get() == 1.0;
        })) << url;
    }

    bool reached(long long port, const std::string& pathAndQuery)
    {
        return runUntil([&] { return sites->times(port, pathAndQuery) > 0; });
    }

    // Destroyed in reverse: the host and window before the model, the sites last.
    std::unique_ptr<WebSites> sites;
    std::unique_ptr<WebViewModel> model;
    std::unique_ptr<Gtk::Window> window;
    std::unique_ptr<WebView> host;
    std::vector<std::string> opened;
    std::vector<std::string> suggested;
    std::optional<fs::path> destination;
};

TEST_F(WebViewModelTest, StartsItsWebProcessAtOnceAndPublishesLoading)
{
    // Nothing is loaded yet, but the web process is already starting.
    EXPECT_TRUE(runUntil(webProcessRunning, 10s));
    EXPECT_EQ(model->currentURL().get(), std::nullopt);

    std::vector<bool> loading;
    model->isLoading().signalChanged().connect([&] { loading.push_back(model->isLoading().get()); });
    loadAndSettle(sites->studio("/"));
    EXPECT_NE(std::find(loading.begin(), loading.end(), true), loading.end()) << "never published loading";
    EXPECT_EQ(model->loadError().get(), std::nullopt);
    // The engine appends our application name to its user agent.
    EXPECT_NE(sites->hits().find("QuillbayApp/1.0"), std::string::npos) << sites->hits();
}

TEST_F(WebViewModelTest, TheWarmUpIsNeverPublishedAndItsProcessShowsTheFirstPage)
{
    std::vector<std::string> published;
    model->isLoading().signalChanged().connect([&] { published.push_back("isLoading"); });
    model->progress().signalChanged().connect([&] { published.push_back("progress"); });
    model->currentURL().signalChanged().connect([&] { published.push_back("currentURL"); });
    model->loadError().signalChanged().connect([&] { published.push_back("loadError"); });
    ASSERT_TRUE(runUntil([&] { return !webProcesses().empty() && !webkit_web_view_is_loading(view()); }));
    runFor(300ms);
    EXPECT_EQ(published, std::vector<std::string>{});
    EXPECT_FALSE(model->isLoading().get());
    EXPECT_EQ(model->progress().get(), 0.0);
    EXPECT_EQ(model->currentURL().get(), std::nullopt);
    EXPECT_TRUE(opened.empty());

    // The first page goes to the process that is already running: no process
    // swap, so no new one (one of an earlier view may still be ending).
    const auto warm = webProcesses();
    loadAndSettle(sites->studio("/"));
    for (const auto& pid : webProcesses()) {
        EXPECT_EQ(warm.count(pid), 1u) << "a new web process " << pid << " showed the page";
    }
    EXPECT_EQ(model->loadError().get(), std::nullopt);
}

TEST_F(WebViewModelTest, ForeignPagesGoToTheOpenerUnlessFramedAndNoWindowIsMade)
{
    // A foreign iframe loads in place: its own script reports that it ran.
    loadAndSettle(sites->studio("/iframe"));
    EXPECT_TRUE(reached(sites->foreignPort, "/beacon?framed-loaded"));
    EXPECT_TRUE(opened.empty());

    // A link to another port is not followed.
    loadAndSettle(sites->studio("/link?to=" + sites->foreign("/landing")));
    ASSERT_TRUE(runUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, std::vector<std::string>{sites->foreign("/landing")});

    // New windows: the studio's replaces the page, a foreign one goes out.
    webkit_settings_set_javascript_can_open_windows_automatically(settings(), TRUE);
    const auto windows = Gtk::Window::list_toplevels().size();
    const std::string studioWindow = sites->studio("/landing-window");
    model->load(sites->studio("/open?to=" + studioWindow));
    EXPECT_TRUE(runUntil([&] { return model->currentURL().get() == studioWindow; }));
    const std::string page = sites->studio("/open?to=" + sites->foreign("/landing-window"));
    loadAndSettle(page);
    ASSERT_TRUE(runUntil([&] { return opened.size() == 2; }));
    EXPECT_EQ(opened.back(), sites->foreign("/landing-window"));
    runFor(300ms);
    EXPECT_EQ(model->currentURL().get(), page);
    EXPECT_EQ(sites->times(sites->foreignPort, "/landing-window"), 0);
    EXPECT_EQ(Gtk::Window::list_toplevels().size(), windows);
    EXPECT_EQ(model->loadError().get(), std::nullopt);
}

TEST_F(WebViewModelTest, ForeignTopFrameNavigationsGoOutBeforeAnyRequestLeaves)
{
    // Each studio page sends its top frame to `target` in its own way.
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

    // A page of another origin inside a frame still loads.
    loadAndSettle(sites->studio("/iframe"));
    EXPECT_TRUE(reached(sites->foreignPort, "/beacon?framed-loaded"));
}

TEST_F(WebViewModelTest, DownloadsGoWhereTheChooserSaysAndOnlyFailuresAreErrors)
{
    // The user cancels the save dialog: no error.
    const std::string page = sites->studio("/download-link?to=/report.txt&name=report.txt");
    loadAndSettle(page);
    ASSERT_TRUE(runUntil([&] { return suggested.size() == 1; }));
    runFor(500ms);
    EXPECT_EQ(model->loadError().get(), std::nullopt);

    // A link with a download attribute, saved over an existing file.
    TempDir folder{"quillbay-web"};
    destination = folder / "report.txt";
    std::ofstream(*destination) << "an older, longer report that must go away\n";
    model->reload();
    EXPECT_TRUE(runUntil([&] { return readFile(*destination) == "plain text report\n"; }))
        << readFile(*destination);
    EXPECT_EQ(suggested, (std::vector<std::string>{"report.txt", "report.txt"}));

    // A response the view cannot show.
    destination = folder / "saved.bin";
    std::ofstream(*destination) << "old";
    model->load(sites->studio("/archive.bin"));
    EXPECT_TRUE(runUntil([&] { return readFile(*destination).size() == 17 * 64; }));
    EXPECT_EQ(suggested.back(), "archive.bin");
    EXPECT_EQ(model->currentURL().get(), page);
    EXPECT_EQ(model->loadError().get(), std::nullopt);
    EXPECT_TRUE(opened.empty());

    // The server closes the connection long before the length it declared; over
    // HTTP/1.0 the engine takes that for the end. The short file is not kept.
    destination = folder / "broken.bin";
    model->load(sites->studio("/broken.bin"));
    ASSERT_TRUE(runUntil([&] { return model->loadError().get().has_value(); }));
    const std::string error = *model->loadError().get();
    EXPECT_TRUE(error.rfind("Download failed: ", 0) == 0 && error.size() > 17) << error;
    EXPECT_TRUE(runUntil([&] { return !fs::exists(*destination); }, 2s)) << readFile(*destination).size();
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

TEST_F(WebViewModelTest, EveryHostShowsTheSameViewWithoutReloadingIt)
{
    const std::string url = sites->studio("/");
    loadAndSettle(url);

    // The window rebuilds its content: a new host takes the view from the old
    // one, and the old one goes away without taking the view along.
    auto next = std::make_unique<WebView>(*model);
    window->set_child(*next);
    host = std::move(next);
    runFor(500ms);
    EXPECT_EQ(model->widget().get_parent(), host.get());
    EXPECT_EQ(sites->times(sites->studioPort, "/"), 1);
    EXPECT_EQ(model->currentURL().get(), url);
}

TEST_F(WebViewModelTest, RetryAfterAFailedFirstLoadFetchesThatPageAgain)
{
    const long long port = sites->studioPort;
    sites.reset();  // the server is not up yet
    const std::string url = localAddress(port, "/");
    model->load(url);
    ASSERT_TRUE(runUntil([&] { return model->loadError().get().has_value(); }));
    EXPECT_TRUE(opened.empty());

    // The server comes up; the user presses Retry, which clears the error at once.
    sites = std::make_unique<WebSites>(port);
    ASSERT_GT(sites->studioPort, 0);
    model->reload();
    EXPECT_EQ(model->loadError().get(), std::nullopt);
    EXPECT_TRUE(reached(port, "/"));
    EXPECT_TRUE(runUntil([&] {
        const char* title = webkit_web_view_get_title(view());
        return title && std::string(title) == "page" && !model->isLoading().get();
    }));
    EXPECT_EQ(model->currentURL().get(), url);
    EXPECT_EQ(model->loadError().get(), std::nullopt);
}

TEST_F(WebViewModelTest, EveryLoadTheShellStartsGivesUpOnAHungServer)
{
    loadAndSettle(sites->studio("/"));
    model->setLoadTimeout(1500ms);
    sites->freeze();
    const std::string expected = loadTimeoutText(1);
    const std::pair<const char*, std::function<void()>> loads[] = {
        {"reload", [&] { model->reload(); }},
        {"hard reload", [&] { model->hardReload(); }},
        {"page switch", [&] { model->load(sites->studio("/room/")); }},
        {"retry", [&] { model->reload(); }},  // of the page switch that timed out
    };
    for (const auto& [name, start] : loads) {
        start();
        EXPECT_EQ(model->loadError().get(), std::nullopt) << name;
        EXPECT_TRUE(runUntil([&] { return model->loadError().get() == expected; }, 10s))
            << name << ": " << model->loadError().get().value_or("(no error)");
    }
    sites->thaw();
}

// The desktop's proxy is for the world, never for the studio on 127.0.0.1.
class DeadProxyTest : public WebViewModelTest {
protected:
    void SetUp() override
    {
        setenv("http_proxy", "http://127.0.0.1:9/", 1);
        unsetenv("no_proxy");
        unsetenv("NO_PROXY");
        WebViewModelTest::SetUp();
    }
    void TearDown() override { unsetenv("http_proxy"); }
};

TEST_F(DeadProxyTest, TheStudioLoadsPastADeadProxy)
{
    model->load(sites->studio("/"));
    EXPECT_TRUE(runUntil([&] {
        const char* title = webkit_web_view_get_title(view());
        return (title && std::string(title) == "page") || model->loadError().get();
    }));
    EXPECT_EQ(model->loadError().get(), std::nullopt);
    EXPECT_EQ(sites->times(sites->studioPort, "/"), 1);
}

} // namespace
} // namespace quillbay
