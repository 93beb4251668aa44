#pragma once

#include <glib.h>

#include <string>

namespace quillbay {

// printf-style formatting into a std::string, for translated texts with
// arguments: format(_("%s says"), origin.c_str()). The compiler checks the
// arguments against the format. The one formatting helper of this program.
std::string format(const char* pattern, ...) G_GNUC_PRINTF(1, 2);

} // namespace quillbay
