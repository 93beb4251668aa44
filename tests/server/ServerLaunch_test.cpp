#include "ServerTestSupport.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <pwd.h>
#include <sys/stat.h>

using namespace quillbay;
using namespace quillbay::testing;

TEST(ServerLaunch, ReportsEachMissingPieceAndLeavesNoChildToStop)
{
    const std::string python = "/python/bin/python3.12";
    // Each breaks one piece and returns the message (or, ending in ": ", its beginning).
    using Breaker = std::function<std::string(FakeResources&, ServerProcess::Config&)>;
    const std::vector<Breaker> cases = {
        [](FakeResources& r, ServerProcess::Config& c) {
            std::ofstream(r.scratch("blocker")) << "x";
            c.stateDir = r.scratch("blocker") + "/Quillbay";
            return "Cannot create " + c.stateDir + ": Not a directory";
        },
        [&](FakeResources& r, ServerProcess::Config&) {
            fs::remove(r.resourceDir() + python);
            std::ofstream(r.resourceDir() + python) << "not a program";
            return "The bundled Python is missing at " + r.resourceDir() + python + ". Run stage_payload.sh and rebuild.";
        },
        [](FakeResources& r, ServerProcess::Config&) {
            fs::remove(r.resourceDir() + "/shim/quillbay_server.py");
            return "The server shim is missing at " + r.resourceDir() + "/shim/quillbay_server.py.";
        },
        [&](FakeResources& r, ServerProcess::Config&) {  // runnable, but its interpreter is not there
            fs::remove(r.resourceDir() + python);
            std::ofstream(r.resourceDir() + python) << "#!/nonexistent/interpreter\n";
            fs::permissions(r.resourceDir() + python, fs::perms::owner_all);
            return std::string("Could not launch the server: ");
        },
    };
    for (const auto& breakIt : cases) {
        FakeResources resources({});
        fs::create_directories(resources.stateDir() + "/logs");
        std::ofstream(resources.stateDir() + "/logs/server.log") << "earlier run\n";
        auto config = resources.config();
        const std::string message = breakIt(resources, config);
        SCOPED_TRACE(message);
        ServerProcess server(config);
        Recorder seen(server);
        server.start();

        const std::string& shown = server.state()->message();
        EXPECT_TRUE(server.state()->isFailed());
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
        EXPECT_TRUE(server.state()->isFailed());
    }
}

TEST(ServerLaunch, EachStartGetsAFreshEnvironmentAndARotatedLog)
{
    TempDir record;
    const std::string dump = record.path + "/launch.json";
    FakeResources resources({"--lines", "3"}, "json.dump({'env': dict(os.environ), 'argv': sys.argv, 'cwd': os.getcwd()}, "
                                              "open('" + dump + "', 'w'))");
    const std::string shellPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    setenv("STUDIO_HUB", "", 1);
    unsetenv("STUDIO_TAKES");
    setenv("PATH", "/opt/shell/bin:/usr/bin:/bin", 1);
    setenv("HOME", "/tmp/not-the-home", 1);
    setenv("LANG", "C", 1);
    setenv("SHELL_ONLY_SECRET", "1", 1);

    ServerProcess server(resources.config());
    server.start();
    ASSERT_TRUE(waitReady(server)) << server.state()->message();
    setenv("PATH", shellPath.c_str(), 1);
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
    launch["env"].erase("LC_CTYPE");  // Python may add it when coercing a C locale
    EXPECT_EQ(launch["env"], expected);
    EXPECT_EQ(launch["argv"], nlohmann::json::array({R + "/shim/quillbay_server.py"}));
    EXPECT_EQ(launch["cwd"], resources.stateDir());
    struct stat folder {};
    ASSERT_EQ(::stat(resources.stateDir().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    pid_t first = fakePid(server.logTail().get());

    // The pass-through variables are read again at every start; the log of the last start stays beside.
    setenv("STUDIO_TAKES", "/takes", 1);
    unsetenv("STUDIO_HUB");
    bool stopped = false;
    server.stop([&] { stopped = true; });
    ASSERT_TRUE(runUntil([&] { return stopped; }, 3s));
    server.start();
    ASSERT_TRUE(waitReady(server));
    EXPECT_NE(fakePid(server.logTail().get()), first) << "the tail starts afresh";
    launch = nlohmann::json::parse(readFile(dump));
    EXPECT_EQ(launch["env"].value("STUDIO_TAKES", "absent"), "/takes");
    EXPECT_FALSE(launch["env"].contains("STUDIO_HUB"));

    const std::string previous = readFile(resources.stateDir() + "/logs/server.previous.log");
    const std::string current = readFile(server.serverLogPath());
    const std::string firstLine = "fake studio server pid=" + std::to_string(first) + " ";
    EXPECT_TRUE(previous.starts_with(firstLine) && previous.find("line 3\n") != std::string::npos) << previous;
    EXPECT_TRUE(!current.starts_with(firstLine) && current.find("line 3\n") != std::string::npos) << current;
    server.stop();
}
