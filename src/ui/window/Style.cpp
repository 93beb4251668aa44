#include "ui/window/Style.hpp"

#include "ui/window/Palette.hpp"

#include <gtkmm/cssprovider.h>
#include <gtkmm/settings.h>
#include <gtkmm/stylecontext.h>
#include <gdkmm/display.h>

namespace quillbay {

std::string quillbayStyleSheet()
{
    const std::string charcoal = Palette::charcoal().css();
    const std::string ivory = Palette::ivory().css();
    const std::string amber = Palette::amber().css();
    std::string css;
    css += "window.quillbay, window.quillbay headerbar, window.quillbay menubar, .quillbay-content { background: none; background-color: " +
           charcoal + "; }\n";
    css += "window.quillbay headerbar { box-shadow: none; border-bottom-color: transparent; }\n";

    // The chrome is charcoal whatever the system theme, so its text and
    // controls are coloured here too: a light theme would draw them dark.
    css += "window.quillbay headerbar, window.quillbay menubar item { color: " + ivory + "; }\n";
    css += "window.quillbay menubar item:hover, window.quillbay menubar item:selected { background-color: " +
           Palette::ivory().css(0.16) + "; color: " + ivory + "; }\n";
    css += "window.quillbay headerbar button { color: " + ivory + "; background: none; background-color: " +
           Palette::ivory().css(0.08) + "; border-color: transparent; box-shadow: none; }\n";
    css += "window.quillbay headerbar button:hover { background-color: " + Palette::ivory().css(0.16) + "; }\n";
    css += "window.quillbay headerbar button:active { background-color: " + Palette::ivory().css(0.24) + "; }\n";
    css += "window.quillbay headerbar button:disabled { color: " + Palette::ivory().css(0.4) + "; }\n";
    css += "window.quillbay headerbar windowcontrols button { background-color: transparent; }\n";
    css += "window.quillbay headerbar windowcontrols button:hover { background-color: " + Palette::ivory().css(0.16) + "; }\n";
    // Keyboard focus must be seen at once on the dark chrome.
    css += "window.quillbay headerbar button:focus-visible { outline: 2px solid " + amber + "; outline-offset: 2px; }\n";

    // The chosen page reads at a glance: amber, like the studio's own page tabs.
    css += "window.quillbay headerbar .page-switch > button { min-width: 64px; }\n";
    css += "window.quillbay headerbar .page-switch > button:checked { background: " + amber +
           "; background-image: none; color: " + charcoal + "; font-weight: 600; }\n";
    css += "window.quillbay headerbar .page-switch > button:checked:focus-visible { outline-color: " + ivory + "; }\n";

    css += ".card-headline { font-family: monospace; font-size: 13px; font-weight: 600; }\n";
    css += ".card-footnote { font-family: monospace; font-size: 10px; }\n";

    css += ".server-card { padding: 32px; color: " + ivory + "; }\n";
    css += ".server-card .explanation { color: " + Palette::ivory().css(0.7) + "; }\n";
    css += ".server-card .failure-message { color: " + Palette::ivory().css(0.85) + "; }\n";
    css += ".server-card spinner { color: " + amber + "; }\n";
    css += ".log-box { padding: 8px; background-color: rgba(0, 0, 0, 0.35); border-radius: 4px; }\n";
    css += ".log-box scrolledwindow, .log-box textview, .log-box textview text { background: none; background-color: transparent; }\n";
    css += ".log-box textview { font-family: monospace; font-size: 11px; color: " + ivory + "; }\n";

    css += ".load-error-card { padding: 28px; color: " + ivory + "; background-color: " + Palette::charcoal().css(0.92) +
           "; border-radius: 6px; }\n";

    css += "progressbar.loading-bar > trough { min-height: 3px; background: none; border: none; box-shadow: none; }\n";
    css += "progressbar.loading-bar > trough > progress { min-height: 3px; background-color: " + amber +
           "; border-color: " + amber + "; border-radius: 0; }\n";

    css += ".notice { margin-top: 12px; padding: 8px 16px; border-radius: 6px; color: " + ivory +
           "; background-color: " + Palette::charcoal().css(0.92) + "; font-family: monospace; font-size: 11px; }\n";
    css += ".server-card .attempt-line { color: " + Palette::ivory().css(0.7) + "; }\n";
    css += ".toast { margin-bottom: 24px; padding: 6px 8px 6px 16px; border-radius: 8px; color: " + ivory +
           "; background-color: rgba(20, 20, 20, 0.95); box-shadow: 0 2px 8px rgba(0, 0, 0, 0.5); }\n";
    css += ".find-status.error { color: #ff8a80; }\n";
    // The page itself as a Tab stop: drawn inside its edge, over the page.
    css += ".studio-page:focus-visible { outline: 2px solid " + amber + "; outline-offset: -2px; }\n";
    return css;
}

void installQuillbayStyle()
{
    static bool installed = false;
    auto display = Gdk::Display::get_default();
    if (installed || !display)
        return;
    installed = true;

    auto provider = Gtk::CssProvider::create();
    provider->load_from_data(quillbayStyleSheet());
    Gtk::StyleContext::add_provider_for_display(display, provider, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    if (auto settings = Gtk::Settings::get_for_display(display))
        settings->property_gtk_application_prefer_dark_theme() = true;
}

} // namespace quillbay
