#include "web/WebViewModel.hpp"

#include "support/DesktopService.hpp"
#include "support/GObjectRef.hpp"
#include "support/MainLoop.hpp"
#include "support/ModalAlert.hpp"
#include "support/ScopedConnection.hpp"
#include "support/StartupTrace.hpp"
#include "support/WhileAlive.hpp"
#include "web/DownloadEvents.hpp"
#include "web/DownloadSaver.hpp"
#include "web/LoadFailure.hpp"
#include "web/NavigationPolicy.hpp"
#include "web/PageDialogs.hpp"
#include "web/ShownAddress.hpp"
#include "web/StudioContentFilter.hpp"
#include "web/ViewConfiguration.hpp"

#include <gdkmm/clipboard.h>
#include <gio/gio.h>
#include <glib/gi18n.h>
#include <glibmm/main.h>
#include <gtkmm/widget.h>
#include <gtkmm/window.h>
#include <webkit/webkit.h>

#include <vector>

namespace quillbay {

using web::connectSignal;
using web::GRef;
using web::SignalConnection;

namespace {

constexpr std::chrono::milliseconds kDefaultLoadTimeout{60000};
constexpr const char* kBlankPage = "about:blank";
constexpr int kCopyAddressResponse = 1;

EngineError engineError(const GError* error)
{
    if (!error) {
        return {};
    }
    return {g_quark_to_string(error->domain), error->code, error->message ? error->message : ""};
}

NavigationRequest navigationRequest(WebKitNavigationAction* action, TargetFrame target)
{
    NavigationRequest facts;
    facts.target = target;
    facts.userGesture = webkit_navigation_action_is_user_gesture(action);
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    if (const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr) {
        facts.url = uri;
    }
    // Only a redirected request already carries the fetch headers that name its frame.
    if (request && target == TargetFrame::Unknown && webkit_navigation_action_is_redirect(action)) {
        SoupMessageHeaders* headers = webkit_uri_request_get_http_headers(request);
        const char* destination = headers ? soup_message_headers_get_one(headers, "Sec-Fetch-Dest") : nullptr;
        facts.target = redirectTarget(destination ? destination : "");
    }
    return facts;
}

} // namespace

struct WebViewModel::Impl : sigc::trackable {
    Impl();
    ~Impl();

    void connectView();
    void publishProgress() { progress.set(webkit_web_view_get_estimated_load_progress(view.get())); }
    void publishLoading() { isLoading.set(webkit_web_view_is_loading(view.get())); }
    void publishURL();
    // Notifications hop to a fresh main-loop task, which reads the current value.
    void later(void (Impl::*publish)());

    void startLoad(const std::string& url);
    // Loads wait until the content rules for the current port are in place.
    void whenRulesReady(std::function<void()> start);
    void allowPort(std::optional<long long> port);
    void reloadFromOrigin();
    void startTimeout();
    void stopTimeout() { timeout.disconnect(); }
    void onTimeout();
    void apply(WebKitPolicyDecision* decision, const NavigationDecision& answer);
    // Carries out a decision to go elsewhere: load in the view, or hand to the opener.
    void redirect(const NavigationDecision& answer);
    void askToOpen(const std::string& url);
    void reportFailure(const GError* error, const std::string& failingURL);

    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType,
                                   gpointer self);
    static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer self);
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent, gpointer self);
    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError*, gpointer self);
    static gboolean onPermissionRequest(WebKitWebView*, WebKitPermissionRequest*, gpointer self);
    static void onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);

    Published<bool> isLoading{false};
    Published<double> progress{0.0};
    Published<std::optional<std::string>> loadError;
    Published<std::optional<std::string>> currentURL;
    std::optional<long long> allowedPort;

    GRef<WebKitWebView> view;
    Gtk::Widget* widget = nullptr;  // gtkmm's wrapper of `view`, owned by it
    Opener opener = [](const std::string& url) { DesktopService::handOff(url); };
    std::chrono::milliseconds loadTimeout = kDefaultLoadTimeout;
    // The address of the last load that neither committed nor was turned away
    // by the navigation policy: what a retry asks for again.
    std::string unfinishedLoad;
    // True from the blank page that starts the web process until the first
    // real load: until then nothing of the view's loading is published.
    bool warmingUp = true;
    ScopedConnection timeout;

    std::vector<SignalConnection> connections;
    std::unique_ptr<web::PageDialogs> dialogs;
    std::unique_ptr<web::DownloadSaver> downloads;
    std::unique_ptr<web::StudioContentFilter> rules;
    std::vector<std::function<void()>> waitingForRules;
    std::string rulesFailure;  // why the last rules could not be put in place
    DownloadEvents downloadEvents;
};

