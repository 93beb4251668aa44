#pragma once

#include <string>

namespace quillbay {

// Where the save dialog of a download starts: the user's XDG Downloads
// folder when it is set and exists, otherwise the home folder.
std::string downloadsFolder();

} // namespace quillbay
