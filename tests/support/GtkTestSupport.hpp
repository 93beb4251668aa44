#pragma once

// GTK for the tests that show windows, kept away from the user's desktop.

#include "tests/support/TestSupport.hpp"

#include <gtk/gtk.h>
#include <gtkmm/init.h>
#include <gtkmm/messagedialog.h>
#include <gtkmm/window.h>

namespace quillbay::testing {

// GTK once per binary, on the cheapest renderers, with private XDG folders (all of /usr/share but the
// applications) and no session bus: nothing can open anything or reach the user's folders. False without a display.
inline bool startGtk()
{
    namespace fs = std::filesystem;
    static const TempDir home{"quillbay-gtk"};
    static const bool started = [] {
        for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
            setenv(name, (home / name).c_str(), 1);
        const fs::path share = home / "share";
        fs::create_directories(share);
        for (const auto& entry : fs::directory_iterator("/usr/share"))
            if (entry.path().filename() != "applications")
                fs::create_symlink(entry.path(), share / entry.path().filename());
        setenv("XDG_DATA_DIRS", share.c_str(), 1);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        setenv("GSK_RENDERER", "cairo", 0);
        setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
        return gtk_init_check() && (Gtk::init_gtkmm_internals(), true);
    }();
    return started;
}

// The message dialog on screen now whose texts hold `containing`, if any.
inline Gtk::MessageDialog* shownMessageDialog(const std::string& containing = "")
{
    for (auto* window : Gtk::Window::list_toplevels())
        if (auto* dialog = dynamic_cast<Gtk::MessageDialog*>(window); dialog && dialog->get_visible() &&
            (dialog->property_text().get_value() + "\n" + dialog->property_secondary_text().get_value()).find(containing) !=
                std::string::npos)
            return dialog;
    return nullptr;
}

} // namespace quillbay::testing
