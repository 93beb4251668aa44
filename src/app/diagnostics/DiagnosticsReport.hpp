#pragma once

#include "app/diagnostics/ZipWriter.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quillbay {

// What a bug report needs, gathered into one zip: both server logs,
// PAYLOAD.json, the shell's debug log, and a summary (versions, desktop,
// graphics, server, hub address, last load error), with the user's home
// folder shown as "~" and the hub address's secrets masked everywhere.
struct DiagnosticsReport {
    static constexpr std::size_t kLogCap = 4 * 1024 * 1024;    // the newest part of each log
    static constexpr std::size_t kPayloadCap = 256 * 1024;

    std::string stateDir;      // holds logs/server.log and logs/server.previous.log
    std::string resourceDir;   // holds PAYLOAD.json
    std::string version;
    std::string graphics;
    std::vector<std::string> platform;  // "name: value" lines: versions, session, scale
    std::string serverState;
    long long port = 0;
    std::string lastLoadError;  // empty: none this run
    std::vector<std::string> homes;  // the home folders to mask
    std::optional<std::string> hub;  // STUDIO_HUB, as the server is given it; absent when unset
    std::vector<std::string> debugLog;  // its newest lines (DebugLog); no entry when empty

    // The entries of the zip, the summary last.
    std::vector<ZipEntry> build() const;

    // Builds the report and writes it to `path` as a zip, atomically. The
    // reason when it could not be written.
    std::optional<std::string> save(const std::string& path) const;
};

// `text` with every occurrence of one of `homes` that ends at a path boundary
// replaced by "~". Longer homes are replaced first.
std::string maskHomes(std::string text, std::vector<std::string> homes);

// `address` with its user name and password (everything before its last "@"),
// its query values and its fragment shown as "***"; query names stay. With a
// "?" or "#" before that "@", all after the "@" is masked too. The studio
// server's desk masks the hub address by the same rule.
std::string withoutSecrets(const std::string& address);

// The user's home folders: the account's (password database) and $HOME, when they differ.
std::vector<std::string> userHomes();

} // namespace quillbay
