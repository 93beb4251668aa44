#include "app/lifecycle/QuitSignals.hpp"

#include <glib-unix.h>

#include <csignal>

namespace quillbay {

struct QuitSignals::Route {
    QuitSignals* owner;
    int signal;
};

QuitSignals::QuitSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal))
{
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        routes_.push_back(std::make_unique<Route>(Route{this, signal}));
        sources_.push_back(g_unix_signal_add(signal, reinterpret_cast<GSourceFunc>(&QuitSignals::dispatch), routes_.back().get()));
    }
}

QuitSignals::~QuitSignals()
{
    for (unsigned source : sources_)
        g_source_remove(source);
}

int QuitSignals::dispatch(void* data)
{
    auto* route = static_cast<Route*>(data);
    if (route->owner->onSignal_)
        route->owner->onSignal_(route->signal);
    return G_SOURCE_CONTINUE;
}

} // namespace quillbay
