#include "app/PayloadLine.hpp"

#include <gtest/gtest.h>

#include <glib.h>

#include <filesystem>
#include <fstream>
#include <utility>

using namespace quillbay;

TEST(PayloadLine, ReadsTheFileAfreshAndNeverFails)
{
    gchar* made = g_dir_make_tmp("quillbay-payload-XXXXXX", nullptr);
    const std::string dir = made;
    g_free(made);
    const std::pair<std::string, std::string> cases[] = {
        {R"({"hub_commit":"abcdef0123456789","dirty":false})", "Hub abcdef01"},
        {R"({"hub_commit":"abcdef0123456789","dirty":true,"built":"x"})", "Hub abcdef01 (dirty tree)"},
        {R"({"hub_commit":"abc1"})", "Hub abc1"},
        {R"({"hub_commit":12345678901,"dirty":true})", "Hub ? (dirty tree)"},
        {R"({"hub_commit":null})", "Hub ?"},
        {R"({"hub_commit":"abc","dirty":"true"})", "Hub abc"},
        {R"({"hub_commit":"abc","dirty":1})", "Hub abc"},
        {"{}", "Hub ?"},
        // e + combining acute accent: two code points, one character.
        {"{\"hub_commit\":\"e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301\"}",
         "Hub e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301"},
        {"[]", "Payload: unknown"},
        {R"("abcdef01")", "Payload: unknown"},
        {"", "Payload: unknown"},
        {"{\"hub_commit\":", "Payload: unknown"},
        {"\xff\xfe{}", "Payload: unknown"},
    };
    for (const auto& [contents, line] : cases) {
        std::ofstream(dir + "/PAYLOAD.json", std::ios::binary | std::ios::trunc) << contents;
        EXPECT_EQ(payloadLine(dir), line) << contents;
    }
    std::filesystem::remove_all(dir);
    EXPECT_EQ(payloadLine(dir), "Payload: unknown");
    EXPECT_EQ(payloadLine(""), "Payload: unknown");
}

TEST(PayloadLine, CountsUserPerceivedCharactersNotBytesOrCodePoints)
{
    // Flags are pairs of regional indicators; a family is joined by ZWJs.
    const std::string flag = "\U0001F1E9\U0001F1EA";
    const std::string family = "\U0001F469\u200D\U0001F469\u200D\U0001F467";
    const std::string mixed = flag + family + "abcdef" + "\u2764\uFE0F" + "xyz";
    EXPECT_EQ(firstCharacters(mixed, 8), flag + family + "abcdef");
    EXPECT_EQ(firstCharacters(mixed, 9), flag + family + "abcdef" + "\u2764\uFE0F");
    EXPECT_EQ(firstCharacters("\u00e9t\u00e9", 8), "\u00e9t\u00e9");
}
