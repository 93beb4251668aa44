#pragma once

#include <string>

namespace quillbay {

// The style sheet of the window, the cards and the loading bar.
std::string quillbayStyleSheet();

// Installs the style sheet for the default display (once) and asks for the
// dark variant of the theme so the stock controls sit well on charcoal.
void installQuillbayStyle();

} // namespace quillbay
