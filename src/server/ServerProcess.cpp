#include "server/ServerProcess.hpp"

#include "server/ChildProcess.hpp"
#include "server/LaunchConfiguration.hpp"
#include "server/LineAssembler.hpp"
#include "server/ListenerCheck.hpp"
#include "server/LogFile.hpp"
#include "server/PortChooser.hpp"
#include "server/ReadinessProbe.hpp"
#include "server/StopSequence.hpp"
#include "server/StudioLock.hpp"
#include "server/SupervisorPhase.hpp"
#include "support/Format.hpp"
#include "support/StartupTrace.hpp"
#include "support/StudioURL.hpp"
#include "support/WhileAlive.hpp"

#include <glib.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

namespace quillbay {

namespace {

using Phase = SupervisorPhase;
using Code = ServerReason::Code;

ServerReason exitReason(bool wasReady, ServerChild::Termination end)
{
    const std::string number = std::to_string(end.number);
    if (end.bySignal)
        return ServerReason(wasReady ? Code::Signalled : Code::SignalledDuringStartup, {number, g_strsignal(end.number)});
    return ServerReason(wasReady ? Code::Stopped : Code::ExitedDuringStartup, {number});
}

bool isExitReason(const ServerReason& reason)
{
    switch (reason.code()) {
    case Code::Stopped:
    case Code::ExitedDuringStartup:
    case Code::Signalled:
    case Code::SignalledDuringStartup:
        return true;
    default:
        return false;
    }
}

std::string endText(ServerChild::Termination end)
{
    return (end.bySignal ? "signal " : "exit ") + std::to_string(end.number);
}

} // namespace

struct ServerProcess::Impl : sigc::trackable {
    Config config;
    Clock& clock;
    ServerChild::Launcher launcher;
    LaunchConfiguration files;
    Published<State> state;
    Published<long long> port;
    Published<LogTail> logTail;
    std::uint64_t logLineCount = 0;  // every line of this run, also those skipped in a flood
    sigc::signal<void(const std::vector<std::string>&)> linesSignal;
    sigc::signal<void(const ServerEvent&)> eventSignal;
    std::deque<ServerEvent> events;  // of this start
    Phase phase = Phase::Stopped;
    ServerReason failure;  // of Failed and Unanswered
    std::optional<ServerReason> portWarning;  // the fallback warning of this start's port choice
    std::shared_ptr<ServerChild> process;  // the child of Starting (once launched), Running and Unanswered
    std::uint64_t processSerial = 0;       // which launch `process` holds
    std::uint64_t launches = 0;
    bool portChosenAgain = false;  // this start has already chosen its port a second time
    std::unique_ptr<StopSequence> stopping;  // while Stopping
    // The last stop's sequence, kept until the next: it may still be on the call stack when it is done.
    std::unique_ptr<StopSequence> lastStop;
    bool startAfterStop = false;  // a start or restart waits for the stop under way
    StudioLock studioLock;  // held from a start until its child is gone
    LogFile logHandle;
    ReadinessProbe readiness;

    explicit Impl(Config cfg)
        : config(std::move(cfg)), clock(config.clock ? *config.clock : Clock::system()),
          launcher(config.launcher ? config.launcher : ServerChild::Launcher(&launchChild)),
          files(config.resourceDir, config.stateDir), port(config.ports.preferred), readiness(config.timing.probe, clock)
    {
    }

    static ServerChild::Launch launchChild(const ServerChild::Description& description, ServerChild::OutputHandler onOutput,
                                           ServerChild::EndHandler onEnd)
    {
        return ChildProcess::launch(description, std::move(onOutput), std::move(onEnd));
    }

    std::string baseURL() const { return studioURL(port.get()); }

    // The one writer of `state`: every change of phase goes through here and
    // publishes what the new phase shows, when that differs from what is shown.
    void changePhase(Phase next, std::optional<ServerReason> why = std::nullopt)
    {
        if (!mayChangePhase(phase, next)) {
            g_warning("server: refused the phase change %s -> %s", phaseName(phase), phaseName(next));
            return;
        }
        const Phase was = std::exchange(phase, next);
        if (why)
            failure = std::move(*why);
        const bool failed = next == Phase::Failed || next == Phase::Unanswered;
        g_debug("server: %s -> %s%s%s", phaseName(was), phaseName(next), failed ? ": " : "",
                failed ? failure.text().c_str() : "");
        if (next == Phase::Stopped || next == Phase::Failed) {
            process.reset();
            studioLock.release();
        }
        announcePhase(next, why);
        State shown = publishedState(phase, failure);
        if (!(shown == state.get()))
            state.set(std::move(shown));
    }

