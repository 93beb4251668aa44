// The supervisor's phases on a clock the test moves and with stand-in children, so the grace, kill, reap and
// probe-limit edges take milliseconds. Real children cross the same paths in ServerProcess_test and in
// quillbay-supervise's test.

#include "ServerTestSupport.hpp"

#include "app/diagnostics/DiagnosticsReport.hpp"
#include "app/lifecycle/AppDelegate.hpp"
#include "server/StudioLock.hpp"
#include "support/DebugLog.hpp"
#include "tests/support/FakeClock.hpp"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quillbay;
using namespace quillbay::testing;

namespace {

const auto kGrace = kTestStopGrace;
const auto kReapLimit = ServerProcess::Timing{}.reapLimit;

// A launched server that ends only on its signal and records what the supervisor did to it.
class FakeChild final : public ServerChild {
public:
    FakeChild(pid_t pid, int endsOn, EndHandler end) : pid_(pid), endsOn_(endsOn), end_(std::move(end)) {}

    pid_t pid() const override { return pid_; }
    bool hasEnded() const override { return reaped_; }
    void whenReaped(std::function<void()> action) override { reaped_ ? action() : void(onReaped_ = std::move(action)); }
    void closeInput() override { events.push_back("eof"); }
    void sendSignal(int signal) override
    {
        events.push_back(signal == SIGTERM ? "TERM" : signal == SIGKILL ? "KILL" : std::to_string(signal));
        if (signal == endsOn_ && !reaped_)
            end({signal, true});
    }

    // It ends: reaped, then its output read to the end.
    void end(Termination how)
    {
        reaped_ = true;
        if (auto reaped = std::exchange(onReaped_, nullptr))
            reaped();
        if (auto ended = std::exchange(end_, nullptr))
            ended(how);
    }

    std::vector<std::string> events;  // "eof", "TERM", "KILL", as they came

private:
    pid_t pid_;
    int endsOn_;  // the signal that ends it; 0: none does (stuck in the kernel)
    EndHandler end_;
    std::function<void()> onReaped_;
    bool reaped_ = false;
};

// A supervisor's surroundings: its files, its children (pids from 900001) and its clock. Made before the
// ServerProcess, gone after it.
struct Supervised {
    explicit Supervised(int childrenEndOn = SIGTERM) : endsOn(childrenEndOn) {}
    ServerProcess::Config config()
    {
        auto config = resources.config();
        config.launcher = [this](const ServerChild::Description&, ServerChild::OutputHandler, ServerChild::EndHandler end) {
            children.push_back(std::make_shared<FakeChild>(900001 + static_cast<pid_t>(children.size()), endsOn, std::move(end)));
            return ServerChild::Launch{children.back(), {}};
        };
        config.clock = &clock;
        return config;
    }
    int endsOn;
    FakeResources resources{{}};
    std::vector<std::shared_ptr<FakeChild>> children;
    FakeClock clock;
};

} // namespace

// A child that leaves at SIGTERM still gets its whole grace; one that stays gets SIGKILL when the grace is over; one
// the kernel never reaps holds the stop at most the reap limit. The studio folder stays locked until the stop is done.
TEST(ServerStop, WaitsOutTheGraceThenKillsAndBoundsTheReap)
{
    const std::tuple<int, Args, std::chrono::milliseconds> rows[] = {  // the child ends on, what it got, done after
        {SIGTERM, {"eof", "TERM"}, kGrace}, {SIGKILL, {"eof", "TERM", "KILL"}, kGrace},
        {0, {"eof", "TERM", "KILL"}, kGrace + kReapLimit}};
    for (const auto& [endsOn, events, doneAfter] : rows) {
        SCOPED_TRACE(endsOn);
        Supervised s(endsOn);
        ServerProcess server(s.config());
        server.start();
        ASSERT_TRUE(server.hasChild() && server.state()->isStarting()) << server.state()->message();
        bool done = false;
        server.stop([&] { done = true; });
        EXPECT_TRUE(server.state()->isIdle() && !server.hasChild());
        s.clock.advance(doneAfter - 1ms);
        StudioLock other;
        EXPECT_TRUE(!done && other.acquire(s.resources.stateDir()) == StudioLock::Outcome::HeldElsewhere);
        s.clock.advance(1ms);
        EXPECT_TRUE(done && other.acquire(s.resources.stateDir()) == StudioLock::Outcome::Held);
        EXPECT_EQ(s.children[0]->events, events);
    }
}

