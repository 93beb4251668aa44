// Runs one studio server under ServerProcess without a window, for scripts
// and benchmarks. Prints one line per published change and takes the
// commands restart, stop and quit on standard input.
#include "server/ServerProcess.hpp"
#include "support/DebugLog.hpp"

#include <gio/gio.h>
#include <gio/gunixinputstream.h>
#include <glib-unix.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

using quillbay::ServerProcess;

namespace {

struct Supervisor {
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    ServerProcess server;
    std::uint64_t printed = 0;  // lines of this run already printed or skipped
    bool quitting = false;

    explicit Supervisor(ServerProcess::Config config) : server(std::move(config)) {}
    ~Supervisor() { g_main_loop_unref(loop); }

    static void say(const std::string& line)
    {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

    void printState() { say("state " + server.state()->description()); }

    // A change of the tail may bring several lines; in a flood some of them
    // never reach the tail and are only in the server log.
    void printNewLines()
    {
        const auto& tail = server.logTail().get();
        const std::uint64_t count = server.logLineCount();
        if (count < printed)
            printed = 0;  // a new run
        const std::uint64_t added = count - printed;
        const std::size_t shown = added < tail.size() ? static_cast<std::size_t>(added) : tail.size();
        if (added > shown)
            say("log (" + std::to_string(added - shown) + " lines only in the server log)");
        for (std::size_t i = tail.size() - shown; i < tail.size(); ++i)
            say("log " + tail[i]);
        printed = count;
    }

    void connect()
    {
        server.state().signalChanged().connect([this] { printState(); });
        server.port().signalChanged().connect([this] { say("port " + std::to_string(server.port().get())); });
        server.logTail().signalChanged().connect([this] { printNewLines(); });
    }

    void quit()
    {
        if (quitting)
            return;
        quitting = true;
        server.stop([this] { g_main_loop_quit(loop); });
    }

    void command(const std::string& line)
    {
        if (line == "restart")
            server.restart();
        else if (line == "stop")
            server.stop();
        else if (line == "quit")
            quit();
    }
};

struct CommandReader {
    Supervisor& supervisor;
    GDataInputStream* input;
    GCancellable* cancellable = g_cancellable_new();

    explicit CommandReader(Supervisor& owner)
        : supervisor(owner), input(g_data_input_stream_new(g_unix_input_stream_new(0, FALSE)))
    {
    }
    ~CommandReader()
    {
        g_cancellable_cancel(cancellable);
        g_object_unref(cancellable);
        g_object_unref(input);
    }

    void readNext()
    {
        g_data_input_stream_read_line_async(input, G_PRIORITY_DEFAULT, cancellable, &CommandReader::onLine, this);
    }

    static void onLine(GObject* source, GAsyncResult* result, gpointer data)
    {
        GError* error = nullptr;
        gsize length = 0;
        char* line = g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), result, &length, &error);
        bool cancelled = error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        g_clear_error(&error);
        if (cancelled)
            return;
        auto* self = static_cast<CommandReader*>(data);
        if (!line) {  // end of input
            self->supervisor.quit();
            return;
        }
        std::string command(line, length);
        g_free(line);
        if (!command.empty() && command.back() == '\r')
            command.pop_back();
        self->supervisor.command(command);
        self->readNext();
    }
};

gboolean onQuitSignal(gpointer data)
{
    static_cast<Supervisor*>(data)->quit();
    return G_SOURCE_CONTINUE;
}

int usage()
{
    std::fputs("usage: quillbay-supervise [--resources DIR]\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    quillbay::DebugLog::install();  // G_MESSAGES_DEBUG=Quillbay shows it on standard error
    auto config = ServerProcess::appConfig();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--resources") == 0 && i + 1 < argc)
            config.resourceDir = argv[++i];
        else
            return usage();
    }

    Supervisor supervisor(std::move(config));
    supervisor.connect();
    g_unix_signal_add(SIGTERM, onQuitSignal, &supervisor);
    g_unix_signal_add(SIGINT, onQuitSignal, &supervisor);
    CommandReader commands(supervisor);
    commands.readNext();

    supervisor.server.start();
    g_main_loop_run(supervisor.loop);
    return 0;
}
