#include "app/lifecycle/AppDelegate.hpp"

#include "app/lifecycle/QuitDecision.hpp"
#include "server/ServerProcess.hpp"

#include <glibmm/main.h>

namespace quillbay {

namespace {

// Calls `exit` once every outstanding part of a quit has finished.
struct QuitJoin {
    int outstanding = 0;
    std::function<void()> exit;

    static void finishOne(const std::shared_ptr<QuitJoin>& join)
    {
        if (--join->outstanding == 0 && join->exit) {
            auto exit = std::move(join->exit);
            join->exit = nullptr;
            exit();
        }
    }
};

} // namespace

AppDelegate::AppDelegate(std::chrono::milliseconds stopGrace) : stopGrace_(stopGrace) {}

AppDelegate::~AppDelegate()
{
    stateWatch_.disconnect();
}

void AppDelegate::windowAppeared(const std::shared_ptr<ServerProcess>& server)
{
    if (server_.lock() != server)
        watch(*server);
    server_ = server;
    if (server->state()->isIdle() && !quitting_)
        server->start();
}

void AppDelegate::watch(ServerProcess& server)
{
    stateWatch_.disconnect();
    lastKind_ = server.state()->kind();
    // Only a stop turns a non-idle server idle; its child may still be within the grace period.
    stateWatch_ = server.state().signalChanged().connect([this, &server] {
        const auto kind = server.state()->kind();
        if (kind == ServerState::Kind::Idle && lastKind_ != ServerState::Kind::Idle)
            lastStop_ = Clock::now();
        lastKind_ = kind;
    });
}

void AppDelegate::requestQuit(std::function<void()> exit)
{
    if (quitting_)
        return;
    quitting_ = true;

    auto server = server_.lock();
    std::optional<ServerState> state;
    if (server)
        state = server->state().get();
    std::optional<std::chrono::milliseconds> sinceLastStop;
    if (lastStop_)
        sinceLastStop = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *lastStop_);

    const QuitPlan plan = planQuit(state, sinceLastStop, stopGrace_);
    auto join = std::make_shared<QuitJoin>();
    join->exit = std::move(exit);
    join->outstanding = 1 + (plan.stopServer ? 1 : 0) + (plan.holdAtLeast.count() > 0 ? 1 : 0);

    if (plan.holdAtLeast.count() > 0) {
        // A restart's continuation may have launched a new child meanwhile; that one is stopped too.
        std::weak_ptr<ServerProcess> weak = server_;
        Glib::signal_timeout().connect_once(
            [join, weak] {
                auto server = weak.lock();
                if (server && server->hasChild())
                    server->stop([join] { QuitJoin::finishOne(join); });
                else
                    QuitJoin::finishOne(join);
            },
            plan.holdAtLeast.count());
    }
    if (plan.stopServer)
        server->stop([join] { QuitJoin::finishOne(join); });
    else if (server)
        server->stop();  // no child, but a restart may wait for its grace: cancel it
    QuitJoin::finishOne(join);
}

} // namespace quillbay