// Restarts while one waits for its grace join it. A stop, or the application's quit, in that grace cancels the start:
// no launch, no rotation, and only once the old child is gone is the stop done. A launch during the quit calls the
// quit off: one new child once the old one is gone.
TEST(ServerStop, AStopOrQuitDuringARestartsGraceStartsNothingUnlessTheQuitIsCalledOff)
{
    enum Mode { Stop, Quit, QuitCalledOff };
    for (Mode mode : {Stop, Quit, QuitCalledOff}) {
        SCOPED_TRACE(mode);
        Supervised s(SIGKILL);
        auto server = std::make_shared<ServerProcess>(s.config());
        AppDelegate delegate;
        delegate.windowAppeared(server);
        Recorder seen(*server);
        for (int i = 0; i < 5; ++i, s.clock.advance(kGrace / 20))
            server->restart();
        bool done = false;
        mode == Stop ? server->stop([&] { done = true; }) : delegate.requestQuit([&] { done = true; });
        EXPECT_EQ(mode == QuitCalledOff && delegate.resumeFromQuit(), mode == QuitCalledOff);
        s.clock.advance(kGrace - 5 * (kGrace / 20) - 1ms);
        EXPECT_TRUE(!done && s.children.size() == 1u) << "the old child is still within its grace";
        s.clock.advance(1ms);
        const bool calledOff = mode == QuitCalledOff;
        EXPECT_EQ(s.children[0]->events, (Args{"eof", "TERM", "KILL"}));
        EXPECT_TRUE(done != calledOff && s.children.size() == (calledOff ? 2u : 1u));
        using S = ServerState;
        EXPECT_EQ(seen.states, (calledOff ? std::vector{S::idle(), S::starting()} : std::vector{S::idle()}));
        EXPECT_EQ(fs::exists(s.resources.stateDir() + "/logs/server.previous.log"), calledOff);
    }
}

// The probe gives up at its limit and the child is kept, until it ends by itself (the give-up stays what the user
// reads) or is stopped. A stop before the limit ends the probe for good.
TEST(ServerProbe, GivesUpAtItsLimitUnlessStoppedBefore)
{
    for (bool stoppedFirst : {false, true}) {
        SCOPED_TRACE(stoppedFirst);
        Supervised s;
        auto config = s.config();
        config.timing.probe.limit = 100ms;  // passed at the first pause's end
        ServerProcess server(config);
        Recorder seen(server);
        server.start();
        ASSERT_TRUE(runUntil([&] { return s.clock.waiting() > 0; }, 5s)) << "the first attempt is refused";
        if (stoppedFirst)
            server.stop();
        s.clock.advance(config.timing.probe.limit + config.timing.probe.pause);
        using S = ServerState;
        const auto noAnswer = S::failed("The studio server did not answer within 0.1 s. See the server log.");
        EXPECT_EQ(seen.states, (std::vector{S::starting(), stoppedFirst ? S::idle() : noAnswer}));
        if (stoppedFirst)
            continue;
        server.start();
        EXPECT_TRUE(server.hasChild() && s.children.size() == 1u) << "it still runs, so a start does nothing";
        s.children[0]->end({0, false});
        EXPECT_TRUE(!server.hasChild() && seen.states.size() == 2u) << "no new message";
    }
}

// The debug log keeps the shell's decisions in memory, the newest 500 lines, for the diagnostics zip, which masks the
// home folder there as in the logs.
TEST(DebugLog, NamesTheChosenPortAndThePhasesAndGoesIntoTheDiagnosticsMasked)
{
    DebugLog::install();
    for (int i = 0; i < 600; ++i)
        g_debug("filler %d", i);
    EXPECT_TRUE(DebugLog::recent().size() == DebugLog::kLines && DebugLog::recent().front().ends_with(" DEBUG filler 100"));
    Supervised s;
    {
        ServerProcess server(s.config());
        server.start();
        server.stop();
        s.clock.advance(kGrace);
    }
    const auto lines = DebugLog::recent();
    const std::string port = std::to_string(kTestPreferred);
    for (const std::string& told : {"DEBUG port: " + port + " is free: taking it", std::string("DEBUG server: Stopped -> Starting"),
                                   "server: launched pid 900001 for port " + port, std::string("server: Stopping -> Stopped")})
        EXPECT_TRUE(std::ranges::any_of(lines, [&](auto& line) { return line.find(told) != std::string::npos; })) << told;

    DiagnosticsReport report;
    report.homes = {s.resources.stateDir()}, report.debugLog = lines;
    const auto zip = report.build();
    const auto entry = std::ranges::find(zip, std::string("debug.log"), &ZipEntry::first);
    ASSERT_NE(entry, zip.end());
    EXPECT_NE(entry->second.find("lock: ~/quillbay.lock taken\n"), std::string::npos);
}