WebViewModel::Impl::Impl()
    : view(GRef<WebKitWebView>::adopt(web::createConfiguredView())),
      widget(Glib::wrap(GTK_WIDGET(view.get())))
{
    widget->set_hexpand(true);
    widget->set_vexpand(true);
    connectView();
    dialogs = std::make_unique<web::PageDialogs>(view.get());
    downloads = std::make_unique<web::DownloadSaver>(
        view.get(), [this](const std::string& text) { loadError.set(text); });
    downloads->setEvents(&downloadEvents);
    rules = std::make_unique<web::StudioContentFilter>(view.get(), g_get_tmp_dir());
    allowPort(std::nullopt);
    // Starts the web process now, while the studio server boots, rather than
    // with the first page.
    traceStartup("view-configured");
    webkit_web_view_load_uri(view.get(), kBlankPage);
    traceStartup("web-process-asked");
}

WebViewModel::Impl::~Impl()
{
    rules.reset();
    downloads.reset();
    dialogs.reset();
    connections.clear();
    // A container still showing the view keeps its own reference and lets go
    // of it in its own time.
}

void WebViewModel::Impl::connectView()
{
    WebKitWebView* v = view.get();
    auto notify = [this](const char* signal, void (Impl::*publish)()) {
        struct Hop {
            Impl* impl;
            void (Impl::*publish)();
        };
        auto* hop = new Hop{this, publish};
        const gulong id = g_signal_connect_data(
            view.get(), signal,
            G_CALLBACK(+[](GObject*, GParamSpec*, gpointer data) {
                auto* h = static_cast<Hop*>(data);
                h->impl->later(h->publish);
            }),
            hop, [](gpointer data, GClosure*) { delete static_cast<Hop*>(data); }, GConnectFlags(0));
        connections.emplace_back(view.get(), id);
    };
    notify("notify::estimated-load-progress", &Impl::publishProgress);
    notify("notify::is-loading", &Impl::publishLoading);
    notify("notify::uri", &Impl::publishURL);

    connections.push_back(connectSignal(v, "decide-policy", &Impl::onDecidePolicy, this));
    connections.push_back(connectSignal(v, "create", &Impl::onCreate, this));
    connections.push_back(connectSignal(v, "load-changed", &Impl::onLoadChanged, this));
    connections.push_back(connectSignal(v, "load-failed", &Impl::onLoadFailed, this));
    connections.push_back(connectSignal(v, "permission-request", &Impl::onPermissionRequest, this));
    connections.push_back(
        connectSignal(v, "web-process-terminated", &Impl::onWebProcessTerminated, this));
}

void WebViewModel::Impl::later(void (Impl::*publish)())
{
    if (warmingUp) {
        return;
    }
    // Dropped if the model goes away first.
    postToMainLoop(whileAlive<void()>(*this, [this, publish] { (this->*publish)(); }));
}

void WebViewModel::Impl::publishURL()
{
    const char* uri = webkit_web_view_get_uri(view.get());
    if (uri && *uri && std::string(uri) != kBlankPage) {
        currentURL.set(std::string(uri));
    } else {
        currentURL.set(std::nullopt);
    }
}

