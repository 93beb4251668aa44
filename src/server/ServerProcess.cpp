#include "server/ServerProcess.hpp"

#include "server/ChildProcess.hpp"
#include "server/LaunchConfiguration.hpp"
#include "server/LineAssembler.hpp"
#include "server/ListenerCheck.hpp"
#include "server/LogFile.hpp"
#include "server/PortChooser.hpp"
#include "server/ReadinessProbe.hpp"
#include "server/StudioLock.hpp"
#include "support/StartupTrace.hpp"

#include <glib.h>
#include <glib/gi18n.h>
#include <glibmm/main.h>
#include <glibmm/ustring.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

namespace quillbay {

namespace {

// However SIGKILL fares, a stop is done this long after it was sent, so a
// child stuck in the kernel cannot hold a quit for ever.
constexpr std::chrono::milliseconds kReapLimitAfterKill{2000};

std::string seconds(std::chrono::milliseconds duration)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(duration.count()) / 1000.0);
    return text;
}

std::string exitMessage(bool wasReady, ChildProcess::Termination end)
{
    const std::string number = std::to_string(end.number);
    if (end.bySignal) {
        const std::string signal = number + " (" + g_strsignal(end.number) + ").";
        return wasReady ? "The studio server stopped by signal " + signal
                        : "The studio server stopped during startup by signal " + signal;
    }
    return wasReady ? "The studio server stopped (exit " + number + ")."
                    : "The studio server exited during startup (exit " + number + ").";
}

unsigned milliseconds(std::chrono::milliseconds duration)
{
    return duration.count() > 0 ? static_cast<unsigned>(duration.count()) : 0u;
}

} // namespace

struct ServerProcess::Impl : std::enable_shared_from_this<Impl> {
    // Where the supervisor stands; the published state tells the user.
    enum class Phase {
        Stopped,   // no child
        Starting,  // a child launched, its probe polling
        Running,   // a child whose probe has ended (it answered, or it was given up on)
        Stopping,  // a stopped child, until its grace is over and it has been reaped
    };

    // The bookkeeping of the stop under way.
    struct Stop {
        std::shared_ptr<ChildProcess> child;
        bool graceOver = false;
        bool startAfter = false;  // a start or restart waits for this stop
        std::vector<std::function<void()>> continuations;
        sigc::connection timer;  // the grace, then the bound on the reap after SIGKILL
    };

    Config config;
    LaunchConfiguration files;
    Published<State> state;
    Published<long long> port;
    Published<LogTail> logTail;
    std::uint64_t logLineCount = 0;  // every line of this run, also those skipped in a flood
    Phase phase = Phase::Stopped;
    std::optional<std::string> portWarning;  // the fallback warning of this start's port choice
    std::shared_ptr<ChildProcess> process;  // held while Starting or Running
    std::uint64_t processSerial = 0;        // which launch `process` holds
    std::uint64_t launches = 0;
    bool portChosenAgain = false;  // this start has already chosen its port a second time
    Stop stopping;
    StudioLock studioLock;  // held from a start until its child is gone
    LogFile logHandle;
    ReadinessProbe readiness;

    explicit Impl(Config cfg)
        : config(std::move(cfg)), files(config.resourceDir, config.stateDir), port(config.ports.preferred),
          readiness(config.timing.probe)
    {
    }

    ~Impl() { stopping.timer.disconnect(); }

