#pragma once

#include "ui/ContentView.hpp"

#include <gtkmm/applicationwindow.h>

namespace quillbay {

// The one window: "Quillbay", the toolbar as its title bar, ContentView inside.
class MainWindow : public Gtk::ApplicationWindow {
public:
    MainWindow(ServerProcess& server, WebViewModel& web, ThemePacks& themes, PagePreference preference = PagePreference());

    ContentView& content() { return content_; }

private:
    ContentView content_;
};

} // namespace quillbay
