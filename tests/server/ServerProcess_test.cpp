#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <array>
#include <list>

namespace quillbay {

inline void PrintTo(const ServerState& state, std::ostream* out)
{
    *out << std::array{"idle", "starting", "ready", "failed"}[static_cast<int>(state.kind())] << ' ' << state.message();
}

} // namespace quillbay

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::literals;

namespace {

bool waitReady(const ServerProcess& server) { return runUntil([&] { return server.state()->isReady(); }, 12s); }

long countStarting(const ServerProcess::LogTail& tail, const std::string& prefix)
{
    return std::count_if(tail.begin(), tail.end(), [&](const std::string& line) { return line.starts_with(prefix); });
}

// Kills the helpers the fake names ("stranger pid=N", "grandchild pid=N") and waits until each is gone or a
// zombie, so the ports they held are free for what follows.
void killListed(const ServerProcess::LogTail& lines)
{
    for (const auto& line : lines)
        for (const std::string marker : {"stranger pid=", "grandchild pid="})
            if (line.starts_with(marker)) {
                const pid_t pid = std::atoi(line.c_str() + marker.size());
                ::kill(pid, SIGKILL);
                runUntil([pid] {
                    const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
                    const auto end = stat.rfind(')');
                    return end == std::string::npos || stat.compare(end, 3, ") Z") == 0;
                }, 5s);
            }
}

std::string replacePython(FakeResources& r, const std::string& text)
{
    const std::string path = r.resourceDir() + "/python/bin/python3.12";
    fs::remove(path);  // a symlink to the host's python: never write through it
    std::ofstream(path) << text;
    return path;
}

} // namespace

TEST(ServerLaunch, ReportsEachMissingPieceAndLeavesNoChildToStop)
{
    // Each breaks one piece and returns the message (or, ending in ": ", its beginning).
    const std::vector<std::function<std::string(FakeResources&, ServerProcess::Config&)>> cases = {
        [](auto& r, auto& c) {
            std::ofstream(r.scratch("blocker")) << "x";
            c.stateDir = r.scratch("blocker") + "/Quillbay";
            return "Cannot create " + c.stateDir + ": Not a directory";
        },
        [](auto& r, auto&) {
            return "The bundled Python is missing at " + replacePython(r, "not a program") + ". Run stage_payload.sh and rebuild.";
        },
        [](auto& r, auto&) {
            fs::remove(r.resourceDir() + "/shim/quillbay_server.py");
            return "The server shim is missing at " + r.resourceDir() + "/shim/quillbay_server.py.";
        },
        [](auto& r, auto&) {  // runnable, but its interpreter is not there
            fs::permissions(replacePython(r, "#!/nonexistent/interpreter\n"), fs::perms::owner_all);
            return std::string("Could not launch the server: ");
        },
    };
    for (const auto& breakIt : cases) {
        FakeResources resources({});
        fs::create_directories(resources.stateDir() + "/logs");
        std::ofstream(resources.stateDir() + "/logs/server.log") << "earlier run\n";
        auto config = resources.config();
        const std::string message = breakIt(resources, config);
        ServerProcess server(config);
        Recorder seen(server);
        server.start();
        const std::string& shown = server.state()->message();
        EXPECT_TRUE(server.state()->isFailed() && !server.hasChild()) << message;
        if (message.ends_with(": "))
            EXPECT_TRUE(shown.starts_with(message) && shown.size() > message.size()) << shown;
        else  // checked before the port is chosen and the log rotated
            EXPECT_TRUE(shown == message && seen.portWrites == 0 &&
                        readFile(resources.stateDir() + "/logs/server.log") == "earlier run\n") << shown;
        bool continued = false;
        server.stop([&] { continued = true; });
        EXPECT_TRUE(continued) << "with no child the continuation runs inside stop()";
    }
}

