// The model with a real WebKit view under Xvfb, against tests/fixtures/web_site.py.

#include "WebTestSupport.hpp"

#include "web/LoadFailure.hpp"
#include "web/WebView.hpp"
#include "web/WebViewModel.hpp"

#include <gtest/gtest.h>
#include <gtkmm/messagedialog.h>
#include <gtkmm/overlay.h>
#include <gtkmm/window.h>
#include <webkit/webkit.h>

#include <fstream>
#include <sstream>
#include <unistd.h>
#include <memory>

namespace quillbay {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::pumpFor;
using test::pumpUntil;
using test::readFile;

TEST(WebEngineNames, ErrorDomainsAndCodesAreWebKits)
{
    EXPECT_STREQ(g_quark_to_string(WEBKIT_NETWORK_ERROR), kNetworkErrorDomain);
    EXPECT_EQ(WEBKIT_NETWORK_ERROR_CANCELLED, kNetworkErrorCancelled);
    EXPECT_STREQ(g_quark_to_string(WEBKIT_POLICY_ERROR), kPolicyErrorDomain);
    EXPECT_EQ(WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE, kPolicyErrorInterrupted);
    EXPECT_STREQ(g_quark_to_string(WEBKIT_DOWNLOAD_ERROR), kDownloadErrorDomain);
    EXPECT_EQ(WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER, kDownloadErrorCancelledByUser);
}

class WebViewModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::startGtk()) << "no display (run under xvfb-run)";
        sites = std::make_unique<test::WebSites>();
        ASSERT_TRUE(sites->ready()) << "tests/fixtures/web_site.py did not start";
        model = std::make_unique<WebViewModel>();
        model->setOpener([this](const std::string& uri) { opened.push_back(uri); });
        model->setDestinationChooser(
            [this](const std::string& name, WebViewModel::DestinationAnswer answer) {
                suggested.push_back(name);
                answer(destination ? std::optional<std::string>(destination->string())
                                   : std::nullopt);
            });
        model->setAllowedPort(sites->studioPort());
        window = std::make_unique<Gtk::Window>();
        window->set_default_size(640, 480);
        host = std::make_unique<WebView>(*model);
        window->set_child(*host);
        model->setParentWindow(window.get());
        window->present();
    }

    void TearDown() override
    {
        host.reset();
        window.reset();
        model.reset();
        sites.reset();
    }

    WebKitWebView* view() { return WEBKIT_WEB_VIEW(model->widget().gobj()); }

    // Loads and waits until the view shows `url` and has stopped loading.
    void loadAndSettle(const std::string& url)
    {
        model->load(url);
        ASSERT_TRUE(pumpUntil([&] {
            return model->currentURL().get() == url && !model->isLoading().get()
                   && model->progress().get() == 1.0;
        })) << url;
    }

    std::unique_ptr<test::WebSites> sites;
    std::unique_ptr<WebViewModel> model;
    std::unique_ptr<Gtk::Window> window;
    std::unique_ptr<WebView> host;
    std::vector<std::string> opened;
    std::vector<std::string> suggested;
    std::optional<fs::path> destination;
};

TEST_F(WebViewModelTest, LoadingAPagePublishesItsProgressAndAddress)
{
    std::vector<bool> loading;
    model->isLoading().signalChanged().connect([&] { loading.push_back(model->isLoading().get()); });

    const std::string url = sites->studio("/");
    loadAndSettle(url);

    ASSERT_FALSE(loading.empty());
    EXPECT_EQ(std::count(loading.begin(), loading.end(), true) > 0, true) << "never published loading";
    EXPECT_FALSE(loading.back());
    EXPECT_EQ(model->progress().get(), 1.0);
    EXPECT_EQ(model->loadError().get(), std::nullopt);
    EXPECT_TRUE(opened.empty());
    // The engine appends our application name to its user agent.
    const auto lines = sites->hits();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.front().find("QuillbayApp/1.0"), std::string::npos) << lines.front();
}