void WebViewModel::Impl::startLoad(const std::string& url)
{
    const bool firstLoad = warmingUp;
    if (firstLoad)
        traceStartup("page-requested");
    warmingUp = false;
    unfinishedLoad = url;
    WebKitURIRequest* request = webkit_uri_request_new(url.c_str());
    webkit_web_view_load_request(view.get(), request);
    g_object_unref(request);
    if (firstLoad) {
        // The view may still be loading the blank page, so it notifies no change
        // of its loading state: publish what it is now.
        later(&Impl::publishLoading);
        later(&Impl::publishProgress);
    }
    startTimeout();
}

void WebViewModel::Impl::whenRulesReady(std::function<void()> start)
{
    if (rules->pending()) {
        waitingForRules.push_back(std::move(start));
    } else if (rules->installed()) {
        start();
    } else {
        loadError.set(rulesUnavailableText(rulesFailure));
    }
}

void WebViewModel::Impl::allowPort(std::optional<long long> port)
{
    allowedPort = port;
    if (port)
        traceStartup("rules-asked");
    // The rules die with this object, and their completion with them.
    rules->allow(port, [this, port](const std::optional<std::string>& failure) {
        if (port && !failure)
            traceStartup("rules-installed");
        auto waiting = std::move(waitingForRules);
        waitingForRules.clear();
        rulesFailure = failure.value_or("");
        // Without the rules a page could take the view anywhere: nothing loads.
        if (failure) {
            if (!waiting.empty()) {
                loadError.set(rulesUnavailableText(*failure));
            }
            return;
        }
        for (auto& start : waiting) {
            start();
        }
    });
}

void WebViewModel::Impl::reloadFromOrigin()
{
    // After a failed or stopped load the view still holds the page before it
    // (or none): a retry asks for the page that failed.
    if (!unfinishedLoad.empty()) {
        startLoad(unfinishedLoad);
        return;
    }
    webkit_web_view_reload_bypass_cache(view.get());  // WebKit's reload from origin
    startTimeout();
}

void WebViewModel::Impl::startTimeout()
{
    timeout = Glib::signal_timeout().connect(
        [this] {
            onTimeout();
            return false;
        },
        static_cast<unsigned>(loadTimeout.count()));
}

void WebViewModel::Impl::onTimeout()
{
    if (!webkit_web_view_is_loading(view.get())) {
        return;  // the load ended without committing: refused by the policy, or failed
    }
    // Stopping reports a cancelled load, which is not an error of its own.
    webkit_web_view_stop_loading(view.get());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(loadTimeout).count();
    loadError.set(loadTimeoutText(seconds));
}

namespace {

const char* decisionName(NavigationDecision::Kind kind)
{
    using Kind = NavigationDecision::Kind;
    switch (kind) {
    case Kind::Allow: return "allowed in the view";
    case Kind::Download: return "downloaded";
    case Kind::Ignore: return "refused";
    case Kind::OpenExternally: return "handed to the browser";
    case Kind::AskToOpen: return "handed off if the user agrees";
    case Kind::LoadInView: return "loaded in the view instead";
    }
    return "?";
}

// The navigation decisions in the debug log, with the address they concern.
void logDecision(const NavigationDecision& answer)
{
    g_debug("navigation: %s%s%s", decisionName(answer.kind), answer.url.empty() ? "" : ": ", answer.url.c_str());
}

} // namespace

void WebViewModel::Impl::apply(WebKitPolicyDecision* decision, const NavigationDecision& answer)
{
    using Kind = NavigationDecision::Kind;
    switch (answer.kind) {
    case Kind::Allow:
        // For a link with a download attribute, WebKit turns "use" into a download.
        logDecision(answer);
        webkit_policy_decision_use(decision);
        return;
    case Kind::Download:
        logDecision(answer);
        webkit_policy_decision_download(decision);
        return;
    case Kind::Ignore:
    case Kind::OpenExternally:
    case Kind::AskToOpen:
    case Kind::LoadInView:
        webkit_policy_decision_ignore(decision);
        redirect(answer);
        return;
    }
}

