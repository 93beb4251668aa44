#include "themes/PackChooser.hpp"

#include "support/FileChooser.hpp"
#include "support/ModalAlert.hpp"

#include <gtkmm/filefilter.h>

#include <glib/gi18n.h>

namespace quillbay {

namespace {

enum Choice { ChooseFolder = 1, ChooseZip = 2 };

FileChoice packChoice(bool folder)
{
    FileChoice choice;
    choice.mode = folder ? FileChoice::Mode::OpenFolder : FileChoice::Mode::OpenFile;
    choice.title = _("Install Theme Pack");
    choice.acceptLabel = _("Install");
    if (!folder) {
        choice.filter = Gtk::FileFilter::create();
        choice.filter->set_name(_("Zip archive"));
        choice.filter->add_pattern("*.zip");
        choice.filter->add_pattern("*.ZIP");
        choice.filter->add_mime_type("application/zip");
    }
    return choice;
}

} // namespace

void choosePackInteractively(PackPicked picked)
{
    Alert question;
    question.type = Gtk::MessageType::QUESTION;
    question.message = _("Install Theme Pack");
    question.detail = _("Choose a Dirar Edezir 2.0 Studio skin: the pack folder or its .zip");
    question.buttons = {{_("Cancel"), static_cast<int>(Gtk::ResponseType::CANCEL)},
                        {_("Pack Folder…"), ChooseFolder},
                        {_("Zip Archive…"), ChooseZip}};
    question.defaultResponse = ChooseZip;
    showModalAlert(question, [picked](int response) {
        if (response != ChooseFolder && response != ChooseZip) {
            picked(std::nullopt);
            return;
        }
        chooseFiles(packChoice(response == ChooseFolder), [picked](std::vector<std::string> paths) {
            picked(paths.empty() ? std::nullopt : std::optional<std::string>(paths.front()));
        });
    });
}

} // namespace quillbay