// Names of this process's children, as the kernel shows them.
std::vector<std::string> childProcessNames()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string stat = readFile(entry.path() / "stat");
        const auto open = stat.find('(');
        const auto close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos) {
            continue;
        }
        std::istringstream rest(stat.substr(close + 2));
        std::string state;
        long parent = 0;
        rest >> state >> parent;
        if (parent == getpid()) {
            names.push_back(stat.substr(open + 1, close - open - 1));
        }
    }
    return names;
}

TEST_F(WebViewModelTest, TheWebProcessStartsWithTheModelBeforeAnyPage)
{
    // SetUp made the model and loaded nothing.
    EXPECT_TRUE(pumpUntil([] {
        for (const auto& name : childProcessNames()) {
            if (name == "bwrap" || name.rfind("WebKitWebProc", 0) == 0) {
                return true;
            }
        }
        return false;
    }, 10s));
    EXPECT_EQ(model->currentURL().get(), std::nullopt);  // the blank page is no address
}

TEST_F(WebViewModelTest, ForeignAddressesInTheMainFrameGoToTheOpener)
{
    // A plain link to another port.
    const std::string page = sites->studio("/link?to=" + sites->foreign("/landing"));
    loadAndSettle(page);
    ASSERT_TRUE(pumpUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, std::vector<std::string>{sites->foreign("/landing")});
    pumpFor(300ms);
    EXPECT_EQ(model->currentURL().get(), page);
    EXPECT_EQ(model->loadError().get(), std::nullopt);

    // A link in a foreign iframe that targets the top frame. Without a click
    // WebKit lets it through only as a window request.
    webkit_settings_set_javascript_can_open_windows_automatically(webkit_web_view_get_settings(view()),
                                                                  TRUE);
    opened.clear();
    const std::string framed = sites->studio("/iframe?framed=framed-top");
    loadAndSettle(framed);
    ASSERT_TRUE(pumpUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, std::vector<std::string>{sites->foreign("/landing-top")});
    EXPECT_TRUE(sites->wasRequested(sites->foreignPort(), "/framed-top"));
    EXPECT_EQ(model->currentURL().get(), framed);

    // The studio on a port that is no longer allowed counts as foreign.
    opened.clear();
    model->setAllowedPort(sites->foreignPort());
    model->load(sites->studio("/"));
    ASSERT_TRUE(pumpUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, std::vector<std::string>{sites->studio("/")});
    pumpFor(300ms);
    EXPECT_EQ(model->currentURL().get(), framed);
    EXPECT_EQ(model->loadError().get(), std::nullopt);
}

TEST_F(WebViewModelTest, AForeignIframeLoadsInPlace)
{
    const std::string page = sites->studio("/iframe");
    loadAndSettle(page);
    // The framed page's own script reports that it ran.
    EXPECT_TRUE(pumpUntil([&] {
        return sites->wasRequested(sites->foreignPort(), "/beacon?framed-loaded");
    }));
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(model->currentURL().get(), page);
}

