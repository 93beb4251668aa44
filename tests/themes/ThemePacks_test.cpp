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
        ASSERT_GT(server.port, 0) << "the fixture server did not start";
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
    const std::string noAnswer = "The studio server did not answer.", unknown = "unknown error";
    const std::string nowhere = baseWithoutServer();
    const struct {
        std::string base;
        bool succeeded;
        std::optional<std::string> message, alert;
    } cases[] = {
        {server.base("installed-night"), true, "Installed Night.", {}},
        {server.base("ok-only"), true, {}, {}},
        {server.base("ok-on-500"), true, {}, {}},
        {server.base("refused"), false, "Not installed: The manifest has no id.", "The manifest has no id."},
        {server.base("refused-bare"), false, "Not installed: " + unknown, unknown},
        {server.base("ok-yes"), false, "Not installed: " + unknown, unknown},
        {server.base("empty"), false, noAnswer, {}},
        {server.base("array"), false, noAnswer, {}},
        {nowhere, false, noAnswer, {}},
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
        EXPECT_EQ(alerts, expected.alert ? std::vector{*expected.alert} : std::vector<std::string>{});
        // The refresh follows whatever the outcome (without a server it fails and writes nothing).
        EXPECT_EQ(catalogWrites, writesBefore + (expected.base == nowhere ? 0 : 1));
    }
}

TEST_F(ThemePacksTest, InstallSendsTheChosenPathAndACancelledChoiceSendsNothing)
{
    using Picked = std::optional<std::string>;
    for (const Picked& picked : {Picked{}, Picked{"/p/Night Owl.zip"}}) {
        result.reset();
        themes.setChooser([picked](Gtk::Window*, PackPicked reply) { reply(picked); });
        themes.installInteractively(server.base("any"), nullptr, [this](bool ok) { result = ok; });
        ASSERT_TRUE(runUntil([this] { return result.has_value() && catalogWrites == (*result ? 1 : 0); }, 10s));
        runFor(200ms);
        EXPECT_EQ(*result, picked.has_value());
        EXPECT_EQ(catalogWrites, picked ? 1 : 0);
    }
    // The fixture names the installed pack after the request body it received.
    EXPECT_EQ(themes.lastMessage().get(), R"(Installed {"activate": true, "path": "/p/Night Owl.zip"}.)");
}

TEST_F(ThemePacksTest, FailedRefreshesKeepTheOldCatalogSilentlyAndTheLastCompletedRefreshWins)
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

    int done = 0;
    themes.refresh(server.base("slow1-a"), [&] { ++done; });
    themes.refresh(server.base("catalog-b"), [&] { ++done; });
    ASSERT_TRUE(runUntil([&] { return done == 1; }, 5s));
    EXPECT_EQ(themes.catalog().get()->active, "night");
    ASSERT_TRUE(runUntil([&] { return done == 2; }, 5s));
    EXPECT_EQ(themes.catalog().get()->active, "ember");
}

TEST_F(ThemePacksTest, AnOperationFinishingAfterTheClientIsGoneTouchesNothing)
{
    bool called = false;
    ThemePacks().refresh(server.base("slow1-a"), [&] { called = true; });
    // The refresh still reports that it ended, but publishes into nothing.
    EXPECT_TRUE(runUntil([&] { return called; }, 5s));
}