void WebViewModel::Impl::redirect(const NavigationDecision& answer)
{
    using Kind = NavigationDecision::Kind;
    logDecision(answer);
    if (answer.kind == Kind::Allow || answer.kind == Kind::Ignore || answer.kind == Kind::Download) {
        return;
    }
    // Outside WebKit's signal emission, so the opener and the load may do anything.
    postToMainLoop(whileAlive<void()>(*this, [this, answer] {
        if (answer.kind == Kind::LoadInView) {
            startLoad(answer.url);
        } else if (answer.kind == Kind::AskToOpen) {
            askToOpen(answer.url);
        } else {
            opener(answer.url);
        }
    }));
}

void WebViewModel::Impl::askToOpen(const std::string& url)
{
    Alert alert;
    alert.type = Gtk::MessageType::QUESTION;
    alert.message = _("Open this address in another application?");
    // A long address would push the buttons off the screen: the middle is left
    // out, and the whole of it can be copied instead.
    alert.detail = shownAddress(url);
    alert.buttons = {{_("Copy _Address"), kCopyAddressResponse},
                     {_("_Cancel"), Gtk::ResponseType::CANCEL},
                     {_("_Open"), Gtk::ResponseType::ACCEPT}};
    alert.defaultResponse = Gtk::ResponseType::CANCEL;
    showModalAlert(alert, whileAlive<void(int)>(*this, [this, url](int response) {
                       if (response == Gtk::ResponseType::ACCEPT) {
                           opener(url);
                       } else if (response == kCopyAddressResponse) {
                           widget->get_clipboard()->set_text(url);
                       }
                   }));
}

gboolean WebViewModel::Impl::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                            WebKitPolicyDecisionType type, gpointer self)
{
    auto* impl = static_cast<Impl*>(self);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        const char* uri =
            webkit_uri_request_get_uri(webkit_response_policy_decision_get_request(response));
        impl->apply(decision,
                    decideResponse(uri ? uri : "",
                                   webkit_response_policy_decision_is_main_frame_main_resource(response),
                                   webkit_response_policy_decision_is_mime_type_supported(response),
                                   impl->allowedPort));
        return TRUE;
    }
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    // WebKitGTK does not say here whether a link has a download attribute ("use"
    // then downloads by itself), nor which frame is targeted (see decideResponse).
    const TargetFrame target = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION
                                   ? TargetFrame::None
                                   : TargetFrame::Unknown;
    impl->apply(decision, decideNavigation(navigationRequest(action, target), impl->allowedPort));
    return TRUE;
}

GtkWidget* WebViewModel::Impl::onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self)
{
    // Script windows (window.open) arrive here without a policy decision first.
    auto* impl = static_cast<Impl*>(self);
    impl->redirect(
        decideNavigation(navigationRequest(action, TargetFrame::None), impl->allowedPort));
    return nullptr;
}

void WebViewModel::Impl::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self)
{
    auto* impl = static_cast<Impl*>(self);
    const char* uri = webkit_web_view_get_uri(impl->view.get());
    if (uri && std::string(uri) == kBlankPage) {
        if (event == WEBKIT_LOAD_FINISHED)
            traceStartup("blank-loaded");
        return;  // the blank page that started the web process may commit late
    }
    // Only a commit ends the wait. The end of a load that was stopped or
    // replaced may arrive after the next load has started, and must not take
    // that load's timeout or retry address with it.
    if (event == WEBKIT_LOAD_COMMITTED) {
        traceStartup("page-committed");
        impl->stopTimeout();
        impl->unfinishedLoad.clear();
    }
}

gboolean WebViewModel::Impl::onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                                          gpointer self)
{
    auto* impl = static_cast<Impl*>(self);
    impl->reportFailure(error, uri ? uri : "");
    return TRUE;  // no error page of WebKit's own: the window shows the load error card
}

void WebViewModel::Impl::reportFailure(const GError* error, const std::string& failingURL)
{
    const EngineError failure = engineError(error);
    if (failure.domain == kPolicyErrorDomain) {
        // Became a download or went to the browser: nothing to retry or wait for.
        unfinishedLoad.clear();
        stopTimeout();
    }
    const FailureOutcome outcome = decideLoadFailure(failure, failingURL, allowedPort);
    switch (outcome.kind) {
    case FailureOutcome::Kind::Ignore:
        return;
    case FailureOutcome::Kind::Report:
        stopTimeout();
        loadError.set(outcome.text);
        return;
    case FailureOutcome::Kind::OpenExternally:
        redirect({NavigationDecision::Kind::OpenExternally, outcome.text});
        return;
    case FailureOutcome::Kind::LoadInView:
        redirect({NavigationDecision::Kind::LoadInView, outcome.text});
        return;
    }
}

