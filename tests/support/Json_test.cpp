#include "support/Json.hpp"

#include <gtest/gtest.h>

using namespace quillbay;

TEST(Json, NamesAppOnlyForAnObjectWithThatExactText)
{
    EXPECT_TRUE(namesApp(R"({"app":"Quillbay","pid":12})", "Quillbay"));
    EXPECT_FALSE(namesApp(R"({"app":"quillbay"})", "Quillbay"));
    EXPECT_FALSE(namesApp(R"({"app":7})", "Quillbay"));
    EXPECT_FALSE(namesApp(R"(["Quillbay"])", "Quillbay"));
    EXPECT_FALSE(namesApp("not json", "Quillbay"));
    EXPECT_FALSE(namesApp("", "Quillbay"));
}

TEST(Json, IntegerMemberRejectsFloatsBoolsAndHugeValues)
{
    auto doc = *parseJson(R"({"a":5,"b":5.5,"c":true,"d":"5","e":18446744073709551615,"f":-3})");
    EXPECT_EQ(integerMember(doc, "a"), 5);
    EXPECT_EQ(integerMember(doc, "b"), std::nullopt);
    EXPECT_EQ(integerMember(doc, "c"), std::nullopt);
    EXPECT_EQ(integerMember(doc, "d"), std::nullopt);
    EXPECT_EQ(integerMember(doc, "e"), std::nullopt);
    EXPECT_EQ(integerMember(doc, "f"), -3);
}
