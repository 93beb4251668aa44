#include "app/commands/ShortcutsWindow.hpp"

#include "app/commands/CommandTable.hpp"

#include <glib/gi18n.h>
#include <gtk/gtk.h>

namespace quillbay {

namespace {

// GTK 4.8 has no call that adds a group to a section or a shortcut to a group
// (later versions add them); a builder file adds them through the buildable
// interface, and so does this.
void addChild(GObject* parent, gpointer child, GtkBuilder* builder)
{
    GTK_BUILDABLE_GET_IFACE(parent)->add_child(GTK_BUILDABLE(parent), builder, G_OBJECT(child), nullptr);
}

std::string listedKeys(const Command& command)
{
    std::string keys;
    for (std::string_view key : command.keys)
        keys += (keys.empty() ? "" : " ") + std::string(key);
    return keys;
}

GObject* groupOf(KeyGroup group, GtkBuilder* builder)
{
    GObject* box = G_OBJECT(g_object_new(GTK_TYPE_SHORTCUTS_GROUP, "title", groupTitle(group).c_str(), nullptr));
    for (const Command& command : commandTable()) {
        if (command.group != group)
            continue;
        addChild(box,
                 g_object_new(GTK_TYPE_SHORTCUTS_SHORTCUT, "title", plainLabel(command).c_str(), "accelerator",
                              listedKeys(command).c_str(), nullptr),
                 builder);
    }
    return box;
}

} // namespace

std::unique_ptr<Gtk::ShortcutsWindow> ShortcutsWindow::create()
{
    GtkBuilder* builder = gtk_builder_new();
    const std::string title = _("Keyboard Shortcuts");
    GObject* window = G_OBJECT(g_object_new(GTK_TYPE_SHORTCUTS_WINDOW, "modal", TRUE, "title", title.c_str(), nullptr));
    GObject* section = G_OBJECT(g_object_new(GTK_TYPE_SHORTCUTS_SECTION, "section-name", "shortcuts", "title",
                                             title.c_str(), "max-height", 12, nullptr));
    for (KeyGroup group : kKeyGroups)
        addChild(section, groupOf(group, builder), builder);
    addChild(window, section, builder);
    g_object_unref(builder);
    // The wrapper owns the window: deleting it destroys the window.
    return std::unique_ptr<Gtk::ShortcutsWindow>(Glib::wrap(GTK_SHORTCUTS_WINDOW(window)));
}

} // namespace quillbay
