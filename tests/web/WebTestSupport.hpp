#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quillbay::test {

// GTK (and gtkmm) started once per test binary, with the data and cache
// folders of the web engine in a private temporary folder. False without a display.
bool startGtk();

// Runs the main loop until `done` holds or `limit` has passed; returns `done()`.
bool pumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(15));

// Runs the main loop for `span`.
void pumpFor(std::chrono::milliseconds span);

// A fresh folder under the system's temporary folder, removed on destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// tests/fixtures/web_site.py: a studio and a foreign site on ephemeral ports.
class WebSites {
public:
    WebSites();
    ~WebSites();
    WebSites(const WebSites&) = delete;
    WebSites& operator=(const WebSites&) = delete;

    bool ready() const { return studioPort_ > 0; }
    long long studioPort() const { return studioPort_; }
    long long foreignPort() const { return foreignPort_; }
    std::string studio(const std::string& path) const;   // "http://127.0.0.1:<studio>" + path
    std::string foreign(const std::string& path) const;

    // Request lines "PORT PATH | USER-AGENT" seen so far.
    std::vector<std::string> hits() const;
    bool wasRequested(long long port, const std::string& pathAndQuery) const;
    int timesRequested(long long port, const std::string& pathAndQuery) const;

private:
    TempFolder state_;
    void* process_ = nullptr;  // GSubprocess
    long long studioPort_ = 0;
    long long foreignPort_ = 0;
};

// A port on 127.0.0.1 where nothing listens (just released by the system).
long long unusedPort();

// Waits (blocking) until something accepts connections on 127.0.0.1:port.
bool waitUntilListening(long long port, std::chrono::milliseconds limit = std::chrono::seconds(10));

std::string readFile(const std::filesystem::path& path);

} // namespace quillbay::test
