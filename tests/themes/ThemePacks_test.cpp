#include "themes/ThemePacks.hpp"

#include "ThemeServerFixture.hpp"

#include <gtest/gtest.h>

#include <optional>

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::chrono_literals;

namespace {

struct Outcome {
    std::optional<bool> result;
    std::vector<std::string> alerts;
};

class ThemePacksTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new ThemeServerFixture(); }
    static void TearDownTestSuite() { delete server; }

    void SetUp() override
    {
        ASSERT_GT(server->port(), 0) << "the fixture server did not start";
        themes.setAlertParent([] { return nullptr; });
        themes.setAlert([this](Gtk::Window*, const std::string& reason) { outcome.alerts.push_back(reason); });
        themes.catalog().signalChanged().connect([this] { ++catalogWrites; });
    }

    bool activate(const std::string& base, std::chrono::milliseconds limit = 10s)
    {
        themes.activate("night", base, [this](bool ok) { outcome.result = ok; });
        return runUntil([this] { return outcome.result.has_value(); }, limit);
    }

    void refresh(const std::string& base)
    {
        bool done = false;
        themes.refresh(base, [&] { done = true; });
        ASSERT_TRUE(runUntil([&] { return done; }, 10s));
    }

    std::vector<nlohmann::json> requestsFor(const std::string& caseName) const
    {
        std::vector<nlohmann::json> found;
        for (const auto& request : server->requests())
            if (request["path"].get<std::string>().rfind("/" + caseName + "/", 0) == 0)
                found.push_back(request);
        return found;
    }

    static ThemeServerFixture* server;
    ThemePacks themes;
    Outcome outcome;
    int catalogWrites = 0;
};

ThemeServerFixture* ThemePacksTest::server = nullptr;

struct PostCase {
    const char* name;
    bool succeeded;
    std::optional<std::string> message;
    std::optional<std::string> alert;
};

} // namespace

TEST_F(ThemePacksTest, ActivationAnswersGiveTheMessagesAndAlertsOfTheTable)
{
    const std::string noAnswer = "The studio server did not answer.";
    const PostCase cases[] = {
        {"installed-night", true, "Installed Night.", std::nullopt},
        {"ok-only", true, std::nullopt, std::nullopt},
        {"ok-installed-nameless", true, std::nullopt, std::nullopt},
        {"ok-on-500", true, std::nullopt, std::nullopt},
        {"refused", false, "Not installed: The manifest has no id.", "The manifest has no id."},
        {"refused-bare", false, "Not installed: unknown error", "unknown error"},
        {"ok-yes", false, "Not installed: unknown error", "unknown error"},
        {"empty", false, noAnswer, std::nullopt},
        {"array", false, noAnswer, std::nullopt},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        outcome = {};
        ASSERT_TRUE(activate(server->base(expected.name)));
        EXPECT_EQ(*outcome.result, expected.succeeded);
        EXPECT_EQ(themes.lastMessage().get(), expected.message);
        EXPECT_EQ(outcome.alerts, expected.alert ? std::vector<std::string>{*expected.alert}
                                                 : std::vector<std::string>{});

        // The POST carries {"id": ...}; the catalog refresh follows it whatever the outcome.
        auto requests = requestsFor(expected.name);
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0]["method"], "POST");
        EXPECT_EQ(requests[0]["path"], "/" + std::string(expected.name) + "/api/themes/active");
        EXPECT_EQ(*parseJson(requests[0]["body"].get<std::string>()), (nlohmann::json{{"id", "night"}}));
        EXPECT_EQ(requests[1]["method"], "GET");
        EXPECT_EQ(requests[1]["path"], "/" + std::string(expected.name) + "/api/themes");
        ASSERT_TRUE(themes.catalog().get());
        EXPECT_EQ(themes.catalog().get()->active, "ember");
    }
}

