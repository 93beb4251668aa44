#include "app/commands/ShortcutsWindow.hpp"

#include <glib.h>
#include <glib/gi18n.h>
#include <gtkmm/builder.h>

namespace quillbay {

namespace {

std::string escaped(const std::string& text)
{
    gchar* escapedText = g_markup_escape_text(text.c_str(), -1);
    std::string result(escapedText);
    g_free(escapedText);
    return result;
}

std::string property(const char* name, const std::string& value)
{
    return "<property name=\"" + std::string(name) + "\">" + escaped(value) + "</property>";
}

} // namespace

std::string ShortcutsWindow::builderText(const std::vector<ShortcutGroup>& groups)
{
    std::string xml = "<interface><object class=\"GtkShortcutsWindow\" id=\"shortcuts\">" + property("modal", "1") +
                      "<child><object class=\"GtkShortcutsSection\">" + property("section-name", "shortcuts") +
                      property("title", _("Keyboard Shortcuts")) + property("max-height", "12");
    for (const ShortcutGroup& group : groups) {
        xml += "<child><object class=\"GtkShortcutsGroup\">" + property("title", group.title);
        for (const Shortcut& shortcut : group.shortcuts) {
            if (shortcut.accelerators.empty())
                continue;
            xml += "<child><object class=\"GtkShortcutsShortcut\">" + property("title", shortcut.title) +
                   property("accelerator", shortcut.accelerators.front()) + "</object></child>";
        }
        xml += "</object></child>";
    }
    xml += "</object></child></object></interface>";
    return xml;
}

std::unique_ptr<Gtk::ShortcutsWindow> ShortcutsWindow::create(const std::vector<ShortcutGroup>& groups)
{
    auto builder = Gtk::Builder::create();
    try {
        builder->add_from_string(builderText(groups));
    } catch (const Glib::Error&) {
        return {};
    }
    // A builder's toplevel window belongs to whoever takes it.
    return std::unique_ptr<Gtk::ShortcutsWindow>(builder->get_widget<Gtk::ShortcutsWindow>("shortcuts"));
}

} // namespace quillbay
