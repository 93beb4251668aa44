#include "support/FileChooser.hpp"

#include "support/DialogParent.hpp"
#include "support/MainLoop.hpp"

#include <giomm/file.h>
#include <glibmm/main.h>
#include <gtkmm/filechoosernative.h>
#include <gtkmm/dialog.h>
#include <gtkmm/filefilter.h>
#include <gtkmm/window.h>

#include <gtk/gtk.h>

#include <glib/gi18n.h>

#include <memory>

namespace quillbay {

namespace {

ChooserTell& chooserTell()
{
    static ChooserTell tell;
    return tell;
}

Gtk::FileChooser::Action actionFor(FileChoice::Mode mode)
{
    switch (mode) {
    case FileChoice::Mode::OpenFolder:
        return Gtk::FileChooser::Action::SELECT_FOLDER;
    case FileChoice::Mode::Save:
        return Gtk::FileChooser::Action::SAVE;
    case FileChoice::Mode::OpenFile:
        break;
    }
    return Gtk::FileChooser::Action::OPEN;
}

std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Read through the C API: glibmm cannot wrap the GLocalFile objects of the list
// as Gio::File and would hand back null for every one of them.
struct ChosenPaths {
    std::vector<std::string> paths;
    bool withoutPath = false;  // something was chosen that has no local path
};

ChosenPaths chosenPaths(Gtk::FileChooserNative& dialog)
{
    ChosenPaths chosen;
    auto& paths = chosen.paths;
    GListModel* files = gtk_file_chooser_get_files(GTK_FILE_CHOOSER(dialog.gobj()));
    const guint count = files ? g_list_model_get_n_items(files) : 0;
    for (guint i = 0; i < count; ++i) {
        auto* file = static_cast<GFile*>(g_list_model_get_item(files, i));
        if (char* path = file ? g_file_get_path(file) : nullptr) {
            paths.push_back(withoutTrailingSlash(path));
            g_free(path);
        }
        if (file)
            g_object_unref(file);
    }
    if (files)
        g_object_unref(files);
    chosen.withoutPath = paths.size() < count;
    return chosen;
}

Glib::RefPtr<Gtk::FileChooserNative> makeChooser(const FileChoice& choice)
{
    auto dialog = Gtk::FileChooserNative::create(choice.title, actionFor(choice.mode), choice.acceptLabel, _("_Cancel"));
    if (Gtk::Window* parent = dialogParent())
        dialog->set_transient_for(*parent);
    dialog->set_modal(true);
    dialog->set_select_multiple(choice.mode == FileChoice::Mode::OpenFile && choice.multiple);
    if (!choice.folder.empty())
        dialog->set_current_folder(Gio::File::create_for_path(choice.folder));
    if (choice.mode == FileChoice::Mode::Save) {
        dialog->set_create_folders(true);
        dialog->set_current_name(choice.name);
    }
    if (choice.filter)
        dialog->add_filter(choice.filter);
    return dialog;
}

} // namespace

void setChooserTell(ChooserTell tell) { chooserTell() = std::move(tell); }

void chooseFiles(const FileChoice& choice, FilesChosen chosen)
{
    auto dialog = makeChooser(choice);
    // The handler holds the only lasting reference and gives it up once the
    // chooser has answered; the answer may come while the dialog still runs
    // its own signal, so the last reference goes from the main loop.
    auto held = std::make_shared<Glib::RefPtr<Gtk::FileChooserNative>>(dialog);
    dialog->signal_response().connect([held, chosen = std::move(chosen)](int response) {
        if (!*held)
            return;
        ChosenPaths answer;
        if (response == Gtk::ResponseType::ACCEPT)
            answer = chosenPaths(**held);
        postToMainLoop([held] { held->reset(); }, G_PRIORITY_DEFAULT_IDLE);
        g_debug("chooser: %s: %s, %zu local path(s)%s", (*held)->get_title().c_str(),
                response == Gtk::ResponseType::ACCEPT ? "accepted" : "cancelled", answer.paths.size(),
                answer.withoutPath ? ", something without a local path" : "");
        if (answer.withoutPath && chooserTell())
            chooserTell()(_("Quillbay can use only files and folders on this computer; what was chosen has no local path."));
        if (chosen)
            chosen(std::move(answer.paths));
    });
    dialog->show();
}

} // namespace quillbay
