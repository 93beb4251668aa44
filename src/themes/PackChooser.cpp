#include "themes/PackChooser.hpp"

#include "support/ModalAlert.hpp"

#include <gtkmm/filechoosernative.h>
#include <gtkmm/filefilter.h>
#include <glibmm/main.h>

#include <glib/gi18n.h>

#include <memory>

namespace quillbay {

namespace {

enum Choice { ChooseFolder = 1, ChooseZip = 2 };

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
    Alert question;
    question.type = Gtk::MessageType::QUESTION;
    question.message = _("Install Theme Pack");
    question.detail = _("Choose a Dirar Edezir 2.0 Studio skin: the pack folder or its .zip");
    question.buttons = {{_("Cancel"), static_cast<int>(Gtk::ResponseType::CANCEL)},
                        {_("Pack Folder…"), ChooseFolder},
                        {_("Zip Archive…"), ChooseZip}};
    question.defaultResponse = ChooseZip;
    showModalAlert(parent, question, [parent, picked](int response) {
        if (response == ChooseFolder || response == ChooseZip)
            openChooser(parent, response == ChooseFolder, picked);
        else
            picked(std::nullopt);
    });
}

} // namespace quillbay
