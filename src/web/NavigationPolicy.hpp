#pragma once

// What the web view may show, decided from plain values. The WebKit glue in
// WebViewModel feeds these functions and applies their answers.

#include <optional>
#include <string>

namespace quillbay {

// Which frame a navigation would replace.
enum class TargetFrame {
    Main,
    Sub,
    // The engine does not say. The studio's content rules stop a foreign
    // top-frame document before its request leaves, and decideResponse checks
    // again when the response arrives.
    Unknown,
    None,  // the request asks for a new window
};

struct NavigationRequest {
    std::optional<std::string> url;  // none when the request carries no address
    bool isDownload = false;         // e.g. a link with a download attribute
    TargetFrame target = TargetFrame::Main;
    bool userGesture = false;        // started by a click or a key press
};

struct NavigationDecision {
    enum class Kind {
        Allow,
        Ignore,
        Download,
        OpenExternally,  // ignore, and hand `url` (http or https) to the user's browser
        AskToOpen,       // ignore, and hand `url` to its default application if the user agrees
        LoadInView,      // ignore, and load `url` in the one web view instead
    };
    Kind kind = Kind::Ignore;
    std::string url;

    bool operator==(const NavigationDecision&) const = default;
};

// True for a studio page: scheme http, host exactly "127.0.0.1" or "localhost",
// and an explicit port equal to `allowedPort`.
bool isLoopbackURL(const std::string& url, std::optional<long long> allowedPort);

// True for the studio's own address: as isLoopbackURL, but only on 127.0.0.1.
// "localhost" may resolve to ::1, where another user can listen on the same port.
bool isStudioURL(const std::string& url, std::optional<long long> allowedPort);

// The studio address a "localhost" address on `allowedPort` stands for (the same
// address on 127.0.0.1); none for any other address.
std::optional<std::string> studioAddressFor(const std::string& url,
                                            std::optional<long long> allowedPort);

// What becomes of an address that leaves the view: http and https go to the
// browser; other schemes only after the user agrees, and only when a click or
// key press asked for them; file: addresses and in-page content never.
NavigationDecision handOff(const std::string& url, bool userGesture);

// "about", "blob" and "data", compared with the lower-cased scheme.
bool hasInPageScheme(const std::string& url);

// The frame a redirect is for, from the Sec-Fetch-Dest header of the
// redirected request ("document": the top frame; "iframe" or "frame": a
// subframe). WebKitGTK names no frame for other navigation actions.
TargetFrame redirectTarget(const std::string& fetchDestination);

// The content rules (WebKit's content-blocker JSON) that block every top-frame
// document but the studio's pages on 127.0.0.1:`allowedPort` and in-page content.
std::string topFrameRules(std::optional<long long> allowedPort);

// A navigation action (link, script, form, redirect, new window).
NavigationDecision decideNavigation(const NavigationRequest& request,
                                    std::optional<long long> allowedPort);

// A response of a frame's main resource. A foreign address in the main frame
// goes to the default application; what the view cannot show is downloaded.
NavigationDecision decideResponse(const std::string& url, bool mainFrame, bool canShowMIMEType,
                                  std::optional<long long> allowedPort);

// Microphone or camera: granted only to the studio origin.
bool allowsMediaCapture(const std::string& originURL, std::optional<long long> allowedPort);

} // namespace quillbay
