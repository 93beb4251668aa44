#include "server/ServerProcess.hpp"

#include "server/ChildProcess.hpp"
#include "server/LaunchConfiguration.hpp"
#include "server/LineAssembler.hpp"
#include "server/ListenerCheck.hpp"
#include "server/LogFile.hpp"
#include "server/MainLoopTimer.hpp"
#include "server/PortChooser.hpp"
#include "server/ReadinessProbe.hpp"
#include "support/StartupTrace.hpp"

#include <glib.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace quillbay {

namespace {

std::string seconds(std::chrono::milliseconds duration)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(duration.count()) / 1000.0);
    return text;
}

std::string exitMessage(const ServerState& state, int status)
{
    if (state.isReady())
        return "The studio server stopped (exit " + std::to_string(status) + ").";
    return "The studio server exited during startup (exit " + std::to_string(status) + ").";
}

ReadinessProbe::Timing probeTiming(const ServerProcess::Timing& timing)
{
    return {timing.probeLimit, timing.probeRequestTimeout, timing.probePause};
}

PortChooser::Timing portTiming(const ServerProcess::Timing& timing)
{
    return {timing.identityRequestTimeout, timing.identityWait, timing.politeStep, timing.politeSteps,
            timing.killWait};
}

} // namespace

struct ServerProcess::Impl : std::enable_shared_from_this<Impl> {
    Config config;
    LaunchConfiguration files;
    Published<State> state;
    Published<long long> port;
    Published<LogTail> logTail;
    std::uint64_t logLineCount = 0;  // every line of this run, also those skipped in a flood
    std::optional<std::string> portWarning;
    std::shared_ptr<ChildProcess> process;
    std::uint64_t processSerial = 0;  // which launch `process` holds
    std::uint64_t launches = 0;
    // A restart waiting for its stop's grace; further restarts join it, a stop cancels it.
    bool restartPending = false;
    std::uint64_t restarts = 0;  // which restart is pending
    int gracesRunning = 0;       // stopped children not yet past their forced end
    std::vector<std::function<void()>> afterGraces;  // stops that found no child meanwhile
    LogFile logHandle;
    ReadinessProbe readiness;

    explicit Impl(Config cfg)
        : config(std::move(cfg)), files(config.resourceDir, config.stateDir), port(config.preferredPort),
          readiness(probeTiming(config.timing))
    {
    }

    std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(port.get()) + "/"; }

    void start()
    {
        if (process)
            return;
        restartPending = false;  // this start is the one it waited for
        state.set(State::starting());
        logLineCount = 0;
        portWarning.reset();
        logTail.set({});
        if (auto failure = files.prepare()) {
            state.set(State::failed(*failure));
            return;
        }
        auto choice = PortChooser({config.preferredPort, config.fallbackFirst, config.fallbackLast},
                                  portTiming(config.timing))
                          .choose();
        portWarning = choice.warning;
        port.set(choice.port);
        logHandle = LogFile::rotateAndOpen(files.logsDir(), "server.log", "server.previous.log");
        if (choice.warning) {
            appendLine(*choice.warning);
            logHandle.write(*choice.warning + "\n");
        }
        reportLogTrouble();
        launch(files.describe(port.get()));
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
        auto onEnd = [weak, lines, serial](int status) {
            if (auto self = weak.lock())
                self->childEnded(serial, *lines, status);
        };
        auto launched = ChildProcess::launch(description, onOutput, onEnd);
        if (!launched.child) {
            state.set(State::failed("Could not launch the server: " + launched.error));
            return;
        }
        process = std::move(launched.child);
        processSerial = serial;
        // Whoever answers on the port counts only while our child's tree holds its listener.
        auto isOurs = [pid = process->pid(), listened = port.get()] { return ListenerCheck::heldByTree(pid, listened); };
        readiness.start(
            baseURL() + "api/pid", isOurs,
            [this] {
                traceStartup("server-ready");
                state.set(State::ready());
            },
            [this] {
                state.set(State::failed("The studio server did not answer within " +
                                        seconds(config.timing.probeLimit) + " s. See the server log."));
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
    void childEnded(std::uint64_t serial, LineAssembler& lines, int status)
    {
        lines.finish([this](std::string&& line) { appendLine(std::move(line)); });
        // An old child that outlived a stop must not touch a newer start.
        if (!process || serial != processSerial)
            return;
        readiness.cancel();
        if (state->isReady() || state->isStarting())
            state.set(State::failed(exitMessage(state.get(), status)));
        process.reset();
    }

    void stop(std::function<void()> then)
    {
        restartPending = false;
        readiness.cancel();
        if (!process) {
            // A child stopped earlier may still be within its grace: wait for its forced end.
            if (gracesRunning > 0 && then)
                afterGraces.push_back(std::move(then));
            else if (then)
                then();
            return;
        }
        std::shared_ptr<ChildProcess> child = std::move(process);
        process.reset();
        child->closeInput();
        child->sendSignal(SIGTERM);
        ++gracesRunning;
        std::weak_ptr<Impl> weak = weak_from_this();
        MainLoopTimer::runAfter(config.timing.stopGrace, [weak, child, then = std::move(then)] {
            if (!child->hasEnded())
                child->sendSignal(SIGKILL);
            if (then)
                then();
            if (auto self = weak.lock())
                self->graceEnded();
        });
        state.set(State::idle());
    }

    void graceEnded()
    {
        if (--gracesRunning > 0)
            return;
        auto waiting = std::move(afterGraces);
        afterGraces.clear();
        for (auto& then : waiting)
            then();
    }

    void restart()
    {
        if (restartPending)
            return;
        if (!process) {
            stop({});
            start();
            return;
        }
        std::weak_ptr<Impl> weak = weak_from_this();
        std::uint64_t serial = ++restarts;
        stop([weak, serial] {
            auto self = weak.lock();
            if (self && self->restartPending && self->restarts == serial)
                self->start();
        });
        restartPending = true;
    }
};

ServerProcess::ServerProcess(Config config) : impl_(std::make_shared<Impl>(std::move(config))) {}

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

bool ServerProcess::isFree(long long port)
{
    return PortChooser::isFree(port);
}

std::optional<pid_t> ServerProcess::orphanPid(long long port, std::chrono::milliseconds requestTimeout,
                                             std::chrono::milliseconds wait)
{
    return PortChooser::orphanPid(port, requestTimeout, wait);
}

} // namespace quillbay
