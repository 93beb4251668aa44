#include "themes/ThemeCatalog.hpp"

#include <gtest/gtest.h>

using namespace quillbay;

TEST(ThemeCatalog, DecodesPacksInOrderWithOptionalsAbsentOrNull)
{
    auto catalog = decodeThemeCatalog(R"({"active":"b","extra":[1],"packs":[
        {"id":"a","name":"Alpha","version":"2.1","stock":true,"error":null,"more":{}},
        {"id":"b","name":null,"stock":false},
        {"id":"c","error":"The stylesheet is missing."}]})");
    ASSERT_TRUE(catalog);
    EXPECT_EQ(catalog->active, "b");
    ASSERT_EQ(catalog->packs.size(), 3u);
    EXPECT_EQ(catalog->packs[0], (ThemePack{"a", "Alpha", "2.1", true, std::nullopt}));
    EXPECT_EQ(catalog->packs[1], (ThemePack{"b", std::nullopt, std::nullopt, false, std::nullopt}));
    EXPECT_EQ(catalog->packs[1].label(), "b");
    EXPECT_EQ(catalog->packs[2].error, "The stylesheet is missing.");
}

TEST(ThemeCatalog, EmptyListAndAnActiveIdThatNamesNoPackStillDecode)
{
    auto empty = decodeThemeCatalog(R"({"active":"","packs":[]})");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->packs.empty());
    EXPECT_TRUE(decodeThemeCatalog(R"({"active":"gone","packs":[{"id":"a"}]})"));
}

TEST(ThemeCatalog, AnyTypeErrorFailsTheWholeDocument)
{
    const char* documents[] = {
        R"({"active":"a","packs":[{"id":"a","stock":1}]})",
        R"({"active":"a","packs":[{"id":"a","stock":"true"}]})",
        R"({"active":"a","packs":[{"id":"a","version":2}]})",
        R"({"active":"a","packs":[{"id":"a","name":["A"]}]})",
        R"({"active":"a","packs":[{"id":"a","error":false}]})",
        R"({"active":"a","packs":[{"id":"a"},{"id":7}]})",
        R"({"active":"a","packs":[{"id":"a"},"b"]})",
        R"({"active":"a","packs":{"id":"a"}})",
        R"({"active":5,"packs":[]})",
    };
    for (const char* document : documents)
        EXPECT_FALSE(decodeThemeCatalog(document)) << document;
}

TEST(ThemeCatalog, RequiredKeysMustBePresentNotNullAndExactlyNamed)
{
    const char* documents[] = {
        R"({"packs":[{"id":"a"}]})",
        R"({"active":null,"packs":[]})",
        R"({"active":"a"})",
        R"({"active":"a","packs":null})",
        R"({"active":"a","packs":[{"name":"A"}]})",
        R"({"active":"a","packs":[{"id":null}]})",
        R"({"Active":"a","packs":[]})",
        R"({"active":"a","packs":[{"ID":"a"}]})",
    };
    for (const char* document : documents)
        EXPECT_FALSE(decodeThemeCatalog(document)) << document;
}

TEST(ThemeCatalog, OnlyAnObjectAtTheTopDecodes)
{
    for (const char* document : {"", "[]", "\"catalog\"", "null", "{\"active\":\"a\",\"packs\":[]", "<html>"})
        EXPECT_FALSE(decodeThemeCatalog(document)) << document;
}
