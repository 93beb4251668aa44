#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillbay {

// The chosen item's absolute path without a trailing slash; none when the
// user cancelled.
using PackPicked = std::function<void(std::optional<std::string> path)>;

// Lets the user pick a theme pack: the pack folder or its .zip. GTK's chooser
// picks either files or folders in one dialog, so a short window-modal
// question asks which of the two comes first, then the file chooser opens in
// that mode. Never runs a nested main loop; `picked` runs once.
void choosePackInteractively(PackPicked picked);

} // namespace quillbay
