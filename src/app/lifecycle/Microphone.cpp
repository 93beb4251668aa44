#include "app/lifecycle/Microphone.hpp"

#include "support/MainLoop.hpp"
#include "support/ModalAlert.hpp"

#include <glibmm/main.h>

#include <giomm/desktopappinfo.h>
#include <gio/gio.h>
#include <glib.h>
#include <glib/gi18n.h>

#include <memory>

namespace quillbay {

namespace {

constexpr int kOpenSettings = 1000;
constexpr int kLater = 1001;

// Desktop entries of settings pages that govern the microphone, most
// specific first.
const char* const kSettingsEntries[] = {
    "gnome-microphone-panel.desktop",
    "gnome-privacy-panel.desktop",
    "gnome-sound-panel.desktop",
    "kcm_pulseaudio.desktop",
};

} // namespace

Microphone::Request Microphone::platformRequest()
{
    // Plain Linux desktops have no per-application microphone consent: any
    // program of the user may open the capture device, so the answer is
    // always "granted". (Sandboxed runs get their say through the portal when
    // the page itself asks, which the web view's permission policy handles.)
    return [](Answer answer) { answer(true); };
}

Microphone::SettingsOpener Microphone::desktopSettingsOpener()
{
    return [] {
        for (const char* entry : kSettingsEntries) {
            auto info = Gio::DesktopAppInfo::create(entry);
            if (!info)
                continue;
            // Launch failures are ignored: there is nothing better to offer.
            g_app_info_launch(G_APP_INFO(info->gobj()), nullptr, nullptr, nullptr);
            return;
        }
    };
}

void Microphone::ask(Platform platform)
{
    if (!platform.request)
        platform.request = platformRequest();
    if (!platform.openSettings)
        platform.openSettings = desktopSettingsOpener();
    auto openSettings = std::move(platform.openSettings);
    platform.request([openSettings](bool granted) {
        if (granted)
            return;
        postToMainLoop([openSettings] { showRefusalAlert(openSettings); });
    });
}

void Microphone::showRefusalAlert(SettingsOpener openSettings)
{
    Alert alert;
    alert.message = _("Microphone access is off for Quillbay");
    alert.detail = _("The live room cannot hear the desk until it is allowed in System Settings "
                     "\u203A Privacy & Security \u203A Microphone.");
    alert.buttons = {{_("Open System Settings"), kOpenSettings}, {_("Later"), kLater}};
    alert.defaultResponse = kOpenSettings;
    showModalAlert(alert, [openSettings](int response) {
        if (response == kOpenSettings && openSettings)
            openSettings();
    });
}

} // namespace quillbay
