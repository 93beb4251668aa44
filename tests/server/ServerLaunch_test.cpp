#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillbay;
using namespace quillbay::testing;
namespace fs = std::filesystem;

TEST(ServerLaunch, FreshObjectIsIdleOnThePreferredPortAndStopsAtOnce)
{
    FakeResources resources({});
    ServerProcess server(resources.config(8765));
    Recorder seen(server);

    EXPECT_TRUE(server.state()->isIdle());
    EXPECT_EQ(server.port().get(), 8765);
    EXPECT_TRUE(server.logTail()->empty());
    EXPECT_EQ(server.baseURL(), "http://127.0.0.1:8765/");
    EXPECT_FALSE(server.hasChild());

    bool continued = false;
    server.stop([&] { continued = true; });
    EXPECT_TRUE(continued) << "with no child the continuation runs inside stop()";
    EXPECT_TRUE(seen.states.empty());
}

TEST(ServerLaunch, ReportsEachMissingPieceWithoutTouchingPortOrLogs)
{
    // The studio folder cannot be created: a file is in the way.
    {
        FakeResources resources({});
        std::ofstream(resources.scratch("blocker")) << "x";
        auto config = resources.config();
        config.stateDir = resources.scratch("blocker") + "/Quillbay";
        ServerProcess server(config);
        server.start();
        EXPECT_EQ(server.state().get(),
                  ServerState::failed("Cannot create " + config.stateDir + ": Not a directory"));
    }
    // The interpreter is there but cannot be executed; earlier logs stay as they were.
    {
        FakeResources resources({});
        fs::remove(resources.resourceDir() + "/python/bin/python3.12");
        std::ofstream(resources.resourceDir() + "/python/bin/python3.12") << "not a program";
        fs::create_directories(resources.stateDir() + "/logs");
        std::ofstream(resources.stateDir() + "/logs/server.log") << "earlier run\n";
        ServerProcess server(resources.config());
        Recorder seen(server);
        server.start();
        EXPECT_EQ(server.state().get(),
                  ServerState::failed("The bundled Python is missing at " + resources.resourceDir() +
                                      "/python/bin/python3.12. Run stage_payload.sh and rebuild."));
        EXPECT_EQ(seen.portWrites, 0);
        EXPECT_EQ(readFile(resources.stateDir() + "/logs/server.log"), "earlier run\n");
        EXPECT_FALSE(fs::exists(resources.stateDir() + "/logs/server.previous.log"));
    }
    // The server script is missing.
    {
        FakeResources resources({});
        fs::remove(resources.resourceDir() + "/shim/quillbay_server.py");
        ServerProcess server(resources.config());
        server.start();
        EXPECT_EQ(server.state().get(), ServerState::failed("The server shim is missing at " + resources.resourceDir() +
                                                            "/shim/quillbay_server.py."));
        EXPECT_FALSE(server.hasChild());
    }
}

TEST(ServerLaunch, AFailedLaunchIsReportedAndLeavesNoChildToStop)
{
    FakeResources resources({});
    std::string interpreter = resources.resourceDir() + "/python/bin/python3.12";
    fs::remove(interpreter);
    std::ofstream(interpreter) << "#!/nonexistent/interpreter\n";
    fs::permissions(interpreter, fs::perms::owner_all);

    ServerProcess server(resources.config());
    server.start();

    const auto& state = server.state().get();
    ASSERT_TRUE(state.isFailed());
    const std::string prefix = "Could not launch the server: ";
    EXPECT_EQ(state.message().rfind(prefix, 0), 0u) << state.message();
    EXPECT_GT(state.message().size(), prefix.size());
    EXPECT_FALSE(server.hasChild());

    bool continued = false;
    server.stop([&] { continued = true; });
    EXPECT_TRUE(continued);
    EXPECT_TRUE(server.state()->isFailed());
}

