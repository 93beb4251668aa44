#pragma once

#include "ui/window/Command.hpp"

#include <vector>

namespace quillbay {

// The Server Output window's own keys, on its "output" actions: the window
// installs them and the Shortcuts window lists them. They are not the
// application's, so the menus and its accelerators leave them out.
const std::vector<Command>& outputWindowCommands();

} // namespace quillbay
