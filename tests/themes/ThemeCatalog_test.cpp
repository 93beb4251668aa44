#include "themes/ThemeCatalog.hpp"

#include <gtest/gtest.h>

using namespace quillbay;

TEST(ThemeCatalog, NullOptionalsAreAbsentAndExtraKeysAreIgnored)
{
    auto catalog = decodeThemeCatalog(R"({"active":"gone","extra":[1],"packs":[
        {"id":"a","name":"Alpha","version":"2.1","stock":true,"error":null,"more":{}},
        {"id":"b","name":null,"stock":false},
        {"id":"c","error":"The stylesheet is missing."}]})");
    ASSERT_TRUE(catalog);
    EXPECT_EQ(catalog->active, "gone");
    const auto none = std::nullopt;
    EXPECT_EQ(catalog->packs, (std::vector<ThemePack>{{"a", "Alpha", "2.1", true, none}, {"b", none, none, false, none},
                                                      {"c", none, none, none, "The stylesheet is missing."}}));
    EXPECT_EQ(catalog->packs[1].label(), "b");
    EXPECT_TRUE(decodeThemeCatalog(R"({"active":"","packs":[]})"));
}

TEST(ThemeCatalog, ATypeErrorOrAMissingRequiredKeyFailsTheWholeDocument)
{
    const char* documents[] = {
        R"({"active":"a","packs":[{"id":"a","stock":1}]})",
        R"({"active":"a","packs":[{"id":"a","version":2}]})",
        R"({"active":"a","packs":[{"id":"a"},{"id":7}]})",
        R"({"active":"a","packs":[{"id":"a"},"b"]})",
        R"({"active":"a","packs":{"id":"a"}})",
        R"({"packs":[{"id":"a"}]})",
        R"({"active":null,"packs":[]})",
        R"({"active":"a"})",
        R"({"active":"a","packs":[{"name":"A"}]})",
        "", "[]", "null", "<html>",
    };
    for (const char* document : documents)
        EXPECT_FALSE(decodeThemeCatalog(document)) << document;
}
