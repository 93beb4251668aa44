// The desktop service against default applications that record (FakeDesktop) and against none.

#include "tests/support/FakeDesktop.hpp"

#include "support/DesktopService.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

using testing::runUntil;

struct Folder {
    testing::TempDir root{"quillbay-service"};
    std::string path = root.path();
    std::string file = root / "session.txt";
    Folder() { testing::writeFile(file, "take one\n"); }
};

// Reveal answers once, from the main loop.
DesktopFailure revealed(const std::string& path)
{
    std::optional<DesktopFailure> answer;
    DesktopService::reveal(path, [&](DesktopFailure failure) { answer = std::move(failure); });
    EXPECT_FALSE(answer.has_value()) << "answered before the main loop ran";
    EXPECT_TRUE(runUntil([&] { return answer.has_value(); }));
    return answer.value_or(std::string("no answer"));
}

TEST(DesktopService, OpensRevealsAndHandsOffThroughTheDefaultApplications)
{
    testing::FakeDesktop desktop;
    Folder folder;
    EXPECT_EQ(DesktopService::openPath(folder.file), std::nullopt);
    EXPECT_EQ(DesktopService::handOff("http://example.org/take?1"), std::nullopt);
    EXPECT_EQ(revealed(folder.file), std::nullopt);  // no file manager: the folder itself opens, and counts as shown
    EXPECT_EQ(revealed(folder.path), std::nullopt);
    const std::vector<std::string> expected{folder.file, "http://example.org/take?1", folder.path, folder.path};
    ASSERT_TRUE(runUntil([&] { return desktop.opened().size() == expected.size(); })) << desktop.opened().size();
    EXPECT_EQ(desktop.opened(), expected);
}

TEST(DesktopService, FailuresNameWhatFailed)
{
    testing::FakeDesktop desktop(false);
    Folder folder;
    const std::string holder = std::filesystem::path(folder.path).filename().string();
    const std::pair<DesktopFailure, std::string> cases[] = {
        {DesktopService::openPath(folder.file), "No application could open session.txt ("},
        {DesktopService::open(DesktopService::fileURI(folder.file)), "No application could open session.txt ("},
        {DesktopService::handOff("https://example.org/"), "No browser could open https://example.org/ ("},
        {DesktopService::handOff("mailto:ann@example.org"), "No application could open mailto:ann@example.org ("},
        {DesktopService::open(""), "No application could open  (nothing to open)"},
        {revealed(folder.file), "Could not show session.txt: no application could open the folder " + holder + " ("},
    };
    for (const auto& [failure, start] : cases)
        EXPECT_TRUE(failure && failure->starts_with(start)) << start << " | " << failure.value_or("opened");
}

} // namespace
} // namespace quillbay
