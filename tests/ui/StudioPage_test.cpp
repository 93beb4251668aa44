#include "ui/PagePreference.hpp"
#include "ui/StudioPage.hpp"

#include <gtest/gtest.h>

#include <glib.h>
#include <glib/gstdio.h>

#include <fstream>
#include <sstream>
#include <string>

namespace quillbay {
namespace {

TEST(StudioPage, RawValuesConvertExactly)
{
    EXPECT_EQ(studioPageFromRaw("desk"), StudioPage::Desk);
    EXPECT_EQ(studioPageFromRaw("room"), StudioPage::Room);
    for (const char* other : {"Desk", "ROOM", " desk", "room ", "", "lobby"})
        EXPECT_EQ(studioPageFromRaw(other), std::nullopt) << other;
    EXPECT_EQ(studioPageOrDesk("Room"), StudioPage::Desk);
    for (StudioPage page : kAllStudioPages)
        EXPECT_EQ(studioPageFromRaw(rawValue(page)), page);
    EXPECT_EQ(kAllStudioPages.front(), StudioPage::Desk);
    EXPECT_EQ(title(StudioPage::Desk), "Desk");
    EXPECT_EQ(title(StudioPage::Room), "Room");
}

TEST(StudioPage, AddressesJoinWithOneSlash)
{
    EXPECT_EQ(pageURL("http://127.0.0.1:8765/", StudioPage::Desk), "http://127.0.0.1:8765/");
    EXPECT_EQ(pageURL("http://127.0.0.1:8765/", StudioPage::Room), "http://127.0.0.1:8765/room/");
    EXPECT_EQ(pageURL("http://127.0.0.1:8770", StudioPage::Room), "http://127.0.0.1:8770/room/");
}

class PagePreferenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gchar* dir = g_dir_make_tmp("quillbay-pref-XXXXXX", nullptr);
        ASSERT_NE(dir, nullptr);
        folder_ = dir;
        g_free(dir);
        path_ = folder_ + "/Quillbay/preferences.ini";
    }
    void TearDown() override
    {
        std::string command = "rm -rf '" + folder_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    std::string fileText() const
    {
        std::ifstream in(path_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void writeFile(const std::string& text) const
    {
        g_mkdir_with_parents((folder_ + "/Quillbay").c_str(), 0700);
        std::ofstream(path_) << text;
    }

    std::string folder_;
    std::string path_;
};

TEST_F(PagePreferenceTest, FreshInstallationReadsDeskAndStoresAcrossInstances)
{
    PagePreference preference(path_);
    EXPECT_EQ(preference.raw(), "desk");
    EXPECT_EQ(preference.page(), StudioPage::Desk);

    ASSERT_TRUE(preference.store(StudioPage::Room));
    EXPECT_EQ(PagePreference(path_).page(), StudioPage::Room);
    EXPECT_NE(fileText().find("studio.page=room"), std::string::npos);

    ASSERT_TRUE(PagePreference(path_).store(StudioPage::Desk));
    EXPECT_EQ(PagePreference(path_).raw(), "desk");
}

TEST_F(PagePreferenceTest, UnknownTextReadsAsDeskAndStaysUntilAPageIsPicked)
{
    writeFile("# kept\n[Preferences]\nstudio.page=Room\nother=1\n");
    PagePreference preference(path_);
    EXPECT_EQ(preference.raw(), "Room");
    EXPECT_EQ(preference.page(), StudioPage::Desk);
    EXPECT_NE(fileText().find("studio.page=Room"), std::string::npos);

    ASSERT_TRUE(preference.store(StudioPage::Room));
    const std::string text = fileText();
    EXPECT_NE(text.find("studio.page=room"), std::string::npos);
    EXPECT_NE(text.find("other=1"), std::string::npos);
}

TEST_F(PagePreferenceTest, UnreadableFileReadsAsDeskAndIsReplacedOnStore)
{
    writeFile("\x01 not a key file [[[");
    PagePreference preference(path_);
    EXPECT_EQ(preference.page(), StudioPage::Desk);
    ASSERT_TRUE(preference.store(StudioPage::Room));
    EXPECT_EQ(PagePreference(path_).page(), StudioPage::Room);
}

TEST_F(PagePreferenceTest, StoreFailsWhenTheFolderCannotBeMade)
{
    writeFile("");
    // A file where the folder should be.
    PagePreference preference(path_ + "/inner/preferences.ini");
    EXPECT_FALSE(preference.store(StudioPage::Room));
    EXPECT_EQ(preference.page(), StudioPage::Desk);
}

} // namespace
} // namespace quillbay
