#include "app/about/PayloadLine.hpp"

#include "tests/support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

using namespace quillbay;
using quillbay::testing::TempDir;
using quillbay::testing::writeFile;

TEST(PayloadLine, ReadsTheFileAfreshAndNeverFails)
{
    const TempDir dir{"quillbay-payload"};
    const std::pair<std::string, std::string> cases[] = {
        {R"({"hub_commit":"abcdef0123456789","dirty":true})", "Hub abcdef01 (dirty tree)"},
        {R"({"hub_commit":"abc1","dirty":false})", "Hub abc1"},
        {R"({"hub_commit":12345678901,"dirty":true})", "Hub ? (dirty tree)"},
        {R"({"hub_commit":null})", "Hub ?"},
        {R"({"hub_commit":"abc","dirty":"true"})", "Hub abc"},
        {"{}", "Hub ?"},
        // Eight user-perceived characters: e + combining accent, a flag, a ZWJ family.
        {"{\"hub_commit\":\"e\u0301\U0001F1E9\U0001F1EA\U0001F469\u200D\U0001F467abcdef\"}",
         "Hub e\u0301\U0001F1E9\U0001F1EA\U0001F469\u200D\U0001F467abcde"},
        {"[]", "Payload: unknown"},
        {"", "Payload: unknown"},
        {"{\"hub_commit\":", "Payload: unknown"},
    };
    for (const auto& [contents, line] : cases) {
        writeFile(dir / "PAYLOAD.json", contents);
        EXPECT_EQ(payloadLine(dir.path()), line) << contents;
    }
    std::filesystem::remove_all(dir.path());
    EXPECT_EQ(payloadLine(dir.path()), "Payload: unknown");
}
