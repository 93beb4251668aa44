#include "WebTestSupport.hpp"

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <gtkmm/init.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quillbay::test {
namespace fs = std::filesystem;

bool startGtk()
{
    static const bool started = [] {
        static TempFolder home;  // lives as long as the process
        setenv("XDG_DATA_HOME", (home.path() / "data").c_str(), 1);
        setenv("XDG_CACHE_HOME", (home.path() / "cache").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home.path() / "config").c_str(), 1);
        // Software GL under Xvfb: the cheapest renderers.
        setenv("GSK_RENDERER", "cairo", 0);
        setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
        if (!gtk_init_check()) {
            return false;
        }
        Gtk::init_gtkmm_internals();
        return true;
    }();
    return started;
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    // A steady tick so the loop wakes up to look at `done` and the clock.
    const guint tick = g_timeout_add(10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        g_main_context_iteration(nullptr, TRUE);
    }
    g_source_remove(tick);
    return done();
}

void pumpFor(std::chrono::milliseconds span)
{
    pumpUntil([] { return false; }, span);
}

TempFolder::TempFolder()
{
    std::string pattern = (fs::temp_directory_path() / "quillbay-web-XXXXXX").string();
    if (mkdtemp(pattern.data())) {
        path_ = pattern;
    }
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    if (!path_.empty()) {
        fs::remove_all(path_, ignored);
    }
}

WebSites::WebSites()
{
    const std::string script = std::string(QUILLBAY_FIXTURES_DIR) + "/web_site.py";
    const std::string folder = state_.path().string();
    const char* argv[] = {"python3", script.c_str(), folder.c_str(), nullptr};
    // The fixture ends when its standard input closes, i.e. with us.
    GSubprocess* process = g_subprocess_newv(argv, G_SUBPROCESS_FLAGS_STDIN_PIPE, nullptr);
    process_ = process;
    if (!process) {
        return;
    }
    const fs::path ports = state_.path() / "ports";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(ports) && std::chrono::steady_clock::now() < deadline) {
        usleep(20000);
    }
    std::istringstream in(readFile(ports));
    in >> studioPort_ >> foreignPort_;
}

WebSites::~WebSites()
{
    if (auto* process = static_cast<GSubprocess*>(process_)) {
        g_subprocess_force_exit(process);
        g_subprocess_wait(process, nullptr, nullptr);
        g_object_unref(process);
    }
}

std::string WebSites::studio(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(studioPort_) + path;
}

std::string WebSites::foreign(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(foreignPort_) + path;
}

std::vector<std::string> WebSites::hits() const
{
    std::vector<std::string> lines;
    std::istringstream in(readFile(state_.path() / "hits"));
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

int WebSites::timesRequested(long long port, const std::string& pathAndQuery) const
{
    const std::string prefix = std::to_string(port) + " " + pathAndQuery + " | ";
    int count = 0;
    for (const auto& line : hits()) {
        if (line.rfind(prefix, 0) == 0) {
            ++count;
        }
    }
    return count;
}

bool WebSites::wasRequested(long long port, const std::string& pathAndQuery) const
{
    return timesRequested(port, pathAndQuery) > 0;
}

long long unusedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    long long port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

bool waitUntilListening(long long port, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        const bool accepted = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (accepted) {
            return true;
        }
        usleep(50000);
    }
    return false;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace quillbay::test
