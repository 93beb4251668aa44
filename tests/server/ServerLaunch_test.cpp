#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <pwd.h>
#include <sys/stat.h>

using namespace quillbay;
using namespace quillbay::testing;

namespace {

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
            return "The bundled Python is missing at " + replacePython(r, "not a program") +
                   ". Run stage_payload.sh and rebuild.";
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
        EXPECT_TRUE(server.state()->isFailed()) << message;
        if (message.ends_with(": ")) {
            EXPECT_TRUE(shown.starts_with(message) && shown.size() > message.size()) << shown;
        } else {
            EXPECT_EQ(shown, message);
            EXPECT_EQ(seen.portWrites, 0) << "checked before the port is chosen";
            EXPECT_EQ(readFile(resources.stateDir() + "/logs/server.log"), "earlier run\n");
        }
        EXPECT_FALSE(server.hasChild());
        bool continued = false;
        server.stop([&] { continued = true; });
        EXPECT_TRUE(continued) << "with no child the continuation runs inside stop()";
    }
}

TEST(ServerLaunch, EachStartGetsAFreshEnvironmentAndARotatedLog)
{
    FakeResources resources({"--lines", "3"}, "json.dump({'env': dict(os.environ), 'argv': sys.argv, 'cwd': os.getcwd()}, "
                                              "open(os.environ['STUDIO_STATE'] + '/launch.json', 'w'))");
    const std::string shellPath = std::getenv("PATH"), R = resources.resourceDir(), S = resources.stateDir();
    for (auto [name, value] : {std::pair{"STUDIO_HUB", ""}, {"PATH", "/opt/shell/bin:/usr/bin:/bin"},
                               {"HOME", "/tmp/not-the-home"}, {"LANG", "C"}, {"SHELL_ONLY_SECRET", "1"}})
        setenv(name, value, 1);
    unsetenv("STUDIO_TAKES");

    ServerProcess server(resources.config());
    server.start();
    ASSERT_TRUE(waitReady(server)) << server.state()->message();
    setenv("PATH", shellPath.c_str(), 1);
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
    struct stat folder {};
    EXPECT_TRUE(::stat(S.c_str(), &folder) == 0 && (folder.st_mode & 0777) == 0700);
    pid_t first = fakePid(server.logTail().get());

    // The pass-through variables are read again at every start; the log of the last start stays beside.
    setenv("STUDIO_TAKES", "/takes", 1);
    unsetenv("STUDIO_HUB");
    bool stopped = false;
    server.stop([&] { stopped = true; });
    ASSERT_TRUE(runUntil([&] { return stopped; }, 3s));
    server.start();
    ASSERT_TRUE(waitReady(server));
    pid_t second = fakePid(server.logTail().get());
    EXPECT_NE(second, first) << "the tail starts afresh";
    launch = nlohmann::json::parse(readFile(S + "/launch.json"));
    EXPECT_EQ(launch["env"].value("STUDIO_TAKES", "absent"), "/takes");
    EXPECT_FALSE(launch["env"].contains("STUDIO_HUB"));

    const std::string previous = readFile(S + "/logs/server.previous.log"), current = readFile(server.serverLogPath());
    EXPECT_EQ(fakePid(Args{previous}), first);
    EXPECT_EQ(fakePid(Args{current}), second);
    EXPECT_TRUE(previous.find("line 3\n") != std::string::npos && current.find("line 3\n") != std::string::npos) << previous;
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
        for (const auto& line : tail)
            if (line.starts_with("stranger pid="))
                ::kill(std::atoi(line.c_str() + 13), SIGKILL);
        const std::string chosenAgain =
            "warning: port " + std::to_string(kTestPreferred) + " was taken by another program while the server started";
        EXPECT_EQ(std::count_if(tail.begin(), tail.end(), [&](auto& line) { return line.starts_with(chosenAgain); }), 1)
            << ::testing::PrintToString(tail);
        EXPECT_EQ(server.port().get(), kTestPreferred + 1) << ::testing::PrintToString(tail);
        if (losses == 1) {
            EXPECT_TRUE(server.state()->isReady()) << server.state()->message();
            EXPECT_NE(readFile(server.serverLogPath()).find("cannot listen: [Errno 98] Address already in use"), std::string::npos)
                << "the first attempt's output stays in the log";
            server.stop();
        } else {
            EXPECT_EQ(server.state()->message(), "The studio server exited during startup (exit 1).");
        }
    }
}
