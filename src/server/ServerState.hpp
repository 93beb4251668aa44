#pragma once

#include "server/ServerReason.hpp"

#include <string>
#include <utility>

namespace quillbay {

// Where the studio server stands. Only `failed` carries a reason; its
// message is the English sentence, shown in the window through the catalog
// (reason().localizedText()).
class ServerState {
public:
    enum class Kind { Idle, Starting, Ready, Failed };

    static ServerState idle() { return ServerState(Kind::Idle, {}); }
    static ServerState starting() { return ServerState(Kind::Starting, {}); }
    static ServerState ready() { return ServerState(Kind::Ready, {}); }
    static ServerState failed(ServerReason reason) { return ServerState(Kind::Failed, std::move(reason)); }
    // A sentence from elsewhere, shown as it is.
    static ServerState failed(std::string message)
    {
        return failed(ServerReason(ServerReason::Code::Verbatim, {std::move(message)}));
    }

    ServerState() = default;

    Kind kind() const { return kind_; }
    bool isIdle() const { return kind_ == Kind::Idle; }
    bool isStarting() const { return kind_ == Kind::Starting; }
    bool isReady() const { return kind_ == Kind::Ready; }
    bool isFailed() const { return kind_ == Kind::Failed; }
    const ServerReason& reason() const { return reason_; }
    // The reason's English sentence; empty unless failed.
    const std::string& message() const { return message_; }

    // "idle", "starting", "ready" or "failed: " and the message: the state in
    // reports and in quillbay-supervise's output.
    std::string description() const;

    bool operator==(const ServerState& other) const { return kind_ == other.kind_ && message_ == other.message_; }

private:
    ServerState(Kind kind, ServerReason reason)
        : kind_(kind), reason_(std::move(reason)), message_(kind == Kind::Failed ? reason_.text() : std::string())
    {
    }

    Kind kind_ = Kind::Idle;
    ServerReason reason_;
    std::string message_;
};

} // namespace quillbay