TEST_F(ThemePacksTest, WithNoServerActivationFailsQuietlyAndKeepsTheCatalog)
{
    refresh(server->base("first"));
    ASSERT_TRUE(themes.catalog().get());
    auto before = *themes.catalog().get();

    ASSERT_TRUE(activate("http://127.0.0.1:" + std::to_string(unusedPort()) + "/"));
    EXPECT_FALSE(*outcome.result);
    EXPECT_EQ(themes.lastMessage().get(), "The studio server did not answer.");
    EXPECT_TRUE(outcome.alerts.empty());
    EXPECT_EQ(themes.catalog().get(), before);
}

TEST_F(ThemePacksTest, InstallSendsTheChosenPathAndActivatesIt)
{
    themes.setChooser([](Gtk::Window*, PackPicked picked) { picked("/home/ana/Packs/Night Owl.zip"); });
    themes.installInteractively(server->base("installed-night"), nullptr, [this](bool ok) { outcome.result = ok; });
    ASSERT_TRUE(runUntil([this] { return outcome.result.has_value(); }, 10s));
    EXPECT_TRUE(*outcome.result);
    EXPECT_EQ(themes.lastMessage().get(), "Installed Night.");

    auto requests = requestsFor("installed-night");
    ASSERT_FALSE(requests.empty());
    auto& post = requests[requests.size() - 2];
    EXPECT_EQ(post["path"], "/installed-night/api/themes/install");
    EXPECT_EQ(*parseJson(post["body"].get<std::string>()),
              (nlohmann::json{{"path", "/home/ana/Packs/Night Owl.zip"}, {"activate", true}}));
    EXPECT_EQ(requests.back()["path"], "/installed-night/api/themes");
}

TEST_F(ThemePacksTest, CancelledChooserSendsNothingAndChangesNothing)
{
    themes.setChooser([](Gtk::Window*, PackPicked picked) { picked(std::nullopt); });
    themes.installInteractively(server->base("cancelled"), nullptr, [this](bool ok) { outcome.result = ok; });
    ASSERT_TRUE(runUntil([this] { return outcome.result.has_value(); }, 2s));
    EXPECT_FALSE(*outcome.result);
    runUntil([] { return false; }, 200ms);
    EXPECT_TRUE(requestsFor("cancelled").empty());
    EXPECT_EQ(themes.lastMessage().get(), std::nullopt);
    EXPECT_EQ(themes.catalog().get(), std::nullopt);
}

TEST_F(ThemePacksTest, FailedRefreshesKeepTheOldCatalogSilently)
{
    refresh(server->base("first"));
    ASSERT_TRUE(themes.catalog().get());
    auto before = *themes.catalog().get();
    int writes = catalogWrites;

    refresh("http://127.0.0.1:" + std::to_string(unusedPort()) + "/");
    refresh(server->base("bad-stock"));
    refresh(server->base("html"));

    auto started = std::chrono::steady_clock::now();
    refresh(server->base("slow4"));
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
    themes.refresh(server->base("slow1-a"), [&] { ++done; });
    themes.refresh(server->base("catalog-b"), [&] { ++done; });
    ASSERT_TRUE(runUntil([&] { return done == 1; }, 5s));
    ASSERT_TRUE(themes.catalog().get());
    EXPECT_EQ(themes.catalog().get()->active, "night");
    ASSERT_TRUE(runUntil([&] { return done == 2; }, 5s));
    EXPECT_EQ(themes.catalog().get()->active, "ember");
    EXPECT_EQ(themes.catalog().get()->packs.size(), 2u);
}

TEST_F(ThemePacksTest, AnOperationFinishingAfterTheClientIsGoneTouchesNothing)
{
    bool called = false;
    {
        ThemePacks shortLived;
        shortLived.refresh(server->base("slow1-a"), [&] { called = true; });
    }
    // The refresh still reports that it ended, but publishes into nothing.
    EXPECT_TRUE(runUntil([&] { return called; }, 5s));
}