// Nothing of the shell's environment leaks in but the pass-through variables, read again at every start.
TEST(ServerLaunch, EachStartGetsAFreshEnvironment)
{
    FakeResources resources({}, "json.dump({'env': dict(os.environ), 'argv': sys.argv, 'cwd': os.getcwd()}, "
                                "open(os.environ['STUDIO_STATE'] + '/launch.json', 'w'))");
    const std::string R = resources.resourceDir(), S = resources.stateDir();
    for (auto [name, value] : {std::pair{"STUDIO_HUB", ""}, {"PATH", "/opt/shell/bin:/usr/bin:/bin"},
                               {"HOME", "/tmp/not-the-home"}, {"LANG", "C"}, {"SHELL_ONLY_SECRET", "1"}})
        setenv(name, value, 1);
    unsetenv("STUDIO_TAKES");
    ServerProcess server(resources.config());
    server.start();
    ASSERT_TRUE(waitReady(server)) << server.state()->message();
    auto launch = nlohmann::json::parse(readFile(S + "/launch.json"));
    const nlohmann::json expected = {
        {"PATH", R + "/python/bin:" + R + ":/usr/bin:/bin:/usr/sbin:/sbin"},
        {"HOME", std::string(::getpwuid(::getuid())->pw_dir)},
        {"STUDIO_PORT", std::to_string(kTestPreferred)}, {"STUDIO_STATE", S}, {"QUILLBAY_BUNDLED", "1"},
        {"PYTHONNOUSERSITE", "1"}, {"PYTHONDONTWRITEBYTECODE", "1"}, {"PYTHONUNBUFFERED", "1"},
        {"LANG", "en_US.UTF-8"}, {"STUDIO_HUB", ""},
    };
    launch["env"].erase("LC_CTYPE");  // Python may add it when coercing a C locale
    EXPECT_EQ(launch["env"], expected);
    EXPECT_EQ(launch["argv"], nlohmann::json::array({R + "/shim/quillbay_server.py"}));
    EXPECT_EQ(launch["cwd"], S);
    EXPECT_EQ(fs::status(S).permissions(), fs::perms::owner_all);

    setenv("STUDIO_TAKES", "/takes", 1);
    unsetenv("STUDIO_HUB");
    server.restart();
    ASSERT_TRUE(waitReady(server));
    launch = nlohmann::json::parse(readFile(S + "/launch.json"));
    EXPECT_EQ(launch["env"].value("STUDIO_TAKES", "absent"), "/takes");
    EXPECT_FALSE(launch["env"].contains("STUDIO_HUB"));
    EXPECT_EQ(countStarting(server.logTail().get(), "fake studio server pid="), 1) << "a start clears the tail";
    server.stop();
}

// Another program may take the chosen port before the server listens (two shells starting
// together): the start chooses again, once, in the same log. A second loss fails the start.
TEST(ServerLaunch, APortTakenBeforeTheServerListensIsChosenAgainOnce)
{
    for (int losses : {1, 2}) {
        SCOPED_TRACE(losses);
        TempDir scratch;
        std::ofstream(scratch / "counter") << losses;
        FakeResources resources({"--lose-port", scratch / "counter"});
        ServerProcess server(resources.config());
        server.start();
        ASSERT_TRUE(runUntil([&] { return !server.state()->isStarting(); }, 20s));
        const auto tail = server.logTail().get();
        killListed(tail);
        EXPECT_EQ(countStarting(tail, "warning: port " + std::to_string(kTestPreferred) +
                                          " was taken by another program while the server started"), 1)
            << ::testing::PrintToString(tail);
        EXPECT_EQ(server.port().get(), kTestPreferred + 1);
        if (losses == 2) {
            EXPECT_EQ(server.state()->message(), "The studio server exited during startup (exit 1).");
            continue;
        }
        EXPECT_TRUE(server.state()->isReady()) << server.state()->message();
        EXPECT_NE(readFile(server.serverLogPath()).find("cannot listen: [Errno 98] Address already in use"), std::string::npos)
            << "the first attempt's output stays in the log";
        server.stop();
    }
}

