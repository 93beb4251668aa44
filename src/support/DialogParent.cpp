#include "support/DialogParent.hpp"

#include <gtkmm/application.h>

namespace quillbay {

Gtk::Window* dialogParent()
{
    auto app = std::dynamic_pointer_cast<Gtk::Application>(Gio::Application::get_default());
    return app ? app->get_active_window() : nullptr;
}

} // namespace quillbay
