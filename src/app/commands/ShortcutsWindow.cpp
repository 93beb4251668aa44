#include "app/commands/ShortcutsWindow.hpp"

#include "app/commands/CommandTable.hpp"
#include "support/Format.hpp"
#include "ui/output/OutputCommands.hpp"

#include <glib/gi18n.h>
#include <glibmm/markup.h>
#include <gtkmm/builder.h>

namespace quillbay {

namespace {

constexpr const char* kWindowId = "shortcuts";

std::string property(const char* name, const std::string& value)
{
    return format("<property name=\"%s\">%s</property>", name, Glib::Markup::escape_text(value).c_str());
}

std::string listedKeys(const Command& command)
{
    std::string keys;
    for (std::string_view key : command.keys)
        keys += (keys.empty() ? "" : " ") + std::string(key);
    return keys;
}

std::string groupXml(KeyGroup group)
{
    std::string xml = "<child><object class=\"GtkShortcutsGroup\">" + property("title", groupTitle(group));
    for (const auto* table : {&commandTable(), &outputWindowCommands()})
        for (const Command& command : *table)
            if (command.group == group)
                xml += "<child><object class=\"GtkShortcutsShortcut\">" + property("title", plainLabel(command)) +
                       property("accelerator", listedKeys(command)) + "</object></child>";
    return xml + "</object></child>";
}

std::string builderXml()
{
    const std::string title = _("Keyboard Shortcuts");
    std::string xml = format("<interface><object class=\"GtkShortcutsWindow\" id=\"%s\">", kWindowId) +
                      property("modal", "True") + property("hide-on-close", "True") + property("title", title) +
                      "<child><object class=\"GtkShortcutsSection\">" + property("section-name", "shortcuts") +
                      property("title", title) + property("max-height", "12");
    for (KeyGroup group : kKeyGroups)
        xml += groupXml(group);
    return xml + "</object></child></object></interface>";
}

} // namespace

std::unique_ptr<Gtk::ShortcutsWindow> ShortcutsWindow::create()
{
    auto builder = Gtk::Builder::create();
    try {
        builder->add_from_string(builderXml());
    } catch (const Glib::Error& error) {
        g_warning("The Shortcuts window could not be built: %s", error.what());
        return nullptr;
    }
    // A window from a builder is its caller's to delete.
    return std::unique_ptr<Gtk::ShortcutsWindow>(builder->get_widget<Gtk::ShortcutsWindow>(kWindowId));
}

} // namespace quillbay