    void announcePhase(Phase next, const std::optional<ServerReason>& why)
    {
        using Kind = ServerEvent::Kind;
        switch (next) {
        case Phase::Running:
            announce(Kind::Ready, port.get());
            break;
        case Phase::Stopping:
            announce(Kind::Stopping);
            break;
        case Phase::Stopped:
            announce(Kind::Stopped);
            break;
        case Phase::Failed:
        case Phase::Unanswered:
            // The child's end has been told as it came.
            if (why && !isExitReason(*why))
                announce(Kind::Failed, 0, why->localizedText());
            break;
        case Phase::Starting:
            break;
        }
    }

    void announce(ServerEvent::Kind kind, long long number = 0, std::string detail = {})
    {
        ServerEvent event{kind, number, std::move(detail), std::chrono::system_clock::now(), logLineCount};
        events.push_back(event);
        if (events.size() > kEventLimit)
            events.pop_front();
        eventSignal.emit(event);
    }

    void start()
    {
        switch (phase) {
        case Phase::Starting:
        case Phase::Running:
        case Phase::Unanswered:
            return;
        case Phase::Stopping:
            g_debug("server: the start waits until the stop is done");
            startAfterStop = true;
            return;
        case Phase::Stopped:
        case Phase::Failed:
            break;
        }
        changePhase(Phase::Starting);
        logLineCount = 0;
        portWarning.reset();
        logTail.set({});
        events.clear();
        announce(ServerEvent::Kind::Starting);
        portChosenAgain = false;
        if (auto failed = files.prepare()) {
            changePhase(Phase::Failed, std::move(*failed));
            return;
        }
        const StudioLock::Outcome lock = studioLock.acquire(files.stateDir());
        if (lock == StudioLock::Outcome::HeldElsewhere) {
            // Before the port choice and the rotation: the other supervisor's server and log stay as they are.
            changePhase(Phase::Failed, ServerReason(Code::FolderInUse, {files.stateDir()}));
            return;
        }
        choosePort();
        logHandle = LogFile::rotateAndOpen(files.logsDir(), LaunchConfiguration::kLogName,
                                           LaunchConfiguration::kPreviousLogName);
        if (portWarning)
            tell(*portWarning);
        if (lock == StudioLock::Outcome::Unavailable)
            tell(ServerReason(Code::FolderNotLocked,
                              {studioLock.failure(), files.stateDir() + "/" + StudioLock::kFileName}));
        reportLogTrouble();
        launch(files.describe(port.get()));
    }

    void choosePort()
    {
        auto choice = PortChooser(config.ports, config.timing.portChoice).choose();
        portWarning = choice.warning;
        traceStartup("port-chosen");
        port.set(choice.port);
        announce(ServerEvent::Kind::PortChosen, choice.port);
    }

    // A line of the shell's own: in English in the log, in the user's language in the tail.
    void tell(const ServerReason& line)
    {
        logHandle.write(line.text() + "\n");
        appendShellLine(line.localizedText());
    }

    void launch(const ServerChild::Description& description)
    {
        std::uint64_t serial = ++launches;
        auto lines = std::make_shared<LineAssembler>();
        // The child may outlive this supervisor: what it tells later is dropped then.
        auto onOutput = whileAlive<void(std::string_view)>(
            *this, [this, lines](std::string_view bytes) { append(bytes, *lines); });
        auto onEnd = whileAlive<void(ServerChild::Termination)>(
            *this, [this, lines, serial](ServerChild::Termination end) { childEnded(serial, *lines, end); });
        auto launched = launcher(description, onOutput, onEnd);
        if (!launched.child) {
            changePhase(Phase::Failed, ServerReason(Code::LaunchFailed, {launched.error}));
            return;
        }
        process = std::move(launched.child);
        processSerial = serial;
        g_debug("server: launched pid %d for port %lld", process->pid(), port.get());
        announce(ServerEvent::Kind::Launched, process->pid());
        // Whoever answers on the port counts only while our child's tree holds its listener.
        auto isOurs = [pid = process->pid(), listened = port.get()] { return ListenerCheck::heldByTree(pid, listened); };
        readiness.start(
            port.get(), isOurs,
            [this] {
                traceStartup("server-ready");
                changePhase(Phase::Running);
            },
            [this] {
                // The child is kept; a restart stops it.
                const double seconds = static_cast<double>(config.timing.probe.limit.count()) / 1000.0;
                changePhase(Phase::Unanswered, ServerReason(Code::NoAnswer, {format("%g", seconds)}));
            });
    }

    void append(std::string_view bytes, LineAssembler& lines)
    {
        logHandle.write(bytes);
        reportLogTrouble();
        std::vector<std::string> fresh;
        const std::size_t keep = linesSignal.empty() ? kLogTailLimit : std::max(kLogTailLimit, kOutputKeep);
        logLineCount += lines.feedTail(bytes, keep,
                                       [&fresh](std::string&& line) { fresh.push_back(std::move(line)); });
        appendLines(std::move(fresh));
    }

