// Reads the bytes as the screen layout archive ("layout archive.plist") and uses whatever layouts come
// out as the main window does: each is shown in a layout view offscreen (the view places a widget per
// region), fitted into window sizes from tiny to large, its minimum size taken, its dividers tested
// and dragged, the study pane widened and hidden; then the archive is written and read back.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <QApplication>
#include <QByteArray>
#include <QWidget>

#include "fuzz/FuzzSupport.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutDivider.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layoutview/LayoutView.h"
#include "platform/KeyedArchive.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

namespace {

QApplication& application()
{
    static int argc = 1;
    static char name[] = "layout_archive_fuzzer";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);  // never destroyed: the fuzzer exits from anywhere
    }();
    return *app;
}

// The settings the view reads its colours from: one scratch file for the process.
UserDefaults& settings()
{
    static fuzz::ScratchFile file("layout-settings");
    static UserDefaults defaults(QString::fromStdString(file.path()));
    return defaults;
}

void use(LayoutView& view, Layout& layout)
{
    view.setCurrentLayout(&layout);
    for (const QSize size : {QSize(1, 1), QSize(300, 200), QSize(1600, 1000), QSize(4000, 3000)}) {
        view.resize(size);
        QApplication::processEvents();
        (void)layout.minSize();
        (void)view.minimumSize();
    }
    std::uint32_t dividers = 0;
    for (const auto& d : layout.dividers()) {
        if (++dividers > fuzz::kMaxItems)
            break;
        for (const double at : {-10.0, 0.0, 150.0, 799.0, 5000.0}) {
            const LayoutPoint point {at, at};
            if (layout.canDragDivider(d.get(), point))
                d->dragToPoint(point);
        }
    }
    view.setStudyPaneWidth(2000);
    view.setShowStudyPane(false);
    view.setShowStudyPane(true);
    view.resize(800, 600);
    QApplication::processEvents();
}

}  // namespace

// The font library keeps caches for the life of the process, which the leak checker takes for leaks.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > fuzz::kMaxInput)
        return 0;
    application();
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QVariant root = KeyedArchive::fromXml(xml);
    if (!root.isValid() || KeyedArchive::classNameOf(root) != QStringLiteral("LayoutManager"))
        return 0;
    NotificationCenter center;
    LayoutManager manager(center);
    if (!manager.decode(root))
        return 0;
    {
        LayoutView view(manager, center, settings());
        view.show();
        for (quint64 i = 0; i < manager.count() && i < fuzz::kMaxItems; ++i)
            use(view, *manager.layoutAtIndex(i));
    }
    // What was read (and used) writes back as an archive that reads again.
    const QVariant written = manager.encode();
    LayoutManager again(center);
    if (!again.decode(KeyedArchive::fromXml(KeyedArchive::toXml(written))))
        fuzz::fail("a layout archive the reader wrote does not read back");
    return 0;
}
