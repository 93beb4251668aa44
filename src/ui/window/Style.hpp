#pragma once

namespace quillbay {

// The style sheet of the window, the cards and the loading bar; it also
// defines the palette as the named colours charcoal, ivory and amber.
inline constexpr const char* kStyleSheetResource = "/org/quillbay/Quillbay/ui/style.css";

// Installs the style sheet for the default display (once) and asks for the
// dark variant of the theme so the stock controls sit well on charcoal.
void installQuillbayStyle();

} // namespace quillbay
