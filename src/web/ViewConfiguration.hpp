#pragma once

// Internal to the web module.

#include <webkit/webkit.h>

namespace quillbay::web {

// A new web view set up for the studio's pages: the default persistent network
// session, autoplay without a gesture, element fullscreen, the inspector, media
// streams, "QuillbayApp/1.0" in the user agent and no background of its own.
// The session's proxy comes from the environment, never for the loopback hosts
// (see ProxyChoice).
// The caller owns the one (sunk) reference.
WebKitWebView* createConfiguredView();

} // namespace quillbay::web
