#include "support/SafeFile.hpp"

#include "tests/support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <filesystem>

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

    struct Case {
        const char* name;
        int flags;
        const char* failure;  // empty: opened
    } cases[] = {
        {"file", O_RDONLY, ""},
        {"new", O_WRONLY | O_CREAT | O_EXCL, ""},
        {"link", O_RDONLY, "it is a symbolic link"},
        {"link", O_WRONLY | O_APPEND, "it is a symbolic link"},
        {"fifo", O_RDONLY, "it is not a regular file"},  // would block without O_NONBLOCK
        {"fifo", O_WRONLY, "No such device or address"},  // no reader: ENXIO, not a hang
        {"folder", O_RDONLY, "it is not a regular file"},
        {"missing", O_RDONLY, "No such file or directory"},
    };
    for (const Case& c : cases) {
        SafeFile file = SafeFile::open((root / c.name).string(), c.flags);
        EXPECT_EQ(file.failure(), c.failure) << c.name;
        EXPECT_EQ(file.isOpen(), *c.failure == '\0') << c.name;
    }

    SafeFile file = SafeFile::open((root / "file").string(), O_RDONLY);
    EXPECT_EQ(file.readUpTo(4), "0123");
    EXPECT_EQ(file.readUpTo(100), "456789");
    EXPECT_EQ(file.readUpTo(100), "");
}

} // namespace
} // namespace quillbay
