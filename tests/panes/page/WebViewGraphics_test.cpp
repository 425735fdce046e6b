// Which scene graph draws the web views: the decision from the OpenGL renderer's name and the user's
// QS_WEBVIEW_GRAPHICS value.
#include <gtest/gtest.h>

#include "panes/page/WebViewGraphics.h"

namespace {

using WebViewGraphics::Choice;

TEST(WebViewGraphics, SoftwareRasterizersAreKnownByTheirNames)
{
    for (const char* name : {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Software Rasterizer", "LLVMPIPE",
             "GDI Generic", "Google SwiftShader"})
        EXPECT_TRUE(WebViewGraphics::isSoftwareRasterizer(name)) << name;
    for (const char* name : {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "AMD Radeon RX 6600 (radeonsi, navi23)",
             "NVIDIA GeForce GTX 1060/PCIe/SSE2", "Apple M1", ""})
        EXPECT_FALSE(WebViewGraphics::isSoftwareRasterizer(name)) << name;
}

TEST(WebViewGraphics, TheSoftwareSceneGraphWithoutAGpuAndOpenGLWithOne)
{
    EXPECT_EQ(WebViewGraphics::decide("llvmpipe (LLVM 15.0.6, 256 bits)", {}), Choice::Software);
    EXPECT_EQ(WebViewGraphics::decide("AMD Radeon RX 6600 (radeonsi, navi23)", {}), Choice::OpenGL);
    // No OpenGL context at all: only the software scene graph can draw.
    EXPECT_EQ(WebViewGraphics::decide({}, {}), Choice::Software);
    EXPECT_EQ(WebViewGraphics::decide("  ", {}), Choice::Software);
}

TEST(WebViewGraphics, QtsOwnVariablesDecideOnlyWhenTheyHoldAValue)
{
    EXPECT_FALSE(WebViewGraphics::leftToQt({}, {}));
    EXPECT_FALSE(WebViewGraphics::leftToQt("", " "));
    EXPECT_TRUE(WebViewGraphics::leftToQt("software", {}));
    EXPECT_TRUE(WebViewGraphics::leftToQt("", "opengl"));
}

TEST(WebViewGraphics, WithoutAGpuDeviceNothingIsProbed)
{
    EXPECT_EQ(WebViewGraphics::decideWithoutProbe({}, false), Choice::Software);
    EXPECT_EQ(WebViewGraphics::decideWithoutProbe("auto", false), Choice::Software);
    EXPECT_EQ(WebViewGraphics::decideWithoutProbe({}, true), std::nullopt);
    EXPECT_EQ(WebViewGraphics::decideWithoutProbe(" Software", true), Choice::Software);
    // The user's OpenGL is kept even where no device is seen (a driver this check does not know).
    EXPECT_EQ(WebViewGraphics::decideWithoutProbe("opengl", false), Choice::OpenGL);
}

TEST(WebViewGraphics, TheUsersWordWins)
{
    EXPECT_EQ(WebViewGraphics::decide("AMD Radeon RX 6600", "software"), Choice::Software);
    EXPECT_EQ(WebViewGraphics::decide("llvmpipe", "opengl"), Choice::OpenGL);
    EXPECT_EQ(WebViewGraphics::decide("llvmpipe", " GL "), Choice::OpenGL);
    EXPECT_EQ(WebViewGraphics::decide("llvmpipe", "SOFTWARE"), Choice::Software);
    // Anything else decides as usual.
    EXPECT_EQ(WebViewGraphics::decide("llvmpipe", "vulkan"), Choice::Software);
    EXPECT_EQ(WebViewGraphics::decide("AMD Radeon RX 6600", "auto"), Choice::OpenGL);
    EXPECT_STREQ(WebViewGraphics::choiceName(Choice::Software), "software");
    EXPECT_STREQ(WebViewGraphics::choiceName(Choice::OpenGL), "opengl");
    EXPECT_STREQ(WebViewGraphics::choiceName(Choice::Left), "left");
}

}  // namespace
