// The desktop service against real default applications (a recorder) and
// against a desktop with none, without a file manager on the bus.

#include "FakeDesktop.hpp"

#include "support/DesktopService.hpp"

#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace quillbay {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

template <typename Done>
bool turnUntil(Done done, std::chrono::milliseconds limit = 5000ms)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end)
        if (!g_main_context_iteration(nullptr, FALSE))
            g_usleep(5000);
    return done();
}

struct Folder {
    fs::path path = fs::temp_directory_path() / ("quillbay-service-" + std::to_string(getpid()));
    fs::path file = path / "session.txt";
    Folder()
    {
        fs::create_directories(path);
        std::ofstream(file) << "take one\n";
    }
    ~Folder() { fs::remove_all(path); }
};

// Reveal answers once, from the main loop.
DesktopFailure revealed(const std::string& path)
{
    std::optional<DesktopFailure> answer;
    DesktopService::reveal(path, [&](DesktopFailure failure) { answer = std::move(failure); });
    EXPECT_FALSE(answer.has_value()) << "answered before the main loop ran";
    EXPECT_TRUE(turnUntil([&] { return answer.has_value(); }));
    return answer.value_or(std::string("no answer"));
}

TEST(DesktopService, OpensRevealsAndHandsOffThroughTheDefaultApplications)
{
    testing::FakeDesktop desktop;
    Folder folder;
    EXPECT_EQ(DesktopService::openPath(folder.file.string()), std::nullopt);
    EXPECT_EQ(DesktopService::handOff("http://example.org/take?1"), std::nullopt);
    // No file manager: the folder itself opens, and that counts as shown.
    EXPECT_EQ(revealed(folder.file.string()), std::nullopt);
    EXPECT_EQ(revealed(folder.path.string()), std::nullopt);

    const std::vector<std::string> expected{folder.file.string(), "http://example.org/take?1", folder.path.string(),
                                            folder.path.string()};
    ASSERT_TRUE(turnUntil([&] { return desktop.opened().size() == expected.size(); })) << desktop.opened().size();
    EXPECT_EQ(desktop.opened(), expected);
}

TEST(DesktopService, FailuresNameWhatFailed)
{
    testing::FakeDesktop desktop(false);
    Folder folder;
    const std::string holder = folder.path.filename().string();
    struct Case {
        DesktopFailure failure;
        std::string start;
    } cases[] = {
        {DesktopService::openPath(folder.file.string()), "No application could open session.txt ("},
        {DesktopService::open(DesktopService::fileURI(folder.file.string())), "No application could open session.txt ("},
        {DesktopService::handOff("https://example.org/"), "No browser could open https://example.org/ ("},
        {DesktopService::handOff("mailto:ann@example.org"), "No application could open mailto:ann@example.org ("},
        {DesktopService::open(""), "No application could open  (nothing to open)"},
        {revealed(folder.file.string()), "Could not show session.txt: no application could open the folder " + holder + " ("},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.failure) << c.start;
        EXPECT_EQ(c.failure->rfind(c.start, 0), 0u) << *c.failure;
    }
}

} // namespace
} // namespace quillbay
