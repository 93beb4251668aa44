#include "support/GraphicsEnvironment.hpp"

#include <gtest/gtest.h>

namespace quillbay {
namespace {

TEST(GraphicsEnvironment, SoftwareOnlyWithoutAGpuOrWithoutDirectRendering)
{
    // forced software, render node, Wayland, X11, X11 direct rendering -> software only
    const std::pair<GraphicsFacts, bool> cases[] = {
        {{false, false, false, true, false}, true},  // Xvfb
        {{false, true, false, true, false}, true},   // Xvfb on a machine with a GPU
        {{false, true, false, true, true}, false},   // Xorg
        {{false, true, true, false, false}, false},  // Wayland
        {{true, true, true, false, false}, true},
    };
    for (const auto& [facts, softwareOnly] : cases)
        EXPECT_EQ(isSoftwareOnlyGraphics(facts), softwareOnly) << facts.hasRenderNode << facts.onWayland << facts.x11HasDirectRendering;
}

} // namespace
} // namespace quillbay
