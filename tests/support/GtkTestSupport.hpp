#pragma once

// GTK for the tests that show windows, kept away from the user's desktop.

#include "tests/support/TestSupport.hpp"

#include <gtk/gtk.h>
#include <gtkmm/init.h>
#include <gtkmm/messagedialog.h>
#include <gtkmm/window.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace quillbay::testing {

// GTK once per test binary, on the cheapest renderers, with private XDG folders
// whose data folders hold everything of /usr/share but the applications and
// without a session bus: nothing can open anything, nothing reaches the user's
// folders. False without a display.
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
        if (!gtk_init_check())
            return false;
        Gtk::init_gtkmm_internals();
        return true;
    }();
    return started;
}

// The message dialog on screen, if any.
// The message dialog on screen now whose texts hold `containing`, if any.
inline Gtk::MessageDialog* shownMessageDialog(const std::string& containing = "")
{
    for (auto* window : Gtk::Window::list_toplevels()) {
        auto* dialog = dynamic_cast<Gtk::MessageDialog*>(window);
        if (!dialog || !dialog->get_visible())
            continue;
        const std::string texts = dialog->property_text().get_value() + "\n" + dialog->property_secondary_text().get_value();
        if (texts.find(containing) != std::string::npos)
            return dialog;
    }
    return nullptr;
}

} // namespace quillbay::testing