TEST_F(WebViewModelTest, NewWindowRequestsNeverOpenAView)
{
    // Pages here open windows without a click.
    webkit_settings_set_javascript_can_open_windows_automatically(webkit_web_view_get_settings(view()),
                                                                  TRUE);
    const auto windows = Gtk::Window::list_toplevels().size();

    const std::string scripted = sites->studio("/landing-scripted");
    model->load(sites->studio("/open?to=" + scripted));
    EXPECT_TRUE(pumpUntil([&] { return model->currentURL().get() == scripted; }));

    const std::string targeted = sites->studio("/landing-blank");
    model->load(sites->studio("/blank?to=" + targeted));
    EXPECT_TRUE(pumpUntil([&] { return model->currentURL().get() == targeted; }));
    EXPECT_TRUE(opened.empty());

    const std::string page = sites->studio("/open?to=" + sites->foreign("/landing-window"));
    model->load(page);
    ASSERT_TRUE(pumpUntil([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, std::vector<std::string>{sites->foreign("/landing-window")});
    EXPECT_EQ(model->currentURL().get(), page);
    EXPECT_FALSE(sites->wasRequested(sites->foreignPort(), "/landing-window"));
    EXPECT_EQ(Gtk::Window::list_toplevels().size(), windows);
    EXPECT_EQ(model->loadError().get(), std::nullopt);
}

TEST_F(WebViewModelTest, DownloadsAreSavedWhereTheChooserSaysReplacingWhatIsThere)
{
    test::TempFolder folder;
    // A link with a download attribute, over an existing file.
    destination = folder.path() / "report.txt";
    { std::ofstream(*destination) << "an older, longer report that must go away\n"; }
    const std::string page = sites->studio("/download-link?to=/report.txt&name=report.txt");
    loadAndSettle(page);
    EXPECT_TRUE(pumpUntil([&] { return readFile(*destination) == "plain text report\n"; }))
        << readFile(*destination);
    EXPECT_EQ(suggested, std::vector<std::string>{"report.txt"});
    EXPECT_EQ(model->currentURL().get(), page);

    // A response the view cannot show.
    destination = folder.path() / "saved.bin";
    { std::ofstream(*destination) << "old"; }
    model->load(sites->studio("/archive.bin"));
    EXPECT_TRUE(pumpUntil([&] { return fs::file_size(*destination) == 17 * 64; }));
    ASSERT_EQ(suggested.size(), 2U);
    EXPECT_EQ(suggested[1], "archive.bin");
    EXPECT_EQ(model->currentURL().get(), page);
    EXPECT_EQ(model->loadError().get(), std::nullopt);
    EXPECT_TRUE(opened.empty());
}

TEST_F(WebViewModelTest, DownloadProblemsReachTheLoadErrorOnlyWhenTheyAreFailures)
{
    test::TempFolder folder;
    const std::string page = sites->studio("/download-link?to=/report.txt&name=report.txt");
    destination.reset();  // the user cancels the save dialog
    loadAndSettle(page);
    ASSERT_TRUE(pumpUntil([&] { return !suggested.empty(); }));
    pumpFor(500ms);
    EXPECT_EQ(model->loadError().get(), std::nullopt);
    EXPECT_EQ(model->currentURL().get(), page);

    // The server drops the connection half way.
    destination = folder.path() / "broken.bin";
    model->load(sites->studio("/broken.bin"));
    ASSERT_TRUE(pumpUntil([&] { return model->loadError().get().has_value(); }));
    EXPECT_EQ(model->loadError().get()->rfind("Download failed: ", 0), 0U) << *model->loadError().get();
    EXPECT_GT(model->loadError().get()->size(), std::string("Download failed: ").size());
}

TEST_F(WebViewModelTest, LoadFailuresBecomeLoadErrorsAndALoadClearsThem)
{
    const long long port = test::unusedPort();
    model->setAllowedPort(port);
    const std::string refused = "http://127.0.0.1:" + std::to_string(port) + "/";
    model->load(refused);
    ASSERT_TRUE(pumpUntil([&] { return model->loadError().get().has_value(); }));
    EXPECT_FALSE(model->loadError().get()->empty());
    EXPECT_TRUE(opened.empty());

    // The next load starts by clearing the error, even if it fails the same way.
    std::vector<std::optional<std::string>> errors;
    model->loadError().signalChanged().connect([&] { errors.push_back(model->loadError().get()); });
    model->load(refused);
    ASSERT_TRUE(pumpUntil([&] { return model->loadError().get().has_value(); }));
    ASSERT_GE(errors.size(), 2U);
    EXPECT_EQ(errors.front(), std::nullopt);

    // A server that never answers: the load is stopped in time.
    model->setAllowedPort(sites->studioPort());
    model->setLoadTimeout(1500ms);
    model->load(sites->studio("/stall?seconds=20"));
    ASSERT_TRUE(pumpUntil([&] { return model->loadError().get().has_value(); }, 8s));
    EXPECT_EQ(model->loadError().get(), loadTimeoutText(1));
    EXPECT_TRUE(pumpUntil([&] { return !webkit_web_view_is_loading(view()); }, 3s));
}

TEST_F(WebViewModelTest, ReloadsFetchThePageAgainAndClearTheError)
{
    const std::string url = sites->studio("/");
    loadAndSettle(url);
    ASSERT_EQ(sites->timesRequested(sites->studioPort(), "/"), 1);

    model->reload();
    EXPECT_TRUE(pumpUntil([&] { return sites->timesRequested(sites->studioPort(), "/") == 2; }));
    model->hardReload();
    EXPECT_TRUE(pumpUntil([&] { return sites->timesRequested(sites->studioPort(), "/") == 3; }));
    EXPECT_TRUE(pumpUntil([&] { return !model->isLoading().get(); }));
    EXPECT_EQ(model->currentURL().get(), url);
    EXPECT_EQ(model->loadError().get(), std::nullopt);
}

TEST_F(WebViewModelTest, RetryAfterAFailedFirstLoadFetchesThatPageAgain)
{
    const long long port = test::unusedPort();
    model->setAllowedPort(port);
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
    model->load(url);
    ASSERT_TRUE(pumpUntil([&] { return model->loadError().get().has_value(); }));

    // The server comes up; the user presses Retry.
    test::TempFolder root;
    { std::ofstream(root.path() / "index.html") << "<title>up</title>up"; }
    const std::string portText = std::to_string(port);
    const std::string rootText = root.path().string();
    const char* argv[] = {"python3", "-m", "http.server", portText.c_str(), "--bind", "127.0.0.1",
                          "--directory", rootText.c_str(), nullptr};
    GSubprocess* server = g_subprocess_newv(
        argv, GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_SILENCE | G_SUBPROCESS_FLAGS_STDERR_SILENCE),
        nullptr);
    ASSERT_NE(server, nullptr);
    ASSERT_TRUE(test::waitUntilListening(port));
    model->reload();
    EXPECT_EQ(model->loadError().get(), std::nullopt);
    EXPECT_TRUE(pumpUntil([&] {
        const char* title = webkit_web_view_get_title(view());
        return title && std::string(title) == "up";
    }));
    EXPECT_EQ(model->loadError().get(), std::nullopt);
    g_subprocess_force_exit(server);
    g_subprocess_wait(server, nullptr, nullptr);
    g_object_unref(server);
}

TEST_F(WebViewModelTest, TheMicrophoneIsOnlyForTheStudioOrigin)
{
    webkit_settings_set_enable_mock_capture_devices(webkit_web_view_get_settings(view()), TRUE);
    const auto answered = [&] {
        return pumpUntil([&] {
            for (const auto& line : sites->hits()) {
                if (line.find("/beacon?microphone=") != std::string::npos) {
                    return true;
                }
            }
            return false;
        });
    };
    loadAndSettle(sites->studio("/microphone"));
    ASSERT_TRUE(answered());
    EXPECT_TRUE(sites->wasRequested(sites->studioPort(), "/beacon?microphone=granted"));

    // The server has moved to another port while the page still shows: it is foreign now.
    loadAndSettle(sites->studio("/microphone?delay=1500"));
    model->setAllowedPort(sites->foreignPort());
    EXPECT_TRUE(pumpUntil([&] {
        return sites->wasRequested(sites->studioPort(), "/beacon?microphone=NotAllowedError");
    }));
    EXPECT_EQ(sites->timesRequested(sites->studioPort(), "/beacon?microphone=granted"), 1);
}

TEST_F(WebViewModelTest, AnEndedWebProcessIsReportedAndAReloadBringsThePageBack)
{
    const std::string url = sites->studio("/");
    loadAndSettle(url);
    webkit_web_view_terminate_web_process(view());
    ASSERT_TRUE(pumpUntil([&] { return model->loadError().get().has_value(); }));
    EXPECT_EQ(model->loadError().get(), webProcessEndedText(false));

    model->reload();
    EXPECT_EQ(model->loadError().get(), std::nullopt);
    EXPECT_TRUE(pumpUntil([&] { return sites->timesRequested(sites->studioPort(), "/") == 2; }));
    EXPECT_TRUE(pumpUntil([&] { return !model->isLoading().get(); }));
    EXPECT_EQ(model->loadError().get(), std::nullopt);
}

// The message dialog currently shown for a page, if any.
Gtk::MessageDialog* shownMessage()
{
    for (Gtk::Window* window : Gtk::Window::list_toplevels()) {
        if (auto* dialog = dynamic_cast<Gtk::MessageDialog*>(window); dialog && dialog->is_visible()) {
            return dialog;
        }
    }
    return nullptr;
}

TEST_F(WebViewModelTest, ScriptDialogsAreAnsweredThroughTheirCallbacks)
{
    const auto answer = [&](const std::string& kind, Gtk::ResponseType response) {
        model->load(sites->studio("/dialogs?kind=" + kind));
        EXPECT_TRUE(pumpUntil([] { return shownMessage() != nullptr; })) << kind;
        if (Gtk::MessageDialog* dialog = shownMessage()) {
            EXPECT_TRUE(dialog->get_modal());
            EXPECT_EQ(dialog->get_transient_for(), window.get());
            dialog->response(response);
        }
    };
    const auto reported = [&](const std::string& beacon) {
        return pumpUntil([&] { return sites->wasRequested(sites->studioPort(), beacon); });
    };

    answer("confirm", Gtk::ResponseType::OK);
    EXPECT_TRUE(reported("/beacon?confirm=true"));
    answer("confirm", Gtk::ResponseType::CANCEL);
    EXPECT_TRUE(reported("/beacon?confirm=false"));
    answer("confirm", Gtk::ResponseType::DELETE_EVENT);  // Escape or the window's close button
    EXPECT_TRUE(pumpUntil([&] {
        return sites->timesRequested(sites->studioPort(), "/beacon?confirm=false") == 2;
    }));
    answer("alert", Gtk::ResponseType::OK);
    EXPECT_TRUE(reported("/beacon?alert=undefined"));

    // A prompt gets no dialog and reads as cancelled.
    model->load(sites->studio("/dialogs?kind=prompt"));
    EXPECT_TRUE(reported("/beacon?prompt=null"));
    EXPECT_EQ(shownMessage(), nullptr);
}

TEST_F(WebViewModelTest, EveryHostShowsTheSameViewWithoutReloadingIt)
{
    const std::string url = sites->studio("/");
    loadAndSettle(url);
    Gtk::Widget* const shown = &model->widget();

    // The window rebuilds its content: a new host takes the view from the old one.
    auto second = std::make_unique<WebView>(*model);
    EXPECT_EQ(model->widget().get_parent(), second.get());
    window->set_child(*second);
    host.reset();  // the old host goes away without taking the view along
    EXPECT_EQ(model->widget().get_parent(), second.get());
    for (int i = 0; i < 5; ++i) {
        auto next = std::make_unique<WebView>(*model);
        window->set_child(*next);
        second = std::move(next);
    }
    // Also from a container that holds it directly.
    Gtk::Overlay overlay;
    second.reset();
    overlay.set_child(model->widget());
    second = std::make_unique<WebView>(*model);
    window->set_child(*second);
    EXPECT_EQ(overlay.get_child(), nullptr);
    pumpFor(500ms);
    EXPECT_EQ(&model->widget(), shown);
    EXPECT_EQ(model->widget().get_parent(), second.get());
    EXPECT_EQ(sites->timesRequested(sites->studioPort(), "/"), 1);
    EXPECT_EQ(model->currentURL().get(), url);
    host = std::move(second);
}

} // namespace
} // namespace quillbay
