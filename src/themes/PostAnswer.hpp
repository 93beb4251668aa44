#pragma once

#include "support/HttpClient.hpp"

#include <optional>
#include <string>

namespace quillbay {

// What the shell makes of the server's answer to a theme POST (activate or
// install): whether it succeeded, the text to publish as the last message,
// and the reason to show in the warning alert when the server refused.
struct PostAnswer {
    bool succeeded = false;
    std::optional<std::string> message;
    std::optional<std::string> alertReason;

    bool operator==(const PostAnswer&) const = default;
};

// Only the body counts; the HTTP status is not examined.
PostAnswer interpretPostAnswer(const HttpResponse& response);

} // namespace quillbay
