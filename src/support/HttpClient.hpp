#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillbay {

struct HttpRequest {
    std::string method = "GET";
    std::string url;
    std::string body;         // sent only when not empty
    std::string contentType;  // of the body, e.g. "application/json"
    std::vector<std::pair<std::string, std::string>> headers;
    std::chrono::milliseconds timeout{10000};
};

// The outcome of one request. `transportOk` is false when no HTTP answer
// arrived (invalid address, connection refused, timeout); `error` then says why.
struct HttpResponse {
    bool transportOk = false;
    bool timedOut = false;
    unsigned status = 0;
    std::string body;
    std::string error;
};

// A request in flight. cancel() guarantees that its callback never runs.
class HttpCall {
public:
    virtual ~HttpCall() = default;
    virtual void cancel() = 0;
};

// A libsoup session bound to the main context of the thread that created it.
// It never uses a proxy: every request of the shell goes to 127.0.0.1.
class HttpClient {
public:
    using Callback = std::function<void(const HttpResponse&)>;

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // The client of the main loop, made on first use; call from the main thread.
    static HttpClient& shared();

    // Starts the request; `done` runs later on this client's main context,
    // exactly once unless the call is cancelled first.
    std::shared_ptr<HttpCall> send(const HttpRequest& request, Callback done);

    // For worker threads: runs one request to completion on a private
    // main context of the calling thread and returns its outcome.
    static HttpResponse fetchBlocking(const HttpRequest& request);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace quillbay
