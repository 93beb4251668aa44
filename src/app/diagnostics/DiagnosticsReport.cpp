#include "app/diagnostics/DiagnosticsReport.hpp"

#include "app/diagnostics/CappedFileRead.hpp"

#include <glib.h>
#include <glibmm/datetime.h>

#include <algorithm>
#include <string_view>

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

constexpr std::string_view kMask = "***";

// The length of a leading "scheme://", or 0.
std::size_t schemeLength(const std::string& address)
{
    if (address.empty() || !g_ascii_isalpha(address[0]))
        return 0;
    const auto inScheme = [](char c) { return g_ascii_isalnum(c) || c == '+' || c == '.' || c == '-'; };
    std::size_t end = 1;
    while (end < address.size() && inScheme(address[end]))
        ++end;
    return address.compare(end, 3, "://") == 0 ? end + 3 : 0;
}

// "name=value" as "name=***"; a field without "=" is masked whole.
std::string maskedQueryField(std::string_view field)
{
    const std::size_t equals = field.find('=');
    if (equals == std::string_view::npos)
        return std::string(field.empty() ? "" : kMask);
    return std::string(field.substr(0, equals + 1)) + std::string(equals + 1 < field.size() ? kMask : "");
}

std::string maskedQuery(std::string_view query)
{
    std::string masked;
    for (std::size_t start = 0;;) {
        const std::size_t end = query.find('&', start);
        masked += maskedQueryField(query.substr(start, end - start));
        if (end == std::string_view::npos)
            return masked;
        masked += '&';
        start = end + 1;
    }
}

std::string replaceEvery(std::string text, const std::string& from, const std::string& to)
{
    if (from.empty() || from == to)
        return text;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

std::string withoutSecrets(const std::string& address)
{
    const std::size_t scheme = schemeLength(address);
    std::string head = address.substr(0, scheme);
    std::string rest = address.substr(scheme);
    if (const std::size_t at = rest.rfind('@'); at != std::string::npos) {
        head += std::string(kMask) + "@";
        // A "?" or "#" before the "@": the query or fragment may have begun there.
        if (rest.find_first_of("?#") < at)
            return head + std::string(at + 1 < rest.size() ? kMask : "");
        rest.erase(0, at + 1);
    }
    std::string fragment;
    if (const std::size_t hash = rest.find('#'); hash != std::string::npos) {
        fragment = hash + 1 < rest.size() ? "#" + std::string(kMask) : "#";
        rest.erase(hash);
    }
    if (const std::size_t question = rest.find('?'); question != std::string::npos)
        rest = rest.substr(0, question + 1) + maskedQuery(std::string_view(rest).substr(question + 1));
    return head + rest + fragment;
}

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
    // The server may print its hub address: it is shown as the desk shows it.
    const auto masked = [this](std::string text) {
        return maskHomes(hub ? replaceEvery(std::move(text), *hub, withoutSecrets(*hub)) : std::move(text), homes);
    };
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
    summary += "Hub: " + (hub ? withoutSecrets(*hub) : std::string("not set")) + "\n";
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
            zip.emplace_back(file.name, masked(content->bytes));
            if (content->truncated)
                summary += file.name + ": only its last " + std::to_string(file.cap) + " bytes\n";
        } else {
            summary += file.name + ": not read, " + std::get<std::string>(read) + "\n";
        }
    }
    if (!debugLog.empty()) {
        std::string lines;
        for (const std::string& line : debugLog)
            lines += line + "\n";
        zip.emplace_back("debug.log", masked(lines));
    }
    zip.emplace_back("summary.txt", masked(summary));
    return zip;
}

std::optional<std::string> DiagnosticsReport::save(const std::string& path) const
{
    return writeZip(path, build());
}

} // namespace quillbay
