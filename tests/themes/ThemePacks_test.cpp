#include "themes/ThemePacks.hpp"

#include "ThemeServerFixture.hpp"

#include <gtest/gtest.h>

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::chrono_literals;

namespace {

class ThemePacksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GT(server.port(), 0) << "the fixture server did not start";
        themes.setAlertParent([] { return nullptr; });
        themes.setAlert([this](Gtk::Window*, const std::string& reason) { alerts.push_back(reason); });
        themes.catalog().signalChanged().connect([this] { ++catalogWrites; });
    }

    void refresh(const std::string& base)
    {
        bool done = false;
        themes.refresh(base, [&] { done = true; });
        ASSERT_TRUE(runUntil([&] { return done; }, 10s));
    }

    ThemeServerFixture server;
    ThemePacks themes;
    std::optional<bool> result;
    std::vector<std::string> alerts;
    int catalogWrites = 0;
};

} // namespace

TEST_F(ThemePacksTest, PostAnswersGiveTheMessagesAndAlertsOfTheTableThenARefresh)
{
    const std::string noAnswer = "The studio server did not answer.";
    const std::string nowhere = baseWithoutServer();
    const struct {
        std::string base;
        bool succeeded;
        std::optional<std::string> message;
        std::optional<std::string> alert;
    } cases[] = {
        {server.base("installed-night"), true, "Installed Night.", std::nullopt},
        {server.base("ok-only"), true, std::nullopt, std::nullopt},
        {server.base("ok-installed-nameless"), true, std::nullopt, std::nullopt},
        {server.base("ok-on-500"), true, std::nullopt, std::nullopt},
        {server.base("refused"), false, "Not installed: The manifest has no id.", "The manifest has no id."},
        {server.base("refused-bare"), false, "Not installed: unknown error", "unknown error"},
        {server.base("ok-yes"), false, "Not installed: unknown error", "unknown error"},
        {server.base("empty"), false, noAnswer, std::nullopt},
        {server.base("array"), false, noAnswer, std::nullopt},
        {nowhere, false, noAnswer, std::nullopt},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.base);
        alerts.clear();
        result.reset();
        int writesBefore = catalogWrites;
        themes.activate("night", expected.base, [this](bool ok) { result = ok; });
        ASSERT_TRUE(runUntil([this] { return result.has_value(); }, 10s));
        EXPECT_EQ(*result, expected.succeeded);
        EXPECT_EQ(themes.lastMessage().get(), expected.message);
        EXPECT_EQ(alerts, expected.alert ? std::vector<std::string>{*expected.alert} : std::vector<std::string>{});
        // The refresh follows whatever the outcome (without a server it fails and writes nothing).
        EXPECT_EQ(catalogWrites, writesBefore + (expected.base == nowhere ? 0 : 1));
    }
}

TEST_F(ThemePacksTest, InstallSendsTheChosenPathAndACancelledChoiceSendsNothing)
{
    themes.setChooser([](Gtk::Window*, PackPicked picked) { picked(std::nullopt); });
    themes.installInteractively(server.base("any"), nullptr, [this](bool ok) { result = ok; });
    ASSERT_TRUE(runUntil([this] { return result.has_value(); }, 2s));
    EXPECT_FALSE(*result);
    runUntil([] { return false; }, 200ms);
    EXPECT_EQ(themes.lastMessage().get(), std::nullopt);
    EXPECT_EQ(catalogWrites, 0);

    result.reset();
    themes.setChooser([](Gtk::Window*, PackPicked picked) { picked("/home/ana/Packs/Night Owl.zip"); });
    themes.installInteractively(server.base("any"), nullptr, [this](bool ok) { result = ok; });
    ASSERT_TRUE(runUntil([this] { return result.has_value() && catalogWrites == 1; }, 10s));
    EXPECT_TRUE(*result);
    // The fixture names the installed pack after the request body it received.
    EXPECT_EQ(themes.lastMessage().get(), R"(Installed {"activate": true, "path": "/home/ana/Packs/Night Owl.zip"}.)");
}

TEST_F(ThemePacksTest, FailedRefreshesKeepTheOldCatalogSilently)
{
    refresh(server.base("first"));
    ASSERT_TRUE(themes.catalog().get());
    auto before = *themes.catalog().get();
    int writes = catalogWrites;

    refresh(baseWithoutServer());
    refresh(server.base("bad-stock"));
    auto started = std::chrono::steady_clock::now();
    refresh(server.base("slow4"));
    auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, 2500ms);
    EXPECT_LT(waited, 3900ms);

    EXPECT_EQ(themes.catalog().get(), before);
    EXPECT_EQ(catalogWrites, writes);
    EXPECT_EQ(themes.lastMessage().get(), std::nullopt);
}

TEST_F(ThemePacksTest, OverlappingRefreshesLeaveTheLastCompletedCatalog)
{
    int done = 0;
    themes.refresh(server.base("slow1-a"), [&] { ++done; });
    themes.refresh(server.base("catalog-b"), [&] { ++done; });
    ASSERT_TRUE(runUntil([&] { return done == 1; }, 5s));
    ASSERT_TRUE(themes.catalog().get());
    EXPECT_EQ(themes.catalog().get()->active, "night");
    ASSERT_TRUE(runUntil([&] { return done == 2; }, 5s));
    EXPECT_EQ(themes.catalog().get()->active, "ember");
}

TEST_F(ThemePacksTest, AnOperationFinishingAfterTheClientIsGoneTouchesNothing)
{
    bool called = false;
    {
        ThemePacks shortLived;
        shortLived.refresh(server.base("slow1-a"), [&] { called = true; });
    }
    // The refresh still reports that it ended, but publishes into nothing.
    EXPECT_TRUE(runUntil([&] { return called; }, 5s));
}
