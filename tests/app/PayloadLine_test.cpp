#include "app/PayloadLine.hpp"

#include <gtest/gtest.h>

#include <glib.h>

#include <filesystem>
#include <fstream>

using namespace quillbay;

namespace {

class PayloadLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quillbay-payload-XXXXXX";
        dir = g_mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string lineFor(const std::string& contents)
    {
        std::ofstream(dir + "/PAYLOAD.json", std::ios::binary | std::ios::trunc) << contents;
        return payloadLine(dir);
    }

    std::string dir;
};

} // namespace

TEST_F(PayloadLineTest, ShowsEightCharactersOfTheCommitAndTheDirtyFlag)
{
    EXPECT_EQ(lineFor(R"({"hub_commit":"abcdef0123456789","dirty":false})"), "Hub abcdef01");
    EXPECT_EQ(lineFor(R"({"hub_commit":"abcdef0123456789","dirty":true,"built":"x"})"), "Hub abcdef01 (dirty tree)");
    EXPECT_EQ(lineFor(R"({"hub_commit":"abc1"})"), "Hub abc1");
}

TEST_F(PayloadLineTest, MistypedOrMissingMembersAreNotFailures)
{
    EXPECT_EQ(lineFor(R"({"hub_commit":12345678901,"dirty":true})"), "Hub ? (dirty tree)");
    EXPECT_EQ(lineFor(R"({"hub_commit":null})"), "Hub ?");
    EXPECT_EQ(lineFor(R"({"hub_commit":"abc","dirty":"true"})"), "Hub abc");
    EXPECT_EQ(lineFor(R"({"hub_commit":"abc","dirty":1})"), "Hub abc");
    EXPECT_EQ(lineFor("{}"), "Hub ?");
}

TEST_F(PayloadLineTest, AnythingButAReadableObjectIsUnknown)
{
    for (const char* contents : {"[]", R"(["abc"])", R"("abcdef01")", "42", "", "{\"hub_commit\":", "\xff\xfe{}"})
        EXPECT_EQ(lineFor(contents), "Payload: unknown") << contents;
    EXPECT_EQ(payloadLine(dir + "/missing"), "Payload: unknown");
    EXPECT_EQ(payloadLine(""), "Payload: unknown");
    std::filesystem::remove(dir + "/PAYLOAD.json");
    EXPECT_EQ(payloadLine(dir), "Payload: unknown");
}

TEST_F(PayloadLineTest, IsReadAfreshOnEveryCall)
{
    EXPECT_EQ(lineFor(R"({"hub_commit":"11111111aaaa"})"), "Hub 11111111");
    EXPECT_EQ(lineFor(R"({"hub_commit":"22222222bbbb","dirty":true})"), "Hub 22222222 (dirty tree)");
}

TEST_F(PayloadLineTest, CountsUserPerceivedCharactersNotBytesOrCodePoints)
{
    // e + combining acute accent, ten times: 20 code points, 10 characters.
    std::string accented;
    for (int i = 0; i < 10; ++i)
        accented += "e\u0301";
    EXPECT_EQ(lineFor(R"({"hub_commit":")" + accented + R"("})"), "Hub " + accented.substr(0, 8 * 3));

    // Flags are pairs of regional indicators; a family is joined by ZWJs.
    const std::string flag = "\U0001F1E9\U0001F1EA";
    const std::string family = "\U0001F469\u200D\U0001F469\u200D\U0001F467";
    std::string mixed = flag + family + "abcdef" + "\u2764\uFE0F" + "xyz";
    EXPECT_EQ(firstCharacters(mixed, 8), flag + family + "abcdef");
    EXPECT_EQ(firstCharacters(mixed, 9), flag + family + "abcdef" + "\u2764\uFE0F");
    EXPECT_EQ(firstCharacters("\u00e9t\u00e9", 8), "\u00e9t\u00e9");
    EXPECT_EQ(firstCharacters("", 8), "");
}
