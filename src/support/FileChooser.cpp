#include "support/FileChooser.hpp"

#include "support/DialogParent.hpp"

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
std::vector<std::string> chosenPaths(Gtk::FileChooserNative& dialog)
{
    std::vector<std::string> paths;
    GListModel* files = gtk_file_chooser_get_files(GTK_FILE_CHOOSER(dialog.gobj()));
    for (guint i = 0; files && i < g_list_model_get_n_items(files); ++i) {
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
    return paths;
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
        std::vector<std::string> paths;
        if (response == Gtk::ResponseType::ACCEPT)
            paths = chosenPaths(**held);
        Glib::signal_idle().connect_once([held] { held->reset(); });
        if (chosen)
            chosen(std::move(paths));
    });
    dialog->show();
}

} // namespace quillbay
