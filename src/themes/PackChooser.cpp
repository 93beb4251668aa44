#include "themes/PackChooser.hpp"

#include <gtkmm/filechoosernative.h>
#include <gtkmm/filefilter.h>
#include <gtkmm/messagedialog.h>
#include <glibmm/main.h>

#include <glib/gi18n.h>

#include <memory>

namespace quillbay {

namespace {

enum Choice { ChooseFolder = 1, ChooseZip = 2 };

void deleteLater(Gtk::Window* window)
{
    window->hide();
    Glib::signal_idle().connect_once([window] { delete window; });
}

void openChooser(Gtk::Window* parent, bool folder, PackPicked picked)
{
    auto chooser = Gtk::FileChooserNative::create(
        _("Install Theme Pack"), folder ? Gtk::FileChooser::Action::SELECT_FOLDER : Gtk::FileChooser::Action::OPEN,
        _("Install"), _("Cancel"));
    if (parent)
        chooser->set_transient_for(*parent);
    chooser->set_modal(true);
    chooser->set_select_multiple(false);
    if (!folder) {
        auto zip = Gtk::FileFilter::create();
        zip->set_name(_("Zip archive"));
        zip->add_pattern("*.zip");
        zip->add_pattern("*.ZIP");
        zip->add_mime_type("application/zip");
        chooser->add_filter(zip);
    }

    // The response handler holds the only extra reference; it lets it go
    // once the chooser has answered.
    auto keep = std::make_shared<Glib::RefPtr<Gtk::FileChooserNative>>(chooser);
    chooser->signal_response().connect([keep, picked](int response) {
        std::optional<std::string> path;
        if (response == Gtk::ResponseType::ACCEPT) {
            auto file = (*keep)->get_file();
            if (file && !file->get_path().empty())
                path = withoutTrailingSlash(file->get_path());
        }
        Glib::signal_idle().connect_once([keep] { keep->reset(); });
        picked(std::move(path));
    });
    chooser->show();
}

} // namespace

std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

void choosePackInteractively(Gtk::Window* parent, PackPicked picked)
{
    auto* question = new Gtk::MessageDialog(_("Install Theme Pack"), false, Gtk::MessageType::QUESTION,
                                            Gtk::ButtonsType::NONE, true);
    question->set_secondary_text(_("Choose a Dirar Edezir 2.0 Studio skin: the pack folder or its .zip"));
    question->add_button(_("Cancel"), Gtk::ResponseType::CANCEL);
    question->add_button(_("Pack Folder…"), ChooseFolder);
    question->add_button(_("Zip Archive…"), ChooseZip);
    question->set_default_response(ChooseZip);
    if (parent)
        question->set_transient_for(*parent);
    question->set_hide_on_close(true);
    question->signal_response().connect([question, parent, picked](int response) {
        deleteLater(question);
        if (response == ChooseFolder || response == ChooseZip)
            openChooser(parent, response == ChooseFolder, picked);
        else
            picked(std::nullopt);
    });
    question->show();
}

} // namespace quillbay