TEST(ServerLaunch, TheChildGetsItsOwnEnvironmentArgumentAndFolder)
{
    TempDir record;
    const std::string dump = record.path() + "/launch.json";
    FakeResources resources({}, "f = open('" + dump + "', 'w')\n"
                                "json.dump({'env': dict(os.environ), 'argv': sys.argv, 'cwd': os.getcwd()}, f)\n"
                                "f.close()");
    const std::string shellPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    setenv("STUDIO_HUB", "", 1);
    unsetenv("STUDIO_TAKES");
    setenv("PATH", "/opt/shell/bin:/usr/bin:/bin", 1);
    setenv("HOME", "/tmp/not-the-home", 1);
    setenv("LANG", "C", 1);
    setenv("SHELL_ONLY_SECRET", "1", 1);

    ServerProcess server(resources.config());
    server.start();
    ASSERT_TRUE(runUntil([&] { return server.state()->isReady(); }, 5s)) << server.state()->message();
    auto launch = nlohmann::json::parse(readFile(dump));

    const std::string R = resources.resourceDir();
    nlohmann::json expected = {
        {"PATH", R + "/python/bin:" + R + ":/usr/bin:/bin:/usr/sbin:/sbin"},
        {"HOME", std::string(::getpwuid(::getuid())->pw_dir)},
        {"STUDIO_PORT", std::to_string(kTestPreferred)},
        {"STUDIO_STATE", resources.stateDir()},
        {"QUILLBAY_BUNDLED", "1"},
        {"PYTHONNOUSERSITE", "1"},
        {"PYTHONDONTWRITEBYTECODE", "1"},
        {"PYTHONUNBUFFERED", "1"},
        {"LANG", "en_US.UTF-8"},
        {"STUDIO_HUB", ""},
    };
    // Python may add LC_CTYPE when coercing a C locale; nothing else may appear.
    launch["env"].erase("LC_CTYPE");
    EXPECT_EQ(launch["env"], expected);
    EXPECT_EQ(launch["argv"], nlohmann::json::array({R + "/shim/quillbay_server.py"}));
    EXPECT_EQ(launch["cwd"], resources.stateDir());

    struct stat folder {};
    ASSERT_EQ(::stat(resources.stateDir().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);

    // The pass-through variables are read again at every start.
    setenv("STUDIO_TAKES", "/takes", 1);
    unsetenv("STUDIO_HUB");
    bool restarted = false;
    server.stop([&] { restarted = true; });
    ASSERT_TRUE(runUntil([&] { return restarted; }, 3s));
    server.start();
    ASSERT_TRUE(runUntil([&] { return server.state()->isReady(); }, 5s));
    launch = nlohmann::json::parse(readFile(dump));
    EXPECT_EQ(launch["env"].value("STUDIO_TAKES", "absent"), "/takes");
    EXPECT_FALSE(launch["env"].contains("STUDIO_HUB"));
    server.stop();
    setenv("PATH", shellPath.c_str(), 1);
}

TEST(ServerLaunch, RotatesTheLogSoTheLastStartStaysBesideTheCurrentOne)
{
    FakeResources resources({"--lines", "3"});
    ServerProcess server(resources.config());
    server.start();
    ASSERT_TRUE(runUntil([&] { return server.state()->isReady(); }, 5s));
    auto firstPid = fakePidFromTail(server.logTail().get());
    ASSERT_TRUE(firstPid);
    bool stopped = false;
    server.stop([&] { stopped = true; });
    ASSERT_TRUE(runUntil([&] { return stopped; }, 3s));

    Recorder seen(server);
    server.start();
    ASSERT_FALSE(seen.tailSizes.empty());
    EXPECT_EQ(seen.tailSizes.front(), 0u) << "the tail is emptied before any new line";
    ASSERT_TRUE(runUntil([&] { return server.state()->isReady(); }, 5s));

    const std::string logs = resources.stateDir() + "/logs/";
    std::string previous = readFile(logs + "server.previous.log");
    std::string current = readFile(logs + "server.log");
    EXPECT_NE(previous.find("fake studio server pid=" + std::to_string(*firstPid) + " "), std::string::npos);
    EXPECT_NE(previous.find("line 3\n"), std::string::npos);
    EXPECT_EQ(current.find("pid=" + std::to_string(*firstPid) + " "), std::string::npos);
    EXPECT_NE(current.find("line 3\n"), std::string::npos);
    server.stop();
}
