#include "server/ReadinessProbe.hpp"

#include "server/StudioIdentity.hpp"
#include "support/HttpClient.hpp"

#include <glib.h>

namespace quillbay {

namespace {

std::string whyNot(const HttpResponse& response, bool counted)
{
    if (!response.transportOk)
        return response.error.empty() ? "no answer" : response.error;
    if (counted)
        return "an answer of ours from a process outside the child's tree";
    if (!StudioIdentity::of(response))
        return "status " + std::to_string(response.status) + ", not our studio";
    return "status " + std::to_string(response.status);
}

} // namespace

ReadinessProbe::ReadinessProbe(Timing timing, Clock& clock) : timing_(timing), clock_(clock) {}

ReadinessProbe::~ReadinessProbe()
{
    cancel();
}

void ReadinessProbe::start(long long port, std::function<bool()> isOurs, std::function<void()> onReady,
                           std::function<void()> onGiveUp)
{
    cancel();
    url_ = StudioIdentity::url(port);
    isOurs_ = std::move(isOurs);
    onReady_ = std::move(onReady);
    onGiveUp_ = std::move(onGiveUp);
    began_ = clock_.now();
    running_ = true;
    attempts_ = 0;
    lastMiss_.clear();
    g_debug("probe: asking %s until it answers, for up to %lld ms", url_.c_str(),
            static_cast<long long>(timing_.limit.count()));
    attempt();
}

void ReadinessProbe::cancel()
{
    if (running_)
        g_debug("probe: cancelled after %d attempts, %lld ms", attempts_, elapsedMilliseconds());
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
    return response.status == 200 && StudioIdentity::of(response);
}

void ReadinessProbe::attempt()
{
    if (clock_.now() - began_ > timing_.limit) {
        g_info("probe: gave up after %d attempts, %lld ms; the last: %s", attempts_, elapsedMilliseconds(),
               lastMiss_.c_str());
        finish(onGiveUp_);
        return;
    }
    ++attempts_;
    HttpRequest request;
    request.url = url_;
    request.timeout = timing_.requestTimeout;
    call_ = HttpClient::shared().send(request, [this](const HttpResponse& response) { onAnswer(response); });
}

void ReadinessProbe::onAnswer(const HttpResponse& response)
{
    call_.reset();
    const bool counts = countsAsReady(response);
    if (counts && (!isOurs_ || isOurs_())) {
        g_debug("probe: ready at attempt %d, %lld ms", attempts_, elapsedMilliseconds());
        finish(onReady_);
        return;
    }
    lastMiss_ = whyNot(response, counts);
    if (attempts_ == 1 || attempts_ % kLogEvery == 0)
        g_debug("probe: attempt %d, %lld ms: not yet (%s)", attempts_, elapsedMilliseconds(), lastMiss_.c_str());
    pause_ = clock_.after(timing_.pause, [this] { attempt(); });
}

void ReadinessProbe::finish(const std::function<void()>& outcome)
{
    auto run = outcome;  // cancel() clears the members
    running_ = false;    // an outcome is not a cancellation
    cancel();
    if (run)
        run();
}

long long ReadinessProbe::elapsedMilliseconds() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock_.now() - began_).count();
}

} // namespace quillbay