gboolean WebViewModel::Impl::onPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request,
                                                 gpointer self)
{
    auto* impl = static_cast<Impl*>(self);
    if (!WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)
        && !WEBKIT_IS_DEVICE_INFO_PERMISSION_REQUEST(request)) {
        return FALSE;  // WebKit's default answer
    }
    // WebKitGTK names no requesting origin; a subframe can only ask when the
    // page delegated the permission to it, so the page's own origin decides.
    const char* uri = webkit_web_view_get_uri(impl->view.get());
    if (uri && allowsMediaCapture(uri, impl->allowedPort)) {
        webkit_permission_request_allow(request);
    } else {
        webkit_permission_request_deny(request);
    }
    return TRUE;
}

void WebViewModel::Impl::onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                                gpointer self)
{
    // The page is gone and the view would stay blank without a word; a reload
    // starts a new web process.
    auto* impl = static_cast<Impl*>(self);
    impl->stopTimeout();
    impl->loadError.set(webProcessEndedText(reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT));
}

// ---- the model's interface

WebViewModel::WebViewModel() : impl_(std::make_unique<Impl>()) {}

WebViewModel::~WebViewModel() = default;

const Published<bool>& WebViewModel::isLoading() const { return impl_->isLoading; }
const Published<double>& WebViewModel::progress() const { return impl_->progress; }
const Published<std::optional<std::string>>& WebViewModel::loadError() const
{
    return impl_->loadError;
}
const Published<std::optional<std::string>>& WebViewModel::currentURL() const
{
    return impl_->currentURL;
}

void WebViewModel::setAllowedPort(long long port)
{
    // The same port again keeps its rules, in place or on their way.
    if (impl_->allowedPort == port && (impl_->rules->pending() || impl_->rules->installed()))
        return;
    impl_->allowPort(port);
}

void WebViewModel::load(const std::string& url)
{
    impl_->loadError.set(std::nullopt);
    impl_->whenRulesReady([impl = impl_.get(), url] { impl->startLoad(url); });
}

void WebViewModel::reload()
{
    impl_->loadError.set(std::nullopt);
    impl_->whenRulesReady([impl = impl_.get()] { impl->reloadFromOrigin(); });
}

void WebViewModel::hardReload()
{
    impl_->loadError.set(std::nullopt);
    WebKitWebsiteDataManager* manager = webkit_network_session_get_website_data_manager(
        webkit_web_view_get_network_session(impl_->view.get()));
    using Cleared = OnceCallback<GObject*, GAsyncResult*>;
    auto reload = whileAlive<void()>(*impl_, [impl = impl_.get()] { impl->reloadFromOrigin(); });
    webkit_website_data_manager_clear(
        manager,
        static_cast<WebKitWebsiteDataTypes>(WEBKIT_WEBSITE_DATA_DISK_CACHE
                                            | WEBKIT_WEBSITE_DATA_MEMORY_CACHE),
        0,  // no time limit: everything
        nullptr, Cleared::call, Cleared::wrap([reload](GObject* source, GAsyncResult* result) {
            webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result, nullptr);
            reload();
        }));
}

Gtk::Widget& WebViewModel::widget() { return *impl_->widget; }

void WebViewModel::setOpener(Opener opener) { impl_->opener = std::move(opener); }

void WebViewModel::setDestinationChooser(DestinationChooser chooser)
{
    if (chooser) {
        impl_->downloads->setChooser(std::move(chooser));
    }
}

void WebViewModel::setLoadTimeout(std::chrono::milliseconds timeout)
{
    impl_->loadTimeout = timeout;
}

DownloadEvents& WebViewModel::downloadEvents() { return impl_->downloadEvents; }

} // namespace quillbay
