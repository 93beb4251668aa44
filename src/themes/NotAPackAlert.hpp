#pragma once

#include <string>

namespace quillbay {

// The warning shown when the server refuses a pack, closed by its OK button.
void showNotAPackAlert(const std::string& reason);

} // namespace quillbay
