#include "app/diagnostics/DiagnosticsReport.hpp"

#include "app/diagnostics/CappedFileRead.hpp"

#include <glib.h>
#include <glibmm/datetime.h>

#include <algorithm>

#include <pwd.h>
#include <unistd.h>

namespace quillbay {

namespace {

bool isPathCharacter(char c)
{
    return g_ascii_isalnum(c) || c == '_' || c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

std::string nowText()
{
    return Glib::DateTime::create_now_local().format("%Y-%m-%d %H:%M:%S %z");
}

} // namespace

std::string maskHomes(std::string text, std::vector<std::string> homes)
{
    std::sort(homes.begin(), homes.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
    for (std::string home : homes) {
        while (home.size() > 1 && home.back() == '/')
            home.pop_back();
        if (home.size() <= 1)
            continue;  // "/" or nothing: masking it would mangle every path
        for (std::size_t at = text.find(home); at != std::string::npos; at = text.find(home, at)) {
            const std::size_t end = at + home.size();
            // "/home/ann" is not the start of "/home/anna".
            if (end < text.size() && isPathCharacter(text[end])) {
                at = end;
                continue;
            }
            text.replace(at, home.size(), "~");
            at += 1;
        }
    }
    return text;
}

std::vector<std::string> userHomes()
{
    std::vector<std::string> homes;
    if (const passwd* account = getpwuid(getuid()); account && account->pw_dir)
        homes.emplace_back(account->pw_dir);
    if (const char* home = g_get_home_dir(); home && std::find(homes.begin(), homes.end(), home) == homes.end())
        homes.emplace_back(home);
    return homes;
}

std::vector<ZipEntry> DiagnosticsReport::build() const
{
    std::vector<ZipEntry> zip;
    std::string summary;
    summary += "Quillbay " + version + "\n";
    summary += "Written: " + nowText() + "\n";
    for (const std::string& line : platform)
        summary += line + "\n";
    summary += "Graphics: " + graphics + "\n";
    summary += "Server state: " + serverState + "\n";
    summary += "Server port: " + std::to_string(port) + "\n";
    summary += "Studio folder: " + stateDir + "\n";
    summary += "Resource folder: " + resourceDir + "\n";
    summary += "Last load error: " + (lastLoadError.empty() ? std::string("none") : lastLoadError) + "\n";

    const struct {
        std::string name;
        std::string path;
        std::size_t cap;
    } files[] = {
        {"server.log", stateDir + "/logs/server.log", kLogCap},
        {"server.previous.log", stateDir + "/logs/server.previous.log", kLogCap},
        {"PAYLOAD.json", resourceDir + "/PAYLOAD.json", kPayloadCap},
    };
    for (const auto& file : files) {
        auto read = readCappedFile(file.path, file.cap);
        if (const auto* content = std::get_if<CappedFile>(&read)) {
            zip.emplace_back(file.name, maskHomes(content->bytes, homes));
            if (content->truncated)
                summary += file.name + ": only its last " + std::to_string(file.cap) + " bytes\n";
        } else {
            summary += file.name + ": not read, " + std::get<std::string>(read) + "\n";
        }
    }
    zip.emplace_back("summary.txt", maskHomes(summary, homes));
    return zip;
}

std::optional<std::string> DiagnosticsReport::save(const std::string& path) const
{
    return writeZip(path, build());
}

} // namespace quillbay
