// The waits and the books of the build (TestSupport.h); Qt Core and Widgets only, so that tests
// without web views link no web engine.
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace TestSupport {

bool waitFor(const std::function<bool()>& condition, int msecs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > msecs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

bool waitForQueuedWork(int msecs)
{
    auto reached = std::make_shared<bool>(false);
    QTimer::singleShot(0, [reached] { *reached = true; });
    return waitFor([reached] { return *reached; }, msecs);
}

bool whenShownImpl(const std::function<void()>& trigger, const std::function<bool()>& actIfShown, int msecs)
{
    // A modal dialog runs its own event loop inside the trigger: a timer is what still reaches it.
    bool seen = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!seen)
            seen = actIfShown();
    });
    poll.start();
    trigger();
    waitFor([&seen] { return seen; }, msecs);
    return seen;
}

QString menuText(QString text)
{
    // As Qt draws it: "&&" is an ampersand, a lone "&" marks the mnemonic and is not shown.
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        else if (text[i] == QLatin1Char('&'))
            continue;
        shown += text[i];
    }
    text = shown;
    if (text.endsWith(QLatin1String("...")))
        text.chop(3);
    else if (text.endsWith(QChar(0x2026)))
        text.chop(1);
    return text;
}

namespace {

void pressKey(QWidget* widget, int key)
{
    // The press may run a command that closes and deletes the widget.
    QPointer<QWidget> alive(widget);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    if (!alive.isNull())
        QCoreApplication::sendEvent(widget, &release);
}

bool namesItem(const QString& entry, const QString& itemText)
{
    const QString wanted = menuText(entry);
    const QString text = menuText(itemText);
    return text == wanted || text.startsWith(wanted + QLatin1Char(' '));
}

void closePopups()
{
    // Each close leaves the one below it as the active pop-up; a menu has few levels.
    for (int level = 0; level < 16; ++level) {
        QWidget* popup = QApplication::activePopupWidget();
        if (popup == nullptr)
            return;
        popup->close();
    }
}

}  // namespace

ShownPopupMenu readPopupMenu(const std::function<void()>& open, const QString& choose, int msecs)
{
    ShownPopupMenu shown;
    QTimer poll;
    poll.setInterval(20);
    // Polled: a context menu runs its own event loop, inside `open` or once the events it caused come.
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || !shown.titles.isEmpty())
            return;
        QAction* chosen = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator())
                continue;
            shown.titles << a->text();
            if (!choose.isEmpty() && a->text() == choose)
                chosen = a;
        }
        shown.geometry = menu->geometry();
        // The item is chosen as the user does (a menu runs its item once it has closed).
        if (chosen != nullptr && chosen->isEnabled() && chosen->menu() == nullptr) {
            menu->setActiveAction(chosen);
            pressKey(menu, Qt::Key_Return);
        } else {
            menu->close();
        }
    });
    poll.start();
    open();
    waitFor([&] { return !shown.titles.isEmpty(); }, msecs);
    return shown;
}

bool choosePopupMenuItem(const std::function<void()>& open, const QStringList& path, int msecs)
{
    if (path.isEmpty())
        return false;
    qsizetype step = 0;
    bool chosen = false;
    bool failed = false;
    QPointer<QMenu> previous;  // the menu of the step before, still the active pop-up until its submenu shows
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (chosen || failed)
            return;
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || !menu->isVisible() || menu == previous)
            return;
        QAction* item = nullptr;
        for (QAction* a : menu->actions())
            if (item == nullptr && !a->isSeparator() && a->isVisible() && namesItem(path[step], a->text()))
                item = a;
        // Down walks over the enabled items only, wrapping at the end: at most one press per item.
        for (qsizetype presses = 0;
             item != nullptr && item->isEnabled() && menu->activeAction() != item && presses <= menu->actions().size();
             ++presses)
            pressKey(menu, Qt::Key_Down);
        if (item == nullptr || menu->activeAction() != item) {
            failed = true;
            closePopups();
            return;
        }
        previous = menu;
        if (++step < path.size()) {
            if (item->menu() == nullptr) {
                failed = true;
                closePopups();
                return;
            }
            pressKey(menu, Qt::Key_Right);
            return;
        }
        chosen = true;
        pressKey(menu, Qt::Key_Return);  // the item's command runs here, with any dialog it opens
    });
    poll.start();
    open();
    waitFor([&] { return chosen || failed; }, msecs);
    poll.stop();
    if (!chosen)
        closePopups();
    return chosen;
}

QString bundledBooksFolder()
{
    return QStringLiteral(QS_BINARY_DIR "/books");
}

QString sampleLibraryFolder()
{
    return QStringLiteral(QS_BINARY_DIR "/library");
}

bool haveSampleLibrary(std::initializer_list<const char*> books)
{
    const QDir library(sampleLibraryFolder());
    if (books.size() == 0)
        return library.exists(QStringLiteral("KJV.tvk")) && library.exists(QStringLiteral("WEB.tvk"));
    for (const char* book : books)
        if (!library.exists(QLatin1String(book)))
            return false;
    return true;
}

bool linkSampleBooks(const QString& folder, std::initializer_list<const char*> books)
{
    QDir().mkpath(folder);
    const QDir library(sampleLibraryFolder());
    const QDir into(folder);
    for (const char* book : books) {
        const QString name = QLatin1String(book);
        if (into.exists(name))
            continue;
        if (!library.exists(name) || !QFile::link(library.filePath(name), into.filePath(name)))
            return false;
    }
    return true;
}

}  // namespace TestSupport
