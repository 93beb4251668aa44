#include "support/GraphicsEnvironment.hpp"
#include "support/SafeFile.hpp"

#include "tests/support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quillbay {
namespace {

namespace fs = std::filesystem;

TEST(SafeFile, OpensOnlyRegularFilesWithoutFollowingLinksOrBlocking)
{
    const testing::TempDir temp{"quillbay-safe"};
    const fs::path root = temp.path();
    fs::create_directories(root / "folder");
    testing::writeFile(root / "file", "0123456789");
    fs::create_symlink(root / "file", root / "link");
    ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);

    const struct { const char* name; int flags; const char* failure; /* empty: opened */ } cases[] = {
        {"file", O_RDONLY, ""},
        {"new", O_WRONLY | O_CREAT | O_EXCL, ""},
        {"link", O_RDONLY, "it is a symbolic link"},
        {"link", O_WRONLY | O_APPEND, "it is a symbolic link"},
        {"fifo", O_RDONLY, "it is not a regular file"},  // would block without O_NONBLOCK
        {"fifo", O_WRONLY, "No such device or address"},  // no reader: ENXIO, not a hang
        {"folder", O_RDONLY, "it is not a regular file"},
        {"missing", O_RDONLY, "No such file or directory"},
    };
    for (const auto& c : cases) {
        SafeFile file = SafeFile::open((root / c.name).string(), c.flags);
        EXPECT_EQ(std::pair(file.failure(), file.isOpen()), std::pair(std::string(c.failure), *c.failure == '\0')) << c.name;
    }

    SafeFile file = SafeFile::open((root / "file").string(), O_RDONLY);
    EXPECT_EQ(file.readUpTo(4), "0123");
    EXPECT_EQ(file.readUpTo(100), "456789");
    EXPECT_EQ(file.readUpTo(100), "");
}

TEST(GraphicsEnvironment, SoftwareOnlyWithoutAGpuOrWithoutDirectRendering)
{
    // forced software, render node, Wayland, X11, X11 direct rendering -> software only
    const std::pair<GraphicsFacts, bool> cases[] = {
        {{false, false, false, true, false}, true},  // Xvfb
        {{false, true, false, true, false}, true},   // Xvfb on a machine with a GPU
        {{false, true, false, true, true}, false},   // Xorg
        {{false, true, true, false, false}, false},  // Wayland
        {{true, true, true, false, false}, true},
    };
    for (const auto& [facts, softwareOnly] : cases)
        EXPECT_EQ(isSoftwareOnlyGraphics(facts), softwareOnly) << facts.hasRenderNode << facts.onWayland << facts.x11HasDirectRendering;
}

} // namespace
} // namespace quillbay
