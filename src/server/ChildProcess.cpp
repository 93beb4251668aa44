#include "server/ChildProcess.hpp"

#include "support/ScopedConnection.hpp"

#include <gio/gio.h>
#include <gio/gunixinputstream.h>
#include <glibmm/main.h>

#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace quillbay {

namespace {

constexpr gsize kReadSize = 1024 * 1024;
constexpr int kPipeSize = 1024 * 1024;

// Runs in the child between fork and exec.
void prepareChild(gpointer parentPid)
{
    // The server must not outlive a shell that crashed or was killed.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != static_cast<pid_t>(GPOINTER_TO_INT(parentPid)))
        _exit(127);  // the shell died before the death signal was armed
    // Dispositions and masks of the shell are not the server's business.
    signal(SIGPIPE, SIG_DFL);
    signal(SIGXFSZ, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

ChildProcess::Termination terminationOf(GSubprocess* process)
{
    if (g_subprocess_get_if_signaled(process))
        return {g_subprocess_get_term_sig(process), true};
    if (g_subprocess_get_if_exited(process))
        return {g_subprocess_get_exit_status(process), false};
    return {g_subprocess_get_status(process), false};
}

} // namespace

struct ChildProcess::Impl : std::enable_shared_from_this<Impl> {
    GSubprocess* process = nullptr;
    GCancellable* cancellable = g_cancellable_new();
    pid_t pid = 0;
    // Opened right after the spawn, while the child cannot have been waited
    // for yet: signals sent through it reach this child or nobody.
    int pidfd = -1;
    OutputHandler onOutput;
    EndHandler onEnd;
    std::chrono::milliseconds drainLimit{2000};
    std::string buffer = std::string(kReadSize, '\0');
    bool outputEnded = false;
    bool reaped = false;
    bool reported = false;
    Termination termination;
    ScopedConnection drainTimer;
    std::function<void()> onReaped;

    ~Impl()
    {
        if (pidfd >= 0)
            ::close(pidfd);
        g_cancellable_cancel(cancellable);
        g_clear_object(&cancellable);
        g_clear_object(&process);
    }

    void readNext()
    {
        GInputStream* stream = g_subprocess_get_stdout_pipe(process);
        g_input_stream_read_async(stream, buffer.data(), buffer.size(), G_PRIORITY_DEFAULT, cancellable,
                                  &Impl::onRead, new std::shared_ptr<Impl>(shared_from_this()));
    }

    static void onRead(GObject* source, GAsyncResult* result, gpointer data)
    {
        std::unique_ptr<std::shared_ptr<Impl>> box(static_cast<std::shared_ptr<Impl>*>(data));
        Impl& self = **box;
        gssize count = g_input_stream_read_finish(G_INPUT_STREAM(source), result, nullptr);
        if (self.reported)
            return;
        if (count > 0) {
            if (self.onOutput)
                self.onOutput(std::string_view(self.buffer.data(), static_cast<std::size_t>(count)));
            if (!self.reported)
                self.readNext();
            return;
        }
        self.outputEnded = true;  // end of file, or a read error that ends the stream
        self.reportWhenDone();
    }

    void waitForExit()
    {
        g_subprocess_wait_async(process, nullptr, &Impl::onExit, new std::shared_ptr<Impl>(shared_from_this()));
    }

    static void onExit(GObject* source, GAsyncResult* result, gpointer data)
    {
        std::unique_ptr<std::shared_ptr<Impl>> box(static_cast<std::shared_ptr<Impl>*>(data));
        Impl& self = **box;
        g_subprocess_wait_finish(G_SUBPROCESS(source), result, nullptr);
        self.reaped = true;
        self.termination = terminationOf(self.process);
        if (!self.outputEnded) {
            // Something else (a grandchild) may hold the pipe open; do not wait forever.
            std::weak_ptr<Impl> weak = self.weak_from_this();
            self.drainTimer = Glib::signal_timeout().connect(
                [weak] {
                    if (auto impl = weak.lock()) {
                        impl->outputEnded = true;
                        g_cancellable_cancel(impl->cancellable);
                        impl->reportWhenDone();
                    }
                    return false;
                },
                static_cast<unsigned>(self.drainLimit.count()));
        }
        if (auto reapedAction = std::exchange(self.onReaped, nullptr))
            reapedAction();
        self.reportWhenDone();
    }

    void reportWhenDone()
    {
        if (reported || !outputEnded || !reaped)
            return;
        reported = true;
        drainTimer.disconnect();
        auto end = std::move(onEnd);
        onOutput = nullptr;
        onEnd = nullptr;
        if (end)
            end(termination);
    }
};

ChildProcess::Launch ChildProcess::launch(const Description& description, OutputHandler onOutput, EndHandler onEnd,
                                          std::chrono::milliseconds drainLimit)
{
    GSubprocessLauncher* launcher = g_subprocess_launcher_new(static_cast<GSubprocessFlags>(
        G_SUBPROCESS_FLAGS_STDIN_PIPE | G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_MERGE));

    std::vector<std::string> entries;
    for (const auto& [name, value] : description.environment)
        entries.push_back(name + "=" + value);
    std::vector<const gchar*> environ;
    for (const auto& entry : entries)
        environ.push_back(entry.c_str());
    environ.push_back(nullptr);
    g_subprocess_launcher_set_environ(launcher, const_cast<gchar**>(environ.data()));
    g_subprocess_launcher_set_cwd(launcher, description.workingDirectory.c_str());
    g_subprocess_launcher_set_child_setup(launcher, prepareChild, GINT_TO_POINTER(getpid()), nullptr);

    std::vector<const gchar*> argv{description.executable.c_str()};
    for (const auto& argument : description.arguments)
        argv.push_back(argument.c_str());
    argv.push_back(nullptr);

    GError* error = nullptr;
    GSubprocess* process = g_subprocess_launcher_spawnv(launcher, argv.data(), &error);
    g_object_unref(launcher);
    if (!process) {
        Launch failed{nullptr, error ? error->message : "unknown error"};
        g_clear_error(&error);
        return failed;
    }

    auto impl = std::make_shared<Impl>();
    impl->process = process;
    impl->onOutput = std::move(onOutput);
    impl->onEnd = std::move(onEnd);
    impl->drainLimit = drainLimit;
    if (const char* identifier = g_subprocess_get_identifier(process))
        impl->pid = static_cast<pid_t>(std::atoi(identifier));
    if (impl->pid > 0)
        impl->pidfd = static_cast<int>(::syscall(SYS_pidfd_open, impl->pid, 0));

    // A larger pipe means fewer wake-ups when the server writes a lot.
    GInputStream* output = g_subprocess_get_stdout_pipe(process);
    if (G_IS_UNIX_INPUT_STREAM(output))
        fcntl(g_unix_input_stream_get_fd(G_UNIX_INPUT_STREAM(output)), F_SETPIPE_SZ, kPipeSize);

    impl->readNext();
    impl->waitForExit();
    return Launch{std::shared_ptr<ChildProcess>(new ChildProcess(impl)), {}};
}

ChildProcess::ChildProcess(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

ChildProcess::~ChildProcess() = default;

pid_t ChildProcess::pid() const
{
    return impl_->pid;
}

bool ChildProcess::hasEnded() const
{
    return impl_->reaped;
}

void ChildProcess::whenReaped(std::function<void()> action)
{
    if (impl_->reaped)
        action();
    else
        impl_->onReaped = std::move(action);
}

void ChildProcess::closeInput()
{
    if (GOutputStream* input = g_subprocess_get_stdin_pipe(impl_->process))
        g_output_stream_close(input, nullptr, nullptr);
}

void ChildProcess::sendSignal(int signal)
{
    // Not g_subprocess_send_signal: GLib queues that for its worker thread,
    // and a process that ends right after asking would never send it.
    if (impl_->pidfd >= 0)
        ::syscall(SYS_pidfd_send_signal, impl_->pidfd, signal, nullptr, 0);
}

} // namespace quillbay
