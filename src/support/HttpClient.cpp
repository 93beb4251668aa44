#include "support/HttpClient.hpp"

#include <glib.h>
#include <libsoup/soup.h>

namespace quillbay {

namespace {

struct CallState final : HttpCall {
    HttpClient::Callback done;
    GCancellable* cancellable = g_cancellable_new();
    SoupMessage* message = nullptr;
    GSource* timer = nullptr;
    bool timedOut = false;

    ~CallState() override
    {
        clearTimer();
        g_clear_object(&message);
        g_clear_object(&cancellable);
    }

    void clearTimer()
    {
        if (timer) {
            g_source_destroy(timer);
            g_source_unref(timer);
            timer = nullptr;
        }
    }

    void cancel() override
    {
        done = nullptr;
        clearTimer();
        g_cancellable_cancel(cancellable);
    }
};

using CallBox = std::shared_ptr<CallState>;

gboolean onTimeout(gpointer data)
{
    auto* state = static_cast<CallState*>(data);
    state->timedOut = true;
    g_cancellable_cancel(state->cancellable);
    return G_SOURCE_REMOVE;
}

void finish(CallState& state, HttpResponse response)
{
    state.clearTimer();
    auto done = std::move(state.done);
    state.done = nullptr;
    if (done)
        done(response);
}

void onSent(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<CallBox> box(static_cast<CallBox*>(data));
    CallState& state = **box;
    GError* error = nullptr;
    GBytes* bytes = soup_session_send_and_read_finish(SOUP_SESSION(source), result, &error);

    HttpResponse response;
    if (bytes) {
        response.transportOk = true;
        response.status = soup_message_get_status(state.message);
        gsize size = 0;
        const auto* raw = static_cast<const char*>(g_bytes_get_data(bytes, &size));
        if (raw)
            response.body.assign(raw, size);
        g_bytes_unref(bytes);
    } else {
        response.timedOut = state.timedOut;
        response.error = state.timedOut ? std::string("The request timed out.")
                                        : std::string(error ? error->message : "unknown error");
    }
    if (error)
        g_error_free(error);
    finish(state, std::move(response));
}

} // namespace

struct HttpClient::Impl {
    SoupSession* session = nullptr;
    GMainContext* context = nullptr;

    Impl()
    {
        session = soup_session_new();
        soup_session_set_proxy_resolver(session, nullptr);
        soup_session_set_timeout(session, 0);
        soup_session_set_idle_timeout(session, 30);
        context = g_main_context_ref_thread_default();
    }
    ~Impl()
    {
        soup_session_abort(session);
        g_object_unref(session);
        g_main_context_unref(context);
    }
};

HttpClient::HttpClient() : impl_(std::make_unique<Impl>()) {}
HttpClient::~HttpClient() = default;

HttpClient& HttpClient::shared()
{
    static auto* client = new HttpClient(); // lives for the whole run
    return *client;
}

std::shared_ptr<HttpCall> HttpClient::send(const HttpRequest& request, Callback done)
{
    auto state = std::make_shared<CallState>();
    state->done = std::move(done);
    state->message = soup_message_new(request.method.c_str(), request.url.c_str());
    if (!state->message) {
        HttpResponse invalid;
        invalid.error = "Invalid address: " + request.url;
        // Deliver later, like every other outcome, so callers see one order of events.
        struct Pending { CallBox box; HttpResponse response; };
        auto* pending = new Pending{state, std::move(invalid)};
        GSource* idle = g_idle_source_new();
        g_source_set_callback(
            idle,
            [](gpointer data) -> gboolean {
                std::unique_ptr<Pending> p(static_cast<Pending*>(data));
                finish(*p->box, std::move(p->response));
                return G_SOURCE_REMOVE;
            },
            pending, nullptr);
        g_source_attach(idle, impl_->context);
        g_source_unref(idle);
        return state;
    }

    SoupMessageHeaders* headers = soup_message_get_request_headers(state->message);
    for (const auto& [name, value] : request.headers)
        soup_message_headers_replace(headers, name.c_str(), value.c_str());
    if (!request.body.empty()) {
        GBytes* body = g_bytes_new(request.body.data(), request.body.size());
        const char* type = request.contentType.empty() ? nullptr : request.contentType.c_str();
        soup_message_set_request_body_from_bytes(state->message, type, body);
        g_bytes_unref(body);
    }

    if (request.timeout.count() > 0) {
        GSource* timer = g_timeout_source_new(static_cast<guint>(request.timeout.count()));
        g_source_set_callback(timer, onTimeout, state.get(), nullptr);
        g_source_attach(timer, impl_->context);
        state->timer = timer; // the state keeps the reference and destroys it

    }

    soup_session_send_and_read_async(impl_->session, state->message, G_PRIORITY_DEFAULT,
                                     state->cancellable, onSent, new CallBox(state));
    return state;
}

HttpResponse HttpClient::fetchBlocking(const HttpRequest& request)
{
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    HttpResponse outcome;
    bool finished = false;
    {
        HttpClient client;
        auto call = client.send(request, [&](const HttpResponse& response) {
            outcome = response;
            finished = true;
        });
        while (!finished)
            g_main_context_iteration(context, TRUE);
    }
    // Let the session's own clean-up sources run before the context goes.
    while (g_main_context_iteration(context, FALSE)) {
    }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return outcome;
}

} // namespace quillbay
