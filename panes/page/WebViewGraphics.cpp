#include "panes/page/WebViewGraphics.h"

#include "platform/StartupEnvironment.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <QDir>
#include <QFileInfo>

#include <optional>

Q_LOGGING_CATEGORY(lcWebViewGraphics, "qs.panes.page.graphics", QtWarningMsg)

namespace WebViewGraphics {

bool isSoftwareRasterizer(const QByteArray& rendererName)
{
    const QByteArray name = rendererName.toLower();
    // Mesa's rasterizers name themselves ("llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe",
    // "Software Rasterizer" for swrast); Windows' fallback is "GDI Generic", SwiftShader names itself.
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "software rasterizer", "gdi generic", "swiftshader"})
        if (name.contains(software))
            return true;
    return false;
}

bool leftToQt(const QByteArray& quickBackend, const QByteArray& rhiBackend)
{
    // Qt itself reads an empty value as unset, and so does this choice.
    return !quickBackend.trimmed().isEmpty() || !rhiBackend.trimmed().isEmpty();
}

Choice decide(const QByteArray& rendererName, const QByteArray& override)
{
    const QByteArray wanted = override.trimmed().toLower();
    if (wanted == "software")
        return Choice::Software;
    if (wanted == "opengl" || wanted == "gl")
        return Choice::OpenGL;
    // No OpenGL at all: the software scene graph is the one that can draw.
    if (rendererName.trimmed().isEmpty() || isSoftwareRasterizer(rendererName))
        return Choice::Software;
    return Choice::OpenGL;
}

QByteArray probeRendererName()
{
    QOpenGLContext context;
    if (!context.create())
        return {};
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return {};
    const auto* name = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
    QByteArray out = name != nullptr ? QByteArray(name) : QByteArray();
    context.doneCurrent();
    return out;
}

std::optional<Choice> decideWithoutProbe(const QByteArray& override, bool gpuDevice)
{
    const QByteArray wanted = override.trimmed().toLower();
    if (wanted == "software" || (!gpuDevice && wanted != "opengl" && wanted != "gl"))
        return Choice::Software;
    if (wanted == "opengl" || wanted == "gl")
        return Choice::OpenGL;
    return std::nullopt;
}

bool hasGpuDevice()
{
    // The kernel's direct-rendering nodes (every Mesa driver, AMD, Intel, nouveau) and NVIDIA's own.
    const QStringList dri =
        QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*"), QStringLiteral("card*")}, QDir::System);
    return !dri.isEmpty() || QFileInfo::exists(QStringLiteral("/dev/nvidia0"));
}

namespace {

std::optional<Choice>& chosenOnce()
{
    static std::optional<Choice> chosen;
    return chosen;
}

// prepare() kept OpenGL from loading through QT_XCB_GL_INTEGRATION.
bool& openGLKeptOut()
{
    static bool kept = false;
    return kept;
}

bool leftToQtHere()
{
    const QByteArray quickBackend = qgetenv("QT_QUICK_BACKEND");
    const QByteArray rhiBackend = qgetenv("QSG_RHI_BACKEND");
    if (!leftToQt(quickBackend, rhiBackend))
        return false;
    // Said at warning level: a scene graph forced through Qt's variables can cost a core while
    // idle (OpenGL through a software rasterizer), and the log is where that is looked for.
    qCWarning(lcWebViewGraphics).nospace()
        << "the web views' scene graph is left to Qt (QT_QUICK_BACKEND=" << quickBackend.trimmed()
        << ", QSG_RHI_BACKEND=" << rhiBackend.trimmed() << ")";
    return true;
}

}  // namespace

void prepare()
{
    std::optional<Choice>& chosen = chosenOnce();
    if (chosen)
        return;
    if (leftToQtHere()) {
        chosen = Choice::Left;
        return;
    }
    chosen = decideWithoutProbe(qgetenv("QS_WEBVIEW_GRAPHICS"), hasGpuDevice());
    // Nothing draws through OpenGL then, and loading it would map the software rasterizer (Mesa's
    // llvmpipe with LLVM, some 30 MB) into the reader for nothing.
    // Set for the reader's own start only: the programs it starts get the user's value back.
    if (chosen == Choice::Software && qgetenv("QT_XCB_GL_INTEGRATION").trimmed().isEmpty()) {
        StartupEnvironment::set("QT_XCB_GL_INTEGRATION", "none");
        openGLKeptOut() = true;
    }
}

Choice choose()
{
    std::optional<Choice>& chosen = chosenOnce();
    if (chosen) {
        static bool applied = false;
        if (!applied && *chosen == Choice::Software)
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        // The platform plugin reads QT_XCB_GL_INTEGRATION when it is first asked about OpenGL, and
        // keeps the answer: asked now, while the variable says none, so that it can go back.
        if (!applied && openGLKeptOut())
            QOpenGLContext::supportsThreadedOpenGL();
        applied = true;
        return *chosen;
    }
    if (leftToQtHere()) {
        chosen = Choice::Left;
        return *chosen;
    }
    QElapsedTimer clock;
    clock.start();
    const QByteArray override = qgetenv("QS_WEBVIEW_GRAPHICS").trimmed().toLower();
    // The user's word needs no probe; otherwise the OpenGL driver is asked its name.
    const bool userDecided = override == "software" || override == "opengl" || override == "gl";
    const QByteArray renderer = userDecided ? QByteArray() : probeRendererName();
    chosen = decide(renderer, override);
    if (*chosen == Choice::Software)
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    qCInfo(lcWebViewGraphics) << "OpenGL renderer" << renderer << "->" << choiceName(*chosen) << "in" << clock.elapsed()
                              << "ms";
    return *chosen;
}

const char* choiceName(Choice choice)
{
    switch (choice) {
    case Choice::OpenGL:
        return "opengl";
    case Choice::Software:
        return "software";
    case Choice::Left:
        return "left";
    }
    return "left";
}

}  // namespace WebViewGraphics
