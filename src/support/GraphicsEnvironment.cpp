#include "support/GraphicsEnvironment.hpp"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

namespace quillbay {

namespace {

bool envTrue(const char* name)
{
    const char* value = std::getenv(name);
    if (!value)
        return false;
    std::string_view v(value);
    return !v.empty() && v != "0" && v != "false";
}

bool hasRenderNode()
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", ec)) {
        if (entry.path().filename().string().starts_with("renderD"))
            return true;
    }
    return false;
}

bool hasExtension(xcb_connection_t* connection, const char* name)
{
    auto cookie = xcb_query_extension(connection, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_query_extension_reply_t* reply = xcb_query_extension_reply(connection, cookie, nullptr);
    bool present = reply && reply->present;
    std::free(reply);
    return present;
}

bool x11DirectRendering()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    bool direct = false;
    if (!xcb_connection_has_error(connection))
        direct = hasExtension(connection, "DRI3") || hasExtension(connection, "DRI2");
    xcb_disconnect(connection);
    return direct;
}

} // namespace

bool isSoftwareOnlyGraphics(const GraphicsFacts& facts)
{
    if (facts.forcedSoftware || !facts.hasRenderNode)
        return true;
    if (facts.onWayland)
        return false;
    return facts.onX11 && !facts.x11HasDirectRendering;
}

GraphicsFacts probeGraphics()
{
    GraphicsFacts facts;
    facts.forcedSoftware = envTrue("LIBGL_ALWAYS_SOFTWARE");
    facts.hasRenderNode = hasRenderNode();
    const char* backend = std::getenv("GDK_BACKEND");
    bool x11Forced = backend && std::string_view(backend).starts_with("x11");
    facts.onWayland = std::getenv("WAYLAND_DISPLAY") && !x11Forced;
    facts.onX11 = !facts.onWayland && std::getenv("DISPLAY");
    // Only worth a round trip to the X server when a GPU node exists at all.
    if (facts.onX11 && facts.hasRenderNode && !facts.forcedSoftware)
        facts.x11HasDirectRendering = x11DirectRendering();
    return facts;
}

std::string applyRendererDefaults()
{
    if (!isSoftwareOnlyGraphics(probeGraphics()))
        return "hardware GL: toolkit defaults";
    setenv("GSK_RENDERER", "cairo", 0);
    setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
    // GDK still sets up GL when it opens the display (to pick a visual), which
    // with a software rasteriser costs a large part of the start-up before the
    // window; the cairo renderer never uses that context.
    if (std::string_view(std::getenv("GSK_RENDERER")) == "cairo")
        setenv("GDK_DEBUG", "gl-disable", 0);
    return "software GL only: cairo renderer, no DMA-BUF compositing";
}

} // namespace quillbay
