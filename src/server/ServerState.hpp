#pragma once

#include <string>
#include <utility>

namespace quillbay {

// Where the studio server stands. Only `failed` carries a message: a complete
// sentence for the user, shown unchanged.
class ServerState {
public:
    enum class Kind { Idle, Starting, Ready, Failed };

    static ServerState idle() { return ServerState(Kind::Idle, {}); }
    static ServerState starting() { return ServerState(Kind::Starting, {}); }
    static ServerState ready() { return ServerState(Kind::Ready, {}); }
    static ServerState failed(std::string message) { return ServerState(Kind::Failed, std::move(message)); }

    ServerState() = default;

    Kind kind() const { return kind_; }
    bool isIdle() const { return kind_ == Kind::Idle; }
    bool isStarting() const { return kind_ == Kind::Starting; }
    bool isReady() const { return kind_ == Kind::Ready; }
    bool isFailed() const { return kind_ == Kind::Failed; }
    // Empty unless failed.
    const std::string& message() const { return message_; }

    bool operator==(const ServerState&) const = default;

private:
    ServerState(Kind kind, std::string message) : kind_(kind), message_(std::move(message)) {}

    Kind kind_ = Kind::Idle;
    std::string message_;
};

} // namespace quillbay
