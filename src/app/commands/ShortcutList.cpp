#include "app/commands/ShortcutList.hpp"

#include <glib/gi18n.h>

namespace quillbay {

std::vector<ShortcutGroup> quillbayShortcuts()
{
    return {
        {_("Window"),
         {{_("Close Window"), {"<Primary>w"}, "window.close"},
          {_("Quit"), {"<Primary>q"}, "app.quit"},
          {_("Keyboard Shortcuts"), {"<Primary>question"}, "app.shortcuts"}}},
        {_("Page"),
         {{_("Reload"), {"<Primary>r"}, "win.reload"},
          {_("Find in Page"), {"<Primary>f"}, "win.find"},
          {_("Next Match"), {"Return"}, ""},
          {_("Previous Match"), {"<Shift>Return"}, ""},
          {_("Close the Find Bar"), {"Escape"}, ""}}},
        {_("Zoom"),
         {{_("Zoom In"), {"<Primary>plus", "<Primary>equal", "<Primary>KP_Add"}, "win.zoom-in"},
          {_("Zoom Out"), {"<Primary>minus", "<Primary>KP_Subtract"}, "win.zoom-out"},
          {_("Actual Size"), {"<Primary>0", "<Primary>KP_0"}, "win.zoom-reset"}}},
        {_("Theme Packs"), {{_("Install Theme Pack\u2026"), {"<Primary><Shift>i"}, "app.install-theme"}}},
    };
}

} // namespace quillbay