    std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(port.get()) + "/"; }

    bool holdsChild() const { return phase == Phase::Starting || phase == Phase::Running; }

    // Every change of phase goes through here, and so does what a change brings with it.
    void changePhase(Phase next)
    {
        const Phase was = std::exchange(phase, next);
        if (next == Phase::Stopped) {
            process.reset();
            studioLock.release();
        }
        if (was == Phase::Stopping && next != Phase::Stopping)
            finishStop();
    }

    void start()
    {
        if (holdsChild())
            return;
        if (phase == Phase::Stopping) {
            stopping.startAfter = true;
            return;
        }
        state.set(State::starting());
        logLineCount = 0;
        portWarning.reset();
        logTail.set({});
        portChosenAgain = false;
        if (auto failure = files.prepare()) {
            state.set(State::failed(*failure));
            return;
        }
        const StudioLock::Outcome lock = studioLock.acquire(files.stateDir());
        if (lock == StudioLock::Outcome::HeldElsewhere) {
            // Before the port choice and the rotation: the other supervisor's server and log stay as they are.
            state.set(State::failed(
                Glib::ustring::sprintf(_("Another Quillbay is using the studio folder %s."), files.stateDir())));
            return;
        }
        auto warning = choosePort();
        logHandle = LogFile::rotateAndOpen(files.logsDir(), "server.log", "server.previous.log");
        if (warning)
            tell(*warning);
        if (lock == StudioLock::Outcome::Unavailable)
            tell("warning: the studio folder could not be locked (" + studioLock.failure() + " at " +
                 files.stateDir() + "/" + StudioLock::kFileName + "); another Quillbay using it would go unnoticed.");
        reportLogTrouble();
        launch(files.describe(port.get()));
    }

    // Returns the warning to tell when a fallback port was taken.
    std::optional<std::string> choosePort()
    {
        auto choice = PortChooser(config.ports, config.timing.portChoice).choose();
        portWarning = choice.warning;
        port.set(choice.port);
        return choice.warning;
    }

    // A line of the shell's own, in the log and in the tail.
    void tell(const std::string& line)
    {
        logHandle.write(line + "\n");
        appendLine(line);
    }

    void launch(const ChildProcess::Description& description)
    {
        std::uint64_t serial = ++launches;
        auto lines = std::make_shared<LineAssembler>();
        std::weak_ptr<Impl> weak = weak_from_this();
        auto onOutput = [weak, lines](std::string_view bytes) {
            if (auto self = weak.lock())
                self->append(bytes, *lines);
        };
        auto onEnd = [weak, lines, serial](ChildProcess::Termination end) {
            if (auto self = weak.lock())
                self->childEnded(serial, *lines, end);
        };
        auto launched = ChildProcess::launch(description, onOutput, onEnd);
        if (!launched.child) {
            changePhase(Phase::Stopped);
            state.set(State::failed("Could not launch the server: " + launched.error));
            return;
        }
        process = std::move(launched.child);
        processSerial = serial;
        changePhase(Phase::Starting);
        // Whoever answers on the port counts only while our child's tree holds its listener.
        auto isOurs = [pid = process->pid(), listened = port.get()] { return ListenerCheck::heldByTree(pid, listened); };
        readiness.start(
            baseURL() + "api/pid", isOurs,
            [this] {
                traceStartup("server-ready");
                changePhase(Phase::Running);
                state.set(State::ready());
            },
            [this] {
                changePhase(Phase::Running);  // the child is kept; a restart stops it
                state.set(State::failed("The studio server did not answer within " +
                                        seconds(config.timing.probe.limit) + " s. See the server log."));
            });
    }

    void append(std::string_view bytes, LineAssembler& lines)
    {
        logHandle.write(bytes);
        reportLogTrouble();
        std::vector<std::string> fresh;
        lines.feedTail(bytes, kLogTailLimit, [&fresh](std::string&& line) { fresh.push_back(std::move(line)); });
        appendLines(std::move(fresh));
    }

    void reportLogTrouble()
    {
        if (auto notice = logHandle.takeNotice())
            appendLine(std::move(*notice));
    }

    void appendLine(std::string line)
    {
        std::vector<std::string> one;
        one.push_back(std::move(line));
        appendLines(std::move(one));
    }

    // One notification for all the lines of a read.
    void appendLines(std::vector<std::string> lines)
    {
        if (lines.empty())
            return;
        logLineCount += lines.size();
        logTail.modify([&](LogTail& tail) {
            for (auto& line : lines)
                tail.push_back(std::move(line));
            while (tail.size() > kLogTailLimit)
                tail.pop_front();
        });
    }

    // Called once the child's output has been read to its end.
    void childEnded(std::uint64_t serial, LineAssembler& lines, ChildProcess::Termination end)
    {
        lines.finish([this](std::string&& line) { appendLine(std::move(line)); });
        // An old child that outlived a stop must not touch a newer start.
        if (!holdsChild() || serial != processSerial)
            return;
        readiness.cancel();
        if (phase == Phase::Starting && portTakenMeanwhile()) {
            chooseAgainAndLaunch();  // still Starting, still holding the studio folder
            return;
        }
        changePhase(Phase::Stopped);
        if (state->isReady() || state->isStarting())
            state.set(State::failed(exitMessage(state->isReady(), end)));
    }

    // Two shells that start together may choose the same port: the loser's
    // server finds it taken. Our child is gone, so whoever holds it now is not ours.
    bool portTakenMeanwhile() const
    {
        return !portChosenAgain && state->isStarting() && !PortChooser::isFree(port.get());
    }

    // The same start goes on: same log, same tail.
    void chooseAgainAndLaunch()
    {
        portChosenAgain = true;
        tell("warning: port " + std::to_string(port.get()) +
             " was taken by another program while the server started; choosing again.");
        if (auto warning = choosePort())
            tell(*warning);
        reportLogTrouble();
        launch(files.describe(port.get()));
    }

    void stop(std::function<void()> then)
    {
        readiness.cancel();
        switch (phase) {
        case Phase::Stopped:
            if (then)
                then();
            return;
        case Phase::Stopping:
            stopping.startAfter = false;
            if (then)
                stopping.continuations.push_back(std::move(then));
            return;
        case Phase::Starting:
        case Phase::Running:
            beginStop(std::move(then));
            return;
        }
    }

    void beginStop(std::function<void()> then)
    {
        stopping = Stop{};
        stopping.child = process;
        if (then)
            stopping.continuations.push_back(std::move(then));
        changePhase(Phase::Stopping);
        process.reset();
        stopping.child->closeInput();
        stopping.child->sendSignal(SIGTERM);
        std::weak_ptr<Impl> weak = weak_from_this();
        stopping.timer = Glib::signal_timeout().connect(
            [weak] {
                if (auto self = weak.lock())
                    self->graceOver();
                return false;
            },
            milliseconds(config.timing.stopGrace));
        stopping.child->whenReaped([weak] {
            if (auto self = weak.lock(); self && self->phase == Phase::Stopping && self->stopping.graceOver)
                self->changePhase(Phase::Stopped);
        });
        state.set(State::idle());
    }

    void graceOver()
    {
        stopping.graceOver = true;
        if (stopping.child->hasEnded()) {
            changePhase(Phase::Stopped);
            return;
        }
        stopping.child->sendSignal(SIGKILL);
        std::weak_ptr<Impl> weak = weak_from_this();
        stopping.timer = Glib::signal_timeout().connect(
            [weak] {
                if (auto self = weak.lock(); self && self->phase == Phase::Stopping)
                    self->changePhase(Phase::Stopped);
                return false;
            },
            milliseconds(kReapLimitAfterKill));
    }

    // Leaving Stopping: the continuations run, then a start that waited.
    void finishStop()
    {
        Stop done = std::move(stopping);
        stopping = Stop{};
        done.timer.disconnect();
        for (auto& then : done.continuations)
            then();
        if (done.startAfter && phase == Phase::Stopped)
            start();
    }

    void restart()
    {
        if (phase == Phase::Stopped) {
            start();
            return;
        }
        stop({});
        stopping.startAfter = true;
    }
};