    void reportLogTrouble()
    {
        if (auto notice = logHandle.takeNotice())
            appendShellLine(notice->localizedText());
    }

    // In the tail like the server's lines; to readers of the stream, an event.
    void appendShellLine(std::string line)
    {
        announce(ServerEvent::Kind::Notice, 0, line);
        appendLine(std::move(line), false);
    }

    void appendLine(std::string line, bool streamed = true)
    {
        std::vector<std::string> one;
        one.push_back(std::move(line));
        appendLines(std::move(one), streamed);
    }

    // One notification for all the lines of a read.
    void appendLines(std::vector<std::string> lines, bool streamed = true)
    {
        if (lines.empty())
            return;
        logLineCount += lines.size();
        if (streamed)
            linesSignal.emit(lines);
        logTail.modify([&](LogTail& tail) {
            for (std::size_t i = lines.size() - std::min(lines.size(), kLogTailLimit); i < lines.size(); ++i)
                tail.push_back(std::move(lines[i]));
            while (tail.size() > kLogTailLimit)
                tail.pop_front();
        });
    }

    // Called once the child's output has been read to its end.
    void childEnded(std::uint64_t serial, LineAssembler& lines, ServerChild::Termination end)
    {
        lines.finish([this](std::string&& line) { appendLine(std::move(line)); });
        if (end.bySignal)
            announce(ServerEvent::Kind::Signalled, end.number, g_strsignal(end.number));
        else
            announce(ServerEvent::Kind::Exited, end.number);
        // An old child that outlived a stop must not touch a newer start.
        if (!process || serial != processSerial) {
            g_debug("server: a stopped child ended (%s)", endText(end).c_str());
            return;
        }
        g_debug("server: pid %d ended (%s) while %s", process->pid(), endText(end).c_str(), phaseName(phase));
        readiness.cancel();
        if (phase == Phase::Starting && portTakenMeanwhile()) {
            chooseAgainAndLaunch();  // still Starting, still holding the studio folder
            return;
        }
        if (phase == Phase::Unanswered)
            changePhase(Phase::Failed);  // the give-up stays what the user reads
        else
            changePhase(Phase::Failed, exitReason(phase == Phase::Running, end));
    }

    // Two shells that start together may choose the same port: the loser's
    // server finds it taken. Our child is gone, so whoever holds it now is not ours.
    bool portTakenMeanwhile() const { return !portChosenAgain && !PortChooser::isFree(port.get()); }

    // The same start goes on: same log, same tail.
    void chooseAgainAndLaunch()
    {
        portChosenAgain = true;
        process.reset();
        g_info("server: port %lld was taken while the server started; choosing again", port.get());
        tell(ServerReason(Code::PortTakenMeanwhile, {std::to_string(port.get())}));
        choosePort();
        if (portWarning)
            tell(*portWarning);
        reportLogTrouble();
        launch(files.describe(port.get()));
    }

    void stop(std::function<void()> then)
    {
        readiness.cancel();
        if (phase == Phase::Stopping) {
            startAfterStop = false;
            stopping->join(std::move(then));
            return;
        }
        if (!process) {  // stopped, failed, or a start still checking its files
            if (then)
                then();
            return;
        }
        beginStop(std::move(then));
    }

    void beginStop(std::function<void()> then)
    {
        startAfterStop = false;
        const StopSequence::Timing timing{config.timing.stopGrace, config.timing.reapLimit};
        // The sequence is ours: gone with us, it calls nothing.
        stopping = std::make_unique<StopSequence>(std::exchange(process, nullptr), timing, clock,
                                                  [this](auto continuations) { stopDone(std::move(continuations)); });
        stopping->join(std::move(then));
        changePhase(Phase::Stopping);
    }

    // The continuations run once the child is gone, then a start that waited.
    void stopDone(StopSequence::Continuations continuations)
    {
        lastStop = std::move(stopping);
        const bool startAfter = std::exchange(startAfterStop, false);
        changePhase(Phase::Stopped);
        for (auto& then : continuations)
            then();
        if (startAfter && phase == Phase::Stopped)
            start();
    }

    void restart()
    {
        announce(ServerEvent::Kind::Restarting);
        if (!process && phase != Phase::Stopping) {
            start();
            return;
        }
        stop({});
        startAfterStop = true;
    }
};

ServerProcess::ServerProcess(Config config) : impl_(std::make_unique<Impl>(std::move(config)))
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

sigc::signal<void(const std::vector<std::string>&)>& ServerProcess::signalLines() const
{
    return impl_->linesSignal;
}

sigc::signal<void(const ServerEvent&)>& ServerProcess::signalEvent() const
{
    return impl_->eventSignal;
}

const std::deque<ServerEvent>& ServerProcess::events() const
{
    return impl_->events;
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

const std::optional<ServerReason>& ServerProcess::portWarning() const
{
    return impl_->portWarning;
}

} // namespace quillbay
