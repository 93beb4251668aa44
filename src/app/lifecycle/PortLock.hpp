#pragma once

#include "support/ScopedConnection.hpp"

namespace quillbay {

class ServerProcess;
class WebViewModel;

// Locks the web view to the port the server chooses, as soon as it is chosen:
// the content rules for it compile while the server boots, so the desk, asked
// for once the server is ready, need not wait for them. A start on another
// port moves the lock along.
class PortLock {
public:
    PortLock(const ServerProcess& server, WebViewModel& web);

private:
    void lock();

    const ServerProcess& server_;
    WebViewModel& web_;
    ScopedConnection chosen_;
};

} // namespace quillbay
