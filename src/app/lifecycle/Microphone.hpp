#pragma once

#include <functional>
#include <string>

namespace quillbay {

// Asks for microphone access once per launch and, when it is refused,
// explains where it is granted in a modal alert that offers to open the
// desktop's settings.
class Microphone {
public:
    // Delivers the platform's answer once, on any thread.
    using Answer = std::function<void(bool granted)>;
    using Request = std::function<void(Answer)>;
    // Opens the desktop's microphone privacy (or sound) settings, if it has any.
    using SettingsOpener = std::function<void()>;

    // What the launch uses; an empty member means the platform's own.
    struct Platform {
        Request request;                        // default: platformRequest()
        SettingsOpener openSettings;            // default: desktopSettingsOpener()
    };

    // Issues the request and returns at once; the alert, if any, comes later
    // on the main loop.
    static void ask(Platform platform);
    static void ask() { ask(Platform{}); }

    static Request platformRequest();
    static SettingsOpener desktopSettingsOpener();

    // The alert, on the main thread. Public so that it can be shown directly.
    static void showRefusalAlert(SettingsOpener openSettings);
};

} // namespace quillbay
