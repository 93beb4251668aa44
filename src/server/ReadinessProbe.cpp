#include "server/ReadinessProbe.hpp"

#include "support/HttpClient.hpp"
#include "support/Json.hpp"

#include <glibmm/main.h>

namespace quillbay {

ReadinessProbe::ReadinessProbe(Timing timing) : timing_(timing) {}

ReadinessProbe::~ReadinessProbe()
{
    cancel();
}

void ReadinessProbe::start(std::string url, std::function<bool()> isOurs, std::function<void()> onReady,
                           std::function<void()> onGiveUp)
{
    cancel();
    url_ = std::move(url);
    isOurs_ = std::move(isOurs);
    onReady_ = std::move(onReady);
    onGiveUp_ = std::move(onGiveUp);
    began_ = std::chrono::steady_clock::now();
    running_ = true;
    attempt();
}

void ReadinessProbe::cancel()
{
    running_ = false;
    pause_.disconnect();
    if (call_) {
        call_->cancel();
        call_.reset();
    }
    isOurs_ = nullptr;
    onReady_ = nullptr;
    onGiveUp_ = nullptr;
}

bool ReadinessProbe::countsAsReady(const HttpResponse& response)
{
    return response.transportOk && response.status == 200 && namesApp(response.body, "Quillbay");
}

void ReadinessProbe::attempt()
{
    if (std::chrono::steady_clock::now() - began_ > timing_.limit) {
        finish(onGiveUp_);
        return;
    }
    HttpRequest request;
    request.url = url_;
    request.timeout = timing_.requestTimeout;
    call_ = HttpClient::shared().send(request, [this](const HttpResponse& response) { onAnswer(response); });
}

void ReadinessProbe::onAnswer(const HttpResponse& response)
{
    call_.reset();
    if (countsAsReady(response) && (!isOurs_ || isOurs_())) {
        finish(onReady_);
        return;
    }
    pause_ = Glib::signal_timeout().connect(
        [this] {
            attempt();
            return false;
        },
        static_cast<unsigned>(timing_.pause.count()));
}

void ReadinessProbe::finish(const std::function<void()>& outcome)
{
    auto run = outcome;  // cancel() clears the members
    cancel();
    if (run)
        run();
}

} // namespace quillbay
