// The diagnostics report: a real zip, read back by Python's zipfile.

#include "ShellFixture.hpp"

#include "app/diagnostics/CappedFileRead.hpp"
#include "app/diagnostics/DiagnosticsReport.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>

using namespace quillbay;
using namespace quillbay::testing;

namespace {

// name -> {"method": 0|8, "text": ...} for every entry, after Python checked every CRC.
nlohmann::json readZip(const std::string& path)
{
    const std::string script = "import json, sys, zipfile\n"
                               "z = zipfile.ZipFile(sys.argv[1])\n"
                               "assert z.testzip() is None\n"
                               "print(json.dumps({i.filename: {'method': i.compress_type, "
                               "'text': z.read(i).decode('utf-8', 'replace')} for i in z.infolist()}))\n";
    gchar* out = nullptr;
    gint status = 0;
    const char* argv[] = {"python3", "-c", script.c_str(), path.c_str(), nullptr};
    g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out, nullptr, &status,
                 nullptr);
    nlohmann::json result = nlohmann::json::parse(out ? out : "", nullptr, false);
    g_free(out);
    return result;
}

} // namespace

TEST(Diagnostics, OneZipWithTheLogsPayloadAndSummaryAndTheHomeMasked)
{
    const TempDir root{"quillbay-diagnostics"};
    const std::string home = root / "home/ann";
    std::string log;
    for (int i = 0; i < 2000; ++i)
        log += "line " + std::to_string(i) + " reading " + home + "/studio/take.wav\n";
    log += "neighbour " + root / "home/anna/take.wav\n";
    writeFile(root / "S/logs/server.log", log);
    writeFile(root / "secret", "not for the report");
    symlink((root / "secret").c_str(), (root / "S/logs/server.previous.log").c_str());
    writeFile(root / "R/PAYLOAD.json", R"({"hub_commit":"abc","built_in":")" + home + R"("})");

    DiagnosticsReport report;
    report.stateDir = root / "S";
    report.resourceDir = root / "R";
    report.version = "1.0";
    report.graphics = "software GL only";
    report.serverState = "failed: The studio server stopped (status 1).";
    report.port = 8766;
    report.lastLoadError = "Could not connect to " + home + "/x";
    report.homes = {home + "/"};

    // Saved over a symbolic link: the link is replaced, what it pointed at stays.
    const std::string zipPath = root / "report.zip";
    writeFile(root / "victim", "keep me");
    symlink((root / "victim").c_str(), zipPath.c_str());
    ASSERT_EQ(report.save(zipPath), std::nullopt);
    EXPECT_EQ(readFile(root / "victim"), "keep me");
    struct stat facts {};
    ASSERT_EQ(lstat(zipPath.c_str(), &facts), 0);
    EXPECT_TRUE(S_ISREG(facts.st_mode));

    const nlohmann::json zip = readZip(zipPath);
    ASSERT_TRUE(zip.is_object()) << zip.dump();
    EXPECT_EQ(zip.size(), 3u) << zip.dump();  // no previous log: it was a link
    const std::string serverLog = zip["server.log"]["text"];
    EXPECT_EQ(zip["server.log"]["method"], 8);  // deflated
    EXPECT_EQ(serverLog.find(home + "/"), std::string::npos);
    EXPECT_NE(serverLog.find("line 1999 reading ~/studio/take.wav"), std::string::npos);
    EXPECT_NE(serverLog.find(root / "home/anna/take.wav"), std::string::npos);  // another user's folder
    EXPECT_EQ(zip["PAYLOAD.json"]["text"], R"({"hub_commit":"abc","built_in":"~"})");

    const std::string summary = zip["summary.txt"]["text"];
    for (const char* line : {"Quillbay 1.0\n", "Graphics: software GL only\n", "Server port: 8766\n",
                             "Server state: failed: The studio server stopped (status 1).\n",
                             "Last load error: Could not connect to ~/x\n", "server.previous.log: is a symbolic link"})
        EXPECT_NE(summary.find(line), std::string::npos) << line << " not in:\n" << summary;
    EXPECT_EQ(summary.find(home), std::string::npos);
}

TEST(Diagnostics, ReadsOnlyRegularFilesAndOnlyTheirNewestPart)
{
    const TempDir root{"quillbay-capped"};
    writeFile(root / "log", "0123456789abcdef");
    const auto tail = readCappedFile(root / "log", 6);
    ASSERT_TRUE(std::holds_alternative<CappedFile>(tail));
    EXPECT_EQ(std::get<CappedFile>(tail).bytes, "abcdef");
    EXPECT_TRUE(std::get<CappedFile>(tail).truncated);
    EXPECT_FALSE(std::get<CappedFile>(readCappedFile(root / "log", 100)).truncated);

    // A FIFO planted where a log should be must not hang the report; a folder is no log either.
    ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);
    for (const std::string name : {"fifo", "", "missing"})
        EXPECT_TRUE(std::holds_alternative<std::string>(readCappedFile(root / name, 100))) << name;
}

TEST(Diagnostics, MaskHomesOnlyAtPathBoundaries)
{
    struct Case {
        std::string text;
        std::vector<std::string> homes;
        std::string masked;
    } cases[] = {
        {"/home/ann/x and /home/ann", {"/home/ann"}, "~/x and ~"},
        {"/home/anna/x /home/ann.b", {"/home/ann"}, "/home/anna/x /home/ann.b"},
        {"/home/ann/x", {"/home/ann/"}, "~/x"},
        {"/srv/ann/home/x", {"/srv/ann", "/srv/ann/home"}, "~/x"},  // the longer home first
        {"/etc/passwd", {"/", ""}, "/etc/passwd"},
        {"'/home/ann':", {"/home/ann"}, "'~':"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(maskHomes(c.text, c.homes), c.masked) << c.text;
}
