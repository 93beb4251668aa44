#include "ui/find/FindBarLogic.hpp"

#include <gdk/gdkkeysyms.h>
#include <glib/gi18n.h>

namespace quillbay {

FindBarLogic::Status FindBarLogic::status(const std::string& query, std::optional<unsigned> matches,
                                          std::optional<unsigned> current, unsigned limit)
{
    if (query.empty())
        return {};
    if (!matches || *matches == 0)
        return {_("No matches"), true};
    if (*matches > limit) {
        gchar* text = g_strdup_printf(_("More than %u matches"), limit);
        Status status{text, false};
        g_free(text);
        return status;
    }
    // "2 of 7": the current match, of all of them.
    gchar* text = current && *current <= *matches
                      ? g_strdup_printf(_("%u of %u"), *current, *matches)
                      : g_strdup_printf(ngettext("%u match", "%u matches", *matches), *matches);
    Status status{text, false};
    g_free(text);
    return status;
}

FindBarLogic::KeyAction FindBarLogic::keyAction(unsigned keyval, bool shift)
{
    switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
        return shift ? KeyAction::Previous : KeyAction::Next;
    case GDK_KEY_Escape:
        return KeyAction::Close;
    default:
        return KeyAction::None;
    }
}

} // namespace quillbay
