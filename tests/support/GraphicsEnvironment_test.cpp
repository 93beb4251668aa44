#include "support/GraphicsEnvironment.hpp"

#include <gtest/gtest.h>

using namespace quillbay;

TEST(GraphicsEnvironment, SoftwareOnlyWithoutAGpuOrWithoutDirectRendering)
{
    GraphicsFacts xvfb{.forcedSoftware = false, .hasRenderNode = false, .onWayland = false, .onX11 = true,
                       .x11HasDirectRendering = false};
    EXPECT_TRUE(isSoftwareOnlyGraphics(xvfb));

    GraphicsFacts xvfbOnGpuMachine = xvfb;
    xvfbOnGpuMachine.hasRenderNode = true;
    EXPECT_TRUE(isSoftwareOnlyGraphics(xvfbOnGpuMachine));

    GraphicsFacts xorg = xvfbOnGpuMachine;
    xorg.x11HasDirectRendering = true;
    EXPECT_FALSE(isSoftwareOnlyGraphics(xorg));

    GraphicsFacts wayland{.forcedSoftware = false, .hasRenderNode = true, .onWayland = true, .onX11 = false,
                          .x11HasDirectRendering = false};
    EXPECT_FALSE(isSoftwareOnlyGraphics(wayland));

    wayland.forcedSoftware = true;
    EXPECT_TRUE(isSoftwareOnlyGraphics(wayland));
}
