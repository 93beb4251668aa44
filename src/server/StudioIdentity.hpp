#pragma once

#include <optional>
#include <string>

namespace quillbay {

struct HttpResponse;

// Is this our studio? A server of this application answers GET api/pid with
// a JSON object whose "app" is "Quillbay" and whose "pid" is its process id.
// The port choice and the readiness probe both ask it; the answer alone
// vouches for nothing about who holds the port (see ListenerCheck).
struct StudioIdentity {
    std::optional<long long> pid;  // when "pid" is an integer

    // Where to ask on `port`.
    static std::string url(long long port);
    // The identity in an HTTP answer of any status, or nothing when the
    // answer is not one of ours.
    static std::optional<StudioIdentity> of(const HttpResponse& response);
};

} // namespace quillbay
