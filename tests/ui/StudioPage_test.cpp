#include "ui/PagePreference.hpp"
#include "ui/StudioPage.hpp"

#include <gtest/gtest.h>

#include <glib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillbay {
namespace {

TEST(StudioPage, RawValuesAndAddressesConvertExactly)
{
    for (StudioPage page : kAllStudioPages)
        EXPECT_EQ(studioPageFromRaw(rawValue(page)), page);
    EXPECT_EQ(rawValue(StudioPage::Room), "room");
    for (const char* other : {"Desk", "ROOM", " desk", "room ", "", "lobby"})
        EXPECT_EQ(studioPageFromRaw(other), std::nullopt) << other;
    EXPECT_EQ(studioPageOrDesk("Room"), StudioPage::Desk);
    EXPECT_EQ(pageURL("http://127.0.0.1:8765/", StudioPage::Desk), "http://127.0.0.1:8765/");
    EXPECT_EQ(pageURL("http://127.0.0.1:8765/", StudioPage::Room), "http://127.0.0.1:8765/room/");
    EXPECT_EQ(pageURL("http://127.0.0.1:8770", StudioPage::Room), "http://127.0.0.1:8770/room/");
}

TEST(PagePreference, ReadsDeskUntilAPageIsStoredAndKeepsOtherKeys)
{
    gchar* made = g_dir_make_tmp("quillbay-pref-XXXXXX", nullptr);
    const std::string folder = made, path = folder + "/Quillbay/preferences.ini";
    g_free(made);
    const auto fileText = [&] {
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    };

    // A fresh installation reads desk; a stored page survives a new instance.
    EXPECT_EQ(PagePreference(path).raw(), "desk");
    ASSERT_TRUE(PagePreference(path).store(StudioPage::Room));
    EXPECT_EQ(PagePreference(path).page(), StudioPage::Room);

    // Unknown text reads as desk but stays as it is until a page is picked.
    std::ofstream(path, std::ios::trunc) << "# kept\n[Preferences]\nstudio.page=Room\nother=1\n";
    PagePreference unknown(path);
    EXPECT_EQ(unknown.raw(), "Room");
    EXPECT_EQ(unknown.page(), StudioPage::Desk);
    ASSERT_TRUE(unknown.store(StudioPage::Room));
    EXPECT_NE(fileText().find("studio.page=room"), std::string::npos);
    EXPECT_NE(fileText().find("other=1"), std::string::npos);

    // An unreadable file reads as desk and is replaced on store.
    std::ofstream(path, std::ios::trunc) << "\x01 not a key file [[[";
    EXPECT_EQ(PagePreference(path).page(), StudioPage::Desk);
    ASSERT_TRUE(PagePreference(path).store(StudioPage::Room));
    EXPECT_EQ(PagePreference(path).page(), StudioPage::Room);

    // A file where the folder should be: the store reports failure.
    PagePreference blocked(path + "/inner/preferences.ini");
    EXPECT_FALSE(blocked.store(StudioPage::Room));
    EXPECT_EQ(blocked.page(), StudioPage::Desk);
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace quillbay
