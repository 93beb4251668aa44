#include "ui/window/Style.hpp"

#include <gdkmm/display.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/settings.h>
#include <gtkmm/stylecontext.h>

namespace quillbay {

void installQuillbayStyle()
{
    static bool installed = false;
    auto display = Gdk::Display::get_default();
    if (installed || !display)
        return;
    installed = true;

    auto provider = Gtk::CssProvider::create();
    provider->load_from_resource(kStyleSheetResource);
    Gtk::StyleContext::add_provider_for_display(display, provider, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    if (auto settings = Gtk::Settings::get_for_display(display))
        settings->property_gtk_application_prefer_dark_theme() = true;
}

} // namespace quillbay
