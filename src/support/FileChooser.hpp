#pragma once

#include <glibmm/refptr.h>
#include <glibmm/ustring.h>

#include <functional>
#include <string>
#include <vector>

namespace Gtk {
class FileFilter;
}

namespace quillbay {

// One question to the desktop's file chooser.
struct FileChoice {
    enum class Mode { OpenFile, OpenFolder, Save };

    Mode mode = Mode::OpenFile;
    Glib::ustring title;
    Glib::ustring acceptLabel;             // empty: GTK's own
    bool multiple = false;                 // OpenFile only
    std::string folder;                    // where it starts; empty: GTK's choice
    std::string name;                      // Save only: the suggested file name
    Glib::RefPtr<Gtk::FileFilter> filter;  // optional
};

// The chosen local paths, without trailing slashes; empty when the user
// cancelled or chose nothing local.
using FilesChosen = std::function<void(std::vector<std::string> paths)>;

// Where the chooser says that a choice had no local path (a network location
// seen through a portal, say), so that it never passes for a cancel. The main
// window puts it in its toast; a cancel stays silent.
using ChooserTell = std::function<void(const std::string& sentence)>;
void setChooserTell(ChooserTell tell);

// Runs a native file chooser, window-modal to the dialog parent, without a
// nested main loop. It stays alive until it answers; `chosen` then runs once,
// from the main loop.
void chooseFiles(const FileChoice& choice, FilesChosen chosen);

} // namespace quillbay
