#pragma once

// Internal to the web module: frames inside a page never open dialogs.
//
// WebKitGTK does not say which frame asks for an alert, a confirmation or
// printing, so a frame of another origin would speak under the page's name.
// A script in a world of its own, which page scripts cannot reach, gives every
// frame element of every document the sandbox attribute with everything
// allowed but modal dialogs (a sandbox the page set keeps its own limits). The
// engine applies it from the frame's next document on, and to the frames
// inside it; since frame documents arrive over the network, the attribute is
// in place before the first of them.

#include <webkit/webkit.h>

namespace quillbay::web {

void keepDialogsOutOfFrames(WebKitUserContentManager* manager);

} // namespace quillbay::web
