#include "app/lifecycle/AppDelegate.hpp"

#include "server/ServerProcess.hpp"
#include "support/WhileAlive.hpp"

#include <glib.h>

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
    g_debug("quit: asked; %s", server ? "stopping the studio server first" : "no server to stop");
    if (!server) {
        finishQuit();
        return;
    }
    server->stop(whileAlive<void()>(*this, [this] { finishQuit(); }));
}

bool AppDelegate::resumeFromQuit()
{
    if (!quitting())
        return false;
    exit_ = nullptr;
    g_debug("quit: called off by a new launch; the studio server starts again");
    if (auto server = server_.lock())
        server->start();
    return true;
}

void AppDelegate::finishQuit()
{
    if (auto exit = std::exchange(exit_, nullptr)) {
        g_debug("quit: the studio server is gone; exiting");
        exit();
    }
}

} // namespace quillbay