// The log is never written through a link or into anything but a regular file of ours with one name; a rotation
// that fails keeps the last generation and appends to it. Each starts the server and says once what became of the log.
TEST(ServerLog, NeverWritesThroughALinkAndKeepsTheLogWhenRotationFails)
{
    using Arrange = void (*)(const std::string& log, const std::string& victim);
    const Arrange symlink = [](auto& log, auto& victim) { fs::create_symlink(victim, log); };
    const std::string notWritten = "warning: the server log ", fresh = "fake studio server pid=";
    // arrange, server.previous.log is a full folder, the one warning's start (or none), how server.log starts
    const std::vector<std::tuple<Arrange, bool, std::string, std::string>> cases = {
        {symlink, true, notWritten, ""},
        {symlink, false, "", fresh},  // rotation moves the link away
        {[](auto& log, auto& victim) { fs::create_hard_link(victim, log); }, true, notWritten, ""},
        {[](auto& log, auto&) { ::mkfifo(log.c_str(), 0600); }, true, notWritten, ""},  // must not block the start
        {[](auto& log, auto&) { std::ofstream(log) << "earlier run\n"; }, true,
         "warning: the server log could not be rotated (", "earlier run\n" + fresh},
    };
    long long port = kTestPreferred + 20;
    for (const auto& [arrange, previousBlocked, notice, logStarts] : cases) {
        SCOPED_TRACE(port);
        port += 11;  // a port of its own for each row, so no row can meet the one before it
        FakeResources resources({});
        const std::string logs = resources.stateDir() + "/logs", victim = resources.scratch("victim.txt");
        fs::create_directories(logs);
        std::ofstream(victim) << "precious\n";
        if (previousBlocked)
            fs::create_directories(logs + "/server.previous.log/kept");
        arrange(logs + "/server.log", victim);

        ServerProcess server(resources.config(port));
        server.start();
        ASSERT_TRUE(waitReady(server)) << server.state()->message();
        const auto& tail = server.logTail().get();
        EXPECT_EQ(countStarting(tail, notWritten), notice.empty() ? 0 : 1) << ::testing::PrintToString(tail);
        EXPECT_TRUE(notice.empty() || countStarting(tail, notice) == 1) << ::testing::PrintToString(tail);
        EXPECT_EQ(readFile(victim), "precious\n");
        // Only read when a start is given: otherwise it may be a FIFO.
        EXPECT_TRUE(logStarts.empty() || readFile(server.serverLogPath()).starts_with(logStarts)) << logStarts;
        EXPECT_TRUE(!previousBlocked || fs::exists(logs + "/server.previous.log/kept"));
        server.stop();
    }
}

