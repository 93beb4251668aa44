#pragma once

#include <string>
#include <vector>

namespace quillbay {

// The summary lines that place a report on a system: the OS release, the
// GTK, WebKitGTK, libsoup and Python versions, the session type and the
// scale. `interpreter` is the bundled Python; `scale` the window's (0: no window).
std::vector<std::string> platformFacts(const std::string& interpreter, int scale);

} // namespace quillbay
