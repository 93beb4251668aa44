#pragma once

#include <string>

namespace quillbay {

// What can be learned about the graphics stack before GTK starts, cheaply.
struct GraphicsFacts {
    bool forcedSoftware = false;     // LIBGL_ALWAYS_SOFTWARE is set to a true value
    bool hasRenderNode = false;      // a /dev/dri/renderD* node exists
    bool onWayland = false;          // GTK will talk to a Wayland compositor
    bool onX11 = false;
    bool x11HasDirectRendering = false;  // the X server offers DRI3 or DRI2
};

// True when OpenGL can only be software rasterised here (no GPU node, or an X
// server without direct rendering such as Xvfb or Xvnc). GTK's GL renderer and
// WebKit's DMA-BUF compositing then cost more than they give.
bool isSoftwareOnlyGraphics(const GraphicsFacts& facts);

GraphicsFacts probeGraphics();

// Before GTK starts: where GL is software only, selects GTK's cairo renderer
// (and then no GL in GDK at all) and WebKit's non-DMA-BUF compositing, unless
// the user chose otherwise.
// Returns a short description of the choice, for diagnostics.
std::string applyRendererDefaults();

} // namespace quillbay
