#include "ui/find/FindBarLogic.hpp"

#include "support/Format.hpp"

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
    if (*matches > limit)
        return {format(_("More than %u matches"), limit), false};
    // "2 of 7": the current match, of all of them.
    if (current && *current <= *matches)
        return {format(_("%u of %u"), *current, *matches), false};
    return {format(ngettext("%u match", "%u matches", *matches), *matches), false};
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
