#pragma once

#include <sigc++/connection.h>

#include <utility>

namespace quillbay {

// A sigc++ connection that ends with its holder: members of this type need
// no disconnect in a destructor. Assigning a new connection ends the old one.
class ScopedConnection {
public:
    ScopedConnection() = default;
    ScopedConnection(sigc::connection connection) : connection_(std::move(connection)) {}  // NOLINT: implicit by design
    ScopedConnection(ScopedConnection&& other) noexcept : connection_(std::exchange(other.connection_, {})) {}
    ScopedConnection& operator=(ScopedConnection&& other) noexcept
    {
        if (this != &other) {
            connection_.disconnect();
            connection_ = std::exchange(other.connection_, {});
        }
        return *this;
    }
    ScopedConnection(const ScopedConnection&) = delete;
    ScopedConnection& operator=(const ScopedConnection&) = delete;
    ~ScopedConnection() { connection_.disconnect(); }

    void disconnect() { connection_.disconnect(); }
    bool connected() const { return connection_.connected(); }

private:
    sigc::connection connection_;
};

} // namespace quillbay