ServerProcess::ServerProcess(Config config) : impl_(std::make_shared<Impl>(std::move(config)))
{
    // A log over the file size limit must fail as a write (told in the tail),
    // not end the process and its server by SIGXFSZ. Children get the default back.
    std::signal(SIGXFSZ, SIG_IGN);
}

ServerProcess::~ServerProcess() = default;

ServerProcess::Config ServerProcess::appConfig()
{
    Config config;
    config.resourceDir = defaultResourceDir();
    config.stateDir = defaultStateDir();
    return config;
}

std::string ServerProcess::defaultResourceDir()
{
    std::error_code error;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return LaunchConfiguration::normalisedPath("../share/quillbay");
    return LaunchConfiguration::normalisedPath((executable.parent_path() / ".." / "share" / "quillbay").string());
}

std::string ServerProcess::defaultStateDir()
{
    static const std::string folder = LaunchConfiguration::normalisedPath(std::string(g_get_user_data_dir()) + "/Quillbay");
    return folder;
}

const Published<ServerProcess::State>& ServerProcess::state() const
{
    return impl_->state;
}

const Published<long long>& ServerProcess::port() const
{
    return impl_->port;
}

const Published<ServerProcess::LogTail>& ServerProcess::logTail() const
{
    return impl_->logTail;
}

std::uint64_t ServerProcess::logLineCount() const
{
    return impl_->logLineCount;
}

void ServerProcess::start()
{
    impl_->start();
}

void ServerProcess::stop(std::function<void()> then)
{
    impl_->stop(std::move(then));
}

void ServerProcess::restart()
{
    impl_->restart();
}

bool ServerProcess::hasChild() const
{
    return impl_->process != nullptr;
}

std::string ServerProcess::baseURL() const
{
    return impl_->baseURL();
}

const std::string& ServerProcess::stateDir() const
{
    return impl_->files.stateDir();
}

std::string ServerProcess::serverLogPath() const
{
    return impl_->files.serverLogPath();
}

const std::optional<std::string>& ServerProcess::portWarning() const
{
    return impl_->portWarning;
}

} // namespace quillbay
