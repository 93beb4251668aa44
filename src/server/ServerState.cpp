#include "server/ServerState.hpp"

namespace quillbay {

std::string ServerState::description() const
{
    switch (kind_) {
    case Kind::Idle: return "idle";
    case Kind::Starting: return "starting";
    case Kind::Ready: return "ready";
    case Kind::Failed: return "failed: " + message_;
    }
    return {};
}

} // namespace quillbay
