#include "app/lifecycle/PortLock.hpp"

#include "server/ServerProcess.hpp"
#include "web/WebViewModel.hpp"

namespace quillbay {

PortLock::PortLock(const ServerProcess& server, WebViewModel& web) : server_(server), web_(web)
{
    // The port is written each time a start chooses it.
    chosen_ = server_.port().signalChanged().connect([this] { lock(); });
    // A server started before the view existed has chosen its port already.
    if (server_.hasChild())
        lock();
}

void PortLock::lock()
{
    web_.setAllowedPort(server_.port().get());
}

} // namespace quillbay
