#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quillbay {

// The shell's own debug log. The program logs its decisions with g_debug,
// g_info and g_warning under one domain, "Quillbay" (G_LOG_DOMAIN, set for
// every module by the build). GLib's default writer decides what is shown:
// nothing below a message unless G_MESSAGES_DEBUG names Quillbay (or "all"),
// and the journal when standard error is connected to it. install() sends
// what is shown to standard error, and puts a writer in front that also keeps
// the newest kLines lines of the domain in memory, shown or not, for the
// diagnostics zip. Safe from any thread.
class DebugLog {
public:
    static constexpr std::size_t kLines = 500;
    static constexpr const char* kDomain = "Quillbay";

    // Once per process; later calls do nothing.
    static void install();
    // The kept lines, oldest first, each "HH:MM:SS.mmm LEVEL message".
    static std::vector<std::string> recent();
};

} // namespace quillbay
