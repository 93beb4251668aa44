#include "app/lifecycle/AppDelegate.hpp"

#include "server/ServerProcess.hpp"

#include <sigc++/adaptors/track_obj.h>
#include <sigc++/functors/slot.h>

#include <utility>

namespace quillbay {

void AppDelegate::windowAppeared(const std::shared_ptr<ServerProcess>& server)
{
    server_ = server;
    if (server->state()->isIdle() && !quitting())
        server->start();
}

void AppDelegate::requestQuit(std::function<void()> exit)
{
    if (quitting())
        return;
    exit_ = std::move(exit);
    auto server = server_.lock();
    if (!server) {
        finishQuit();
        return;
    }
    sigc::slot<void()> done = sigc::track_obj([this] { finishQuit(); }, *this);
    server->stop([done] { done(); });
}

bool AppDelegate::resumeFromQuit()
{
    if (!quitting())
        return false;
    exit_ = nullptr;
    if (auto server = server_.lock())
        server->start();
    return true;
}

void AppDelegate::finishQuit()
{
    if (auto exit = std::exchange(exit_, nullptr))
        exit();
}

} // namespace quillbay