// A log that stops taking bytes (over the file size limit, as on a full disk) is said once in the tail; the server
// keeps running and its output keeps reaching the tail.
TEST(ServerLog, AFailingWriteIsToldOnceAndTheServerRunsOn)
{
    FakeResources resources({"--lines", "100"});
    ServerProcess server(resources.config());
    rlimit saved{}, small{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    small = {400, saved.rlim_max};  // over it, a write raises SIGXFSZ, which must not end this process
    ::setrlimit(RLIMIT_FSIZE, &small);
    server.start();
    bool ready = waitReady(server);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ASSERT_TRUE(ready) << server.state()->message();
    const auto& tail = server.logTail().get();
    EXPECT_EQ(countStarting(tail, "warning: the server log " + server.serverLogPath() +
                                      " is not being written (File too large). The server keeps running"), 1)
        << ::testing::PrintToString(tail);
    EXPECT_EQ(countStarting(tail, "line 100"), 1);
    EXPECT_LE(fs::file_size(server.serverLogPath()), 400u);
    server.stop();
}

// One supervisor per studio folder (without a session bus, two shells may run; quillbay-supervise may run beside
// the app). A second one says so and touches neither the first's server nor its log. The lock goes with its holder:
// at once when that is killed; a restart keeps it. (Only once a stopped server has been reaped: Supervisor_test.)
TEST(ServerLock, ASecondSupervisorOfTheStudioFolderLeavesItAlone)
{
    FakeResources resources({});
    const std::string data = resources.scratch("data"), S = data + "/Quillbay", log = S + "/logs/server.log";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    TestProcess tool({QUILLBAY_BIN_DIR "/quillbay-supervise", "--resources", resources.resourceDir()});
    ASSERT_EQ(tool.readUntil("state ready", 10s).back(), "state ready");
    auto config = resources.config();
    config.stateDir = S;
    ServerProcess second(config);
    const std::string logBefore = readFile(log), refusal = "Another Quillbay is using the studio folder " + S + ".";
    second.start();
    EXPECT_EQ(second.state()->message(), refusal);
    EXPECT_TRUE(readFile(log) == logBefore && !fs::exists(S + "/logs/server.previous.log")) << "the first one's log";

    ::kill(tool.pid(), SIGKILL);
    ASSERT_TRUE(tool.waitForExit(5s));
    second.start();
    ASSERT_TRUE(waitReady(second)) << second.state()->message();
    second.restart();
    ASSERT_TRUE(waitReady(second)) << second.state()->message();
    second.stop();
}

// Every byte reaches the log, readable lines the tail. The pipe is read to its end before an exit is handled (the
// tail keeps the newest lines), the exit is handled even while a grandchild holds the pipe, and it ends the probe.
TEST(ServerOutput, AnExitNamesItsCodeOrSignalAfterEveryByteIsRead)
{
    using Check = std::function<void(const ServerProcess&, const ServerProcess::LogTail&, const Args&)>;
    const std::string exit0 = "The studio server exited during startup (exit 0).";
    const std::vector<std::tuple<Args, std::string, Check>> cases = {
        {{"--tricky-output"}, exit0, [](auto& server, auto& tail, auto&) {
             const ServerProcess::LogTail expected = {
                 "fake studio server pid=" + std::to_string(fakePid(tail)) + " port=" + std::to_string(kTestPreferred),
                 "abcdef", "second line", "caf\xC3\xA9 \xC3\xA9 done", "bad \xEF\xBF\xBD \\u0000",
                 "\\u202Eevil\\u001B[0m\tok\\u000D\\u007F \\u0085\\u200B\\u2028\\U000E0041 \xF0\x9F\x8E\xB9",
                 "no line feed, a cut character \xEF\xBF\xBD\xEF\xBF\xBD"};
             EXPECT_EQ(tail, expected);
             EXPECT_TRUE(readFile(server.serverLogPath()).ends_with(
                 "abcdef\nsecond line\ncaf\xC3\xA9 \xC3\xA9 done\n\n\n\nbad \xFF \0\n\xE2\x80\xAE"
                 "evil\x1B[0m\tok\r\x7F \xC2\x85\xE2\x80\x8B\xE2\x80\xA8\xF3\xA0\x81\x81 \xF0\x9F\x8E\xB9\n"
                 "no line feed, a cut character \xE2\x82"sv))
                 << "the log holds the raw bytes, nothing added";
         }},
        // Past 64 MiB the log leaves the output out from a line's start and says so in one line; it is byte-exact
        // up to there, so smaller floods are whole. The tail follows to the flood's last line.
        {{"--flood", "80000000"}, exit0, [](auto& server, auto& tail, auto& told) {
             const std::string log = readFile(server.serverLogPath()), line = std::string(99, 'x') + "\n",
                               leftOut = "warning: the server log has reached its limit of 64 MiB; the server's "
                                         "further output is left out of it from here.\n";
             ASSERT_TRUE(log.ends_with(leftOut) && log.size() <= 64u << 20 && log.size() > (64u << 20) - 400) << log.size();
             for (std::size_t at = 0; at < log.size() - leftOut.size(); at += line.size())
                 ASSERT_EQ(log.compare(at, line.size(), line), 0) << "at byte " << at;
             EXPECT_EQ(tail.back(), std::string(99, 'y'));
             EXPECT_EQ(server.logLineCount(), 800000u + told.size()) << "lines left out of the tail are counted";
             EXPECT_EQ(told, Args{"warning: the server log " + server.serverLogPath() + " has reached its limit of 64 MiB. "
                                  "The server keeps running; its further output is shown here only."});
         }},
        {{"--crash-at-start"}, "The studio server exited during startup (exit 3).", [](auto& server, auto& tail, auto&) {
             EXPECT_TRUE(tail.size() == 200u && tail.front() == "warming up 2803" &&
                         tail.back() == "RuntimeError: the room is on fire") << "the newest 200 lines, oldest first";
             EXPECT_TRUE(readFile(server.serverLogPath()).ends_with("warming up 2999\nTraceback (most recent call last):\n"
                                                                    "  File \"quillbay_server.py\", line 1, in <module>\n"
                                                                    "RuntimeError: the room is on fire\n"));
             runFor(8500ms);  // past the probe's limit
             EXPECT_EQ(server.state()->message(), "The studio server exited during startup (exit 3).")
                 << "no probe outlived its child";
         }},
        {{"--leave-grandchild"}, "The studio server exited during startup (exit 5).", nullptr},
        {{"--end-when-ready", "4"}, "The studio server stopped (exit 4).", nullptr},
        {{"--end-when-ready", "-9"}, "The studio server stopped by signal 9 (Killed).", nullptr},
    };
    for (const auto& [args, message, check] : cases) {
        FakeResources resources(args);
        ServerProcess::Config config = resources.config();
        config.timing.probe.limit = 8s;  // a loaded machine may take seconds to start Python: the exit comes first
        ServerProcess server(config);
        ServerProcess::LogTail tail;  // as it was when the failure was published
        server.state().signalChanged().connect([&] { if (server.state()->isFailed()) tail = server.logTail().get(); });
        Args told;  // the tail's warnings, as they came
        server.logTail().signalChanged().connect([&] {
            if (auto& t = server.logTail().get(); !t.empty() && t.back().starts_with("warning: ")) told.push_back(t.back());
        });
        server.start();
        ASSERT_TRUE(runUntil([&] { return server.state()->isFailed(); }, 30s)) << message;
        EXPECT_TRUE(server.state()->message() == message && !server.hasChild()) << server.state()->message();
        killListed(tail);
        if (check)
            check(server, tail, told);
    }
}

// The probe waits quietly for a late server, past the desktop's proxy. (A restart or stop while it waits: Supervisor_test.)
TEST(ServerProbe, WaitsQuietlyForALateServer)
{
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        setenv(name, "http://127.0.0.1:9/", 1);  // must not catch requests to 127.0.0.1
    unsetenv("no_proxy"), unsetenv("NO_PROXY");
    FakeResources resources({"--delay", "1.2"});
    ServerProcess server(resources.config());
    Recorder seen(server);
    auto began = std::chrono::steady_clock::now();
    server.start();
    ASSERT_TRUE(runUntil([&] { return fakePid(server.logTail().get()) > 0; }, 8s) && server.state()->isStarting());
    ASSERT_TRUE(waitReady(server));
    EXPECT_TRUE(since(began) >= 1200ms && since(began) < 5s) << "ready soon after it listens";
    EXPECT_EQ(server.baseURL(), "http://127.0.0.1:" + std::to_string(kTestPreferred) + "/");
    const pid_t child = fakePid(server.logTail().get());

    const int portWrites = seen.portWrites;
    server.start();
    runFor(300ms);
    EXPECT_TRUE(seen.states.size() == 2u && seen.portWrites == portWrites) << "a start while ready does nothing";
    EXPECT_EQ(fakePid(server.logTail().get()), child) << "the same child keeps its tail";
    server.stop();
    using S = ServerState;
    EXPECT_EQ(seen.states, (std::vector{S::starting(), S::ready(), S::idle()}));
}

TEST(ServerProbe, GivesUpOnAnswersThatAreNotOursAndKeepsTheChild)
{
    // Another application, our name with the wrong status, an answer that never comes, and a correct answer
    // from a process outside the child's tree while the child never listens. All at once, on ports of their own.
    const std::vector<Args> cases = {{"--app", "Mixdown"}, {"--status", "503"}, {"--answer-delay", "60"},
                                     {"--stranger-listens"}};
    std::list<FakeResources> resources;
    std::vector<std::unique_ptr<ServerProcess>> servers;
    for (const auto& args : cases) {
        auto config = resources.emplace_back(args).config(kTestPreferred + 100 + 11 * static_cast<long long>(servers.size()));
        config.timing.probe.limit = 3s;
        servers.push_back(std::make_unique<ServerProcess>(config));
    }
    auto began = std::chrono::steady_clock::now();
    for (auto& server : servers)
        server->start();
    ASSERT_TRUE(runUntil([&] { return std::ranges::none_of(servers, [](auto& s) { return s->state()->isStarting(); }); }, 10s));
    EXPECT_TRUE(since(began) >= 3s && since(began) < 8s);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        ServerProcess& server = *servers[i];
        SCOPED_TRACE(cases[i][0]);
        EXPECT_EQ(server.state()->message(), "The studio server did not answer within 3 s. See the server log.");
        server.start();
        EXPECT_TRUE(server.hasChild() && server.state()->isFailed()) << "it still runs, so a start does nothing";
        server.stop();
        EXPECT_TRUE(server.state()->isIdle() && !server.hasChild());
        killListed(server.logTail().get());
    }
}
