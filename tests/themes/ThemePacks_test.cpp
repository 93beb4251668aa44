#include "themes/ThemePacks.hpp"

#include "tests/support/GtkTestSupport.hpp"
#include "tests/support/WebSites.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::chrono_literals;

namespace {

class ThemePacksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = std::atol(server.readUntil("", 10s).front().c_str());
        ASSERT_GT(port, 0) << "tests/fixtures/theme_server.py did not start";
        themes.setAlert([this](const std::string& reason) { alerts.push_back(reason); });
        themes.catalog().signalChanged().connect([this] { ++catalogWrites; });
    }

    std::string base(const std::string& name) const { return localAddress(port, "/" + name + "/"); }

    void refresh(const std::string& url)
    {
        bool done = false;
        themes.refresh(url, [&] { done = true; });
        ASSERT_TRUE(runUntil([&] { return done; }, 10s));
    }

    TestProcess server{{"/usr/bin/python3", QUILLBAY_FIXTURES_DIR "/theme_server.py"}};
    long port = 0;
    const std::string nowhere = "http://127.0.0.1:9/";  // nothing listens there
    ThemePacks themes;
    std::optional<bool> result;
    std::vector<std::string> alerts;
    int catalogWrites = 0;
};

} // namespace

TEST(ThemeCatalog, NullOptionalsAreAbsentExtraKeysIgnoredAndATypeErrorFailsTheWholeDocument)
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

    for (const char* document : {
             R"({"active":"a","packs":[{"id":"a","stock":1}]})", R"({"active":"a","packs":[{"id":"a","version":2}]})",
             R"({"active":"a","packs":[{"id":"a"},{"id":7}]})", R"({"active":"a","packs":[{"id":"a"},"b"]})",
             R"({"active":"a","packs":{"id":"a"}})", R"({"packs":[{"id":"a"}]})", R"({"active":null,"packs":[]})",
             R"({"active":"a"})", R"({"active":"a","packs":[{"name":"A"}]})", "", "[]", "null", "<html>"})
        EXPECT_FALSE(decodeThemeCatalog(document)) << document;
}

TEST_F(ThemePacksTest, PostAnswersGiveTheMessagesAndAlertsOfTheTableThenARefresh)
{
    const std::string noAnswer = "The studio server did not answer.", unknown = "unknown error";
    const struct { std::string base; bool succeeded; std::optional<std::string> message, alert; } cases[] = {
        {base("installed-night"), true, "Installed Night.", {}},
        {base("ok-on-500"), true, {}, {}},
        {base("refused"), false, "Not installed: The manifest has no id.", "The manifest has no id."},
        {base("refused-bare"), false, "Not installed: " + unknown, unknown},
        {base("ok-yes"), false, "Not installed: " + unknown, unknown},
        {base("empty"), false, noAnswer, {}},
        {base("array"), false, noAnswer, {}},
        {nowhere, false, noAnswer, {}},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.base);
        alerts.clear();
        result.reset();
        const int writesBefore = catalogWrites;
        themes.activate("night", expected.base, [this](bool ok) { result = ok; });
        ASSERT_TRUE(runUntil([this] { return result.has_value(); }, 10s));
        EXPECT_EQ(*result, expected.succeeded);
        EXPECT_EQ(themes.lastMessage().get(), expected.message);
        EXPECT_EQ(alerts, expected.alert ? std::vector{*expected.alert} : std::vector<std::string>{});
        // The refresh follows whatever the outcome (without a server it fails and writes nothing).
        EXPECT_EQ(catalogWrites, writesBefore + (expected.base == nowhere ? 0 : 1));
    }
}

TEST_F(ThemePacksTest, ACancelledInstallQuestionSendsNothing)
{
    // The desktop's chooser first asks which kind of pack: the user cancels.
    ASSERT_TRUE(startGtk());
    themes.installInteractively(base("any"), [this](bool ok) { result = ok; });
    ASSERT_TRUE(runUntil([] { return shownMessageDialog() != nullptr; }, 3s));
    // Titled, and each button named once: its mnemonic label does not name it again for screen readers.
    Gtk::MessageDialog* question = shownMessageDialog();
    EXPECT_EQ(question->get_title(), "Install Theme Pack");
    for (int response : {int(GTK_RESPONSE_CANCEL), 1, 2})  // Cancel, Pack Folder…, Zip Archive…
        EXPECT_FALSE(gtk_test_accessible_has_relation(GTK_ACCESSIBLE(question->get_widget_for_response(response)->gobj()),
                                                      GTK_ACCESSIBLE_RELATION_LABELLED_BY)) << response;
    question->response(Gtk::ResponseType::CANCEL);
    ASSERT_TRUE(runUntil([this] { return result.has_value(); }, 2s));
    runFor(200ms);
    EXPECT_FALSE(*result);
    EXPECT_EQ(catalogWrites, 0);
}

TEST_F(ThemePacksTest, FailedRefreshesKeepTheOldCatalogSilentlyAndTheLastCompletedRefreshWins)
{
    refresh(base("first"));
    ASSERT_TRUE(themes.catalog().get());
    const auto before = *themes.catalog().get();
    const int writes = catalogWrites;
    refresh(nowhere);
    refresh(base("bad-stock"));
    const auto started = std::chrono::steady_clock::now();
    refresh(base("slow4"));
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_TRUE(waited >= 2500ms && waited < 3900ms) << "the refresh gives up after 3 s";
    EXPECT_EQ(themes.catalog().get(), before);
    EXPECT_EQ(catalogWrites, writes);
    EXPECT_EQ(themes.lastMessage().get(), std::nullopt);

    int done = 0;
    themes.refresh(base("slow1-a"), [&] { ++done; });
    themes.refresh(base("catalog-b"), [&] { ++done; });
    // One finishing after its client is gone still reports that it ended, but publishes into nothing.
    ThemePacks().refresh(base("slow1-a"), [&] { ++done; });
    ASSERT_TRUE(runUntil([&] { return done == 1; }, 5s));
    EXPECT_EQ(themes.catalog().get()->active, "night");
    ASSERT_TRUE(runUntil([&] { return done == 3; }, 5s));
    EXPECT_EQ(themes.catalog().get()->active, "ember");
}
