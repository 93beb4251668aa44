// The desktop service without default applications.

#include "tests/support/FakeDesktop.hpp"

#include "support/DesktopService.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

using testing::runUntil;

// Reveal answers once, from the main loop.
DesktopFailure revealed(const std::string& path)
{
    std::optional<DesktopFailure> answer;
    DesktopService::reveal(path, [&](DesktopFailure failure) { answer = std::move(failure); });
    EXPECT_FALSE(answer.has_value()) << "answered before the main loop ran";
    EXPECT_TRUE(runUntil([&] { return answer.has_value(); }));
    return answer.value_or(std::string("no answer"));
}

// What opens through the recording applications is the window tests' (the log, the page, a saved file's folder).
TEST(DesktopService, FailuresNameWhatFailed)
{
    testing::FakeDesktop desktop(false);
    const testing::TempDir folder{"quillbay-service"};
    const std::string file = folder / "session.txt", holder = std::filesystem::path(folder.path()).filename().string();
    testing::writeFile(file, "take one\n");
    const std::pair<DesktopFailure, std::string> cases[] = {
        {DesktopService::openPath(file), "No application could open session.txt ("},
        {DesktopService::open(DesktopService::fileURI(file)), "No application could open session.txt ("},
        {DesktopService::handOff("https://example.org/"), "No browser could open https://example.org/ ("},
        {DesktopService::handOff("mailto:ann@example.org"), "No application could open mailto:ann@example.org ("},
        {DesktopService::open(""), "No application could open  (nothing to open)"},
        {revealed(file), "Could not show session.txt: no application could open the folder " + holder + " ("},
    };
    for (const auto& [failure, start] : cases)
        EXPECT_TRUE(failure && failure->starts_with(start)) << start << " | " << failure.value_or("opened");
}

} // namespace
} // namespace quillbay
