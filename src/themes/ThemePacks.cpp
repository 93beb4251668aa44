#include "themes/ThemePacks.hpp"

#include "support/HttpClient.hpp"
#include "support/WhileAlive.hpp"
#include "themes/NotAPackAlert.hpp"
#include "themes/PostAnswer.hpp"

#include <glib.h>
#include <nlohmann/json.hpp>

namespace quillbay {

namespace {

constexpr std::chrono::milliseconds kRefreshTimeout{3000};
constexpr std::chrono::milliseconds kPostTimeout{20000};

// For the debug log: what came back, short.
std::string outcome(const HttpResponse& response)
{
    if (!response.transportOk)
        return response.error.empty() ? "no answer" : response.error;
    return "status " + std::to_string(response.status);
}

} // namespace

struct ThemePacks::Impl : sigc::trackable {
    Published<std::optional<ThemeCatalog>> catalog;
    Published<std::optional<std::string>> lastMessage;
    Alert alert = showNotAPackAlert;

    void refresh(const std::string& base, std::function<void()> done)
    {
        HttpRequest request;
        request.url = base + "api/themes";
        request.timeout = kRefreshTimeout;
        g_debug("themes: GET %s", request.url.c_str());
        auto take = whileAlive<void(const HttpResponse&)>(*this, [this](const HttpResponse& response) {
            takeCatalog(response);
        });
        HttpClient::shared().send(request, [take, done = std::move(done)](const HttpResponse& response) {
            take(response);
            if (done)
                done();
        });
    }

    // Each completed refresh publishes, so the last to complete wins.
    void takeCatalog(const HttpResponse& response)
    {
        auto decoded = response.transportOk ? decodeThemeCatalog(response.body) : std::nullopt;
        g_debug("themes: catalog %s: %s", outcome(response).c_str(), decoded ? "taken" : "not a catalog; the old one stays");
        if (decoded)
            catalog.set(std::move(*decoded));
    }

    // Sends one POST, publishes its outcome, raises the alert on a refusal,
    // then refreshes whatever happened and reports the outcome afterwards.
    void postThenRefresh(const std::string& base, const std::string& path, const nlohmann::json& body, Done done)
    {
        HttpRequest request;
        request.method = "POST";
        request.url = base + path;
        // A path that is not UTF-8 cannot be sent as JSON text; it goes with U+FFFD.
        request.body = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        request.timeout = kPostTimeout;
        g_debug("themes: POST %s", request.url.c_str());
        auto answered = [this, base, done = std::move(done)](const HttpResponse& response) {
            PostAnswer answer = interpretPostAnswer(response);
            g_debug("themes: POST answered %s: %s%s%s", outcome(response).c_str(), answer.succeeded ? "done" : "refused",
                    answer.alertReason ? ", " : "", answer.alertReason ? answer.alertReason->c_str() : "");
            lastMessage.set(answer.message);
            if (answer.alertReason && alert)
                alert(*answer.alertReason);
            bool succeeded = answer.succeeded;
            refresh(base, [done, succeeded] {
                if (done)
                    done(succeeded);
            });
        };
        HttpClient::shared().send(request, whileAlive<void(const HttpResponse&)>(*this, std::move(answered)));
    }
};

ThemePacks::ThemePacks() : impl_(std::make_unique<Impl>()) {}
ThemePacks::~ThemePacks() = default;

const Published<std::optional<ThemeCatalog>>& ThemePacks::catalog() const { return impl_->catalog; }
const Published<std::optional<std::string>>& ThemePacks::lastMessage() const { return impl_->lastMessage; }

void ThemePacks::refresh(const std::string& base, std::function<void()> done)
{
    impl_->refresh(base, std::move(done));
}

void ThemePacks::activate(const std::string& id, const std::string& base, Done done)
{
    g_debug("themes: activate the pack \"%s\"", id.c_str());
    impl_->postThenRefresh(base, "api/themes/active", nlohmann::json{{"id", id}}, std::move(done));
}

void ThemePacks::installInteractively(const std::string& base, Done done)
{
    // False once this client is gone: nothing is sent then.
    auto install = whileAlive<bool(const std::string&)>(*impl_, [impl = impl_.get(), base, done](const std::string& path) {
        g_debug("themes: install the pack at %s", path.c_str());
        nlohmann::json body{{"path", path}, {"activate", true}};
        impl->postThenRefresh(base, "api/themes/install", body, done);
        return true;
    });
    choosePackInteractively([install, done = std::move(done)](std::optional<std::string> path) {
        if (!path || path->empty() || !install(*path)) {
            g_debug("themes: no pack chosen; nothing installed");
            // A cancelled chooser sends nothing and refreshes nothing.
            if (done)
                done(false);
        }
    });
}

void ThemePacks::setAlert(Alert alert) { impl_->alert = std::move(alert); }

} // namespace quillbay
