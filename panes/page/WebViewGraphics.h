// WebViewGraphics: how the web views (and any other Qt Quick content) are drawn on screen.
//
// A web view is composed through Qt Quick's scene graph. On a machine with a GPU that is OpenGL; on
// one without, OpenGL is a software rasterizer (Mesa's llvmpipe, softpipe or swrast), which spends
// several threads on every repaint of the window and keeps a core busy while the reader is idle.
// There the software scene graph draws the same pages at a fraction of the cost, and the window is
// repainted only where something changed. choose() decides once at start-up from the OpenGL
// renderer's name.
//
// The user may decide instead: QS_WEBVIEW_GRAPHICS=software or =opengl (anything else: decide as
// usual), and a scene graph already chosen through Qt's own variables (QT_QUICK_BACKEND,
// QSG_RHI_BACKEND, when not empty) is left as it is, and the log says so.
//
// On a machine with no GPU device at all (no /dev/dri node, no NVIDIA device) nothing is probed:
// prepare(), before the application object, picks the software scene graph and keeps Qt from
// loading OpenGL (QT_XCB_GL_INTEGRATION=none, unless set, for the reader's own start only:
// platform/StartupEnvironment.h), which would map Mesa's software rasterizer into the reader for
// nothing; choose() has the platform plugin settle that before the variable goes back. With a GPU
// device, choose() asks OpenGL as above.
//
// prepare() runs before the QApplication is made; choose() on the main thread after it and before
// the first web view, Qt Quick window or widget is. QT_LOGGING_RULES="qs.panes.page.graphics.info=true" logs the
// decision.
#pragma once

#include <QByteArray>

#include <optional>

namespace WebViewGraphics {

enum class Choice {
    OpenGL,    // the default scene graph, through the GPU
    Software,  // Qt Quick's software scene graph
    Left,      // the scene graph was chosen through Qt's own variables: nothing changed
};

// The decision for an OpenGL renderer name (GL_RENDERER; empty when no OpenGL context could be made)
// and the user's QS_WEBVIEW_GRAPHICS value. Pure: no Qt state is read or changed.
Choice decide(const QByteArray& rendererName, const QByteArray& override);

// Whether Qt's own variables (QT_QUICK_BACKEND, QSG_RHI_BACKEND) already choose the scene graph:
// a value that is empty or blank counts as unset.
bool leftToQt(const QByteArray& quickBackend, const QByteArray& rhiBackend);

// Whether an OpenGL renderer name is that of a software rasterizer.
bool isSoftwareRasterizer(const QByteArray& rendererName);

// The decision that needs no OpenGL renderer name: the user's word, or the software scene graph
// where the machine has no GPU device; nothing when OpenGL must be asked. Pure.
std::optional<Choice> decideWithoutProbe(const QByteArray& override, bool gpuDevice);

// Whether the machine has a GPU device node (/dev/dri/renderD*, /dev/dri/card*, /dev/nvidia0).
bool hasGpuDevice();

// Before the application object: decides what needs no probe, and keeps OpenGL from loading when
// the software scene graph is chosen so. choose() then applies that decision.
void prepare();

// The OpenGL renderer's name from a small offscreen context; empty when none can be made.
QByteArray probeRendererName();

// Decides and applies the decision (QQuickWindow::setGraphicsApi). Returns what was chosen. Only the
// first call decides; later calls return the first answer.
Choice choose();

// The name of a choice, for logs and benchmarks ("opengl", "software", "left").
const char* choiceName(Choice choice);

}  // namespace WebViewGraphics
