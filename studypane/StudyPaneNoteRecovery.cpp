#include "studypane/StudyPaneNoteRecovery.h"

#include "platform/MainThread.h"
#include "platform/ui/WidgetLookup.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>

StudyPaneNoteRecovery::StudyPaneNoteRecovery(QObject* parent) : QObject(parent)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(kMaxWaitMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        qCWarning(lcNoteEditor) << "the note editor did not come back in time; the keys held go to it as it is";
        release();
    });
}

StudyPaneNoteRecovery::~StudyPaneNoteRecovery()
{
    if (qApp != nullptr)
        qApp->removeEventFilter(this);
}

void StudyPaneNoteRecovery::caretMoved(const NoteWebView* view, const QJsonArray& args)
{
    QS_ASSERT_MAIN_THREAD();
    if (view == nullptr || args.size() != 4 || !NoteWebView::isWholeNumber(args[0]) ||
        !NoteWebView::isWholeNumber(args[1]) || !NoteWebView::isWholeNumber(args[2], 1 << 30) ||
        !NoteWebView::isWholeNumber(args[3], 1 << 30))
        return;
    const quint64 serial = quint64(args[0].toDouble());
    const quint64 sequence = quint64(args[1].toDouble());
    if (serial != view->serial())
        return;  // an older page of the view
    Caret& caret = m_carets[view];
    // The reports travel without waiting and may overtake each other: the newest one counts.
    if (caret.serial == serial && sequence <= caret.sequence)
        return;
    caret = {serial, sequence, int(args[2].toDouble()), int(args[3].toDouble())};
}

std::optional<std::pair<int, int>> StudyPaneNoteRecovery::caretOf(const NoteWebView* view) const
{
    const auto it = m_carets.find(view);
    if (view == nullptr || it == m_carets.end() || it->second.serial != view->serial())
        return std::nullopt;
    return std::make_pair(it->second.start, it->second.end);
}

void StudyPaneNoteRecovery::rendererEnded(NoteWebView* view)
{
    if (view == nullptr)
        return;
    if (m_view != nullptr && m_view != view)
        release();
    const auto it = m_carets.find(view);
    // A second end while the view comes back keeps the caret of the page the user typed in.
    if (m_view == nullptr)
        m_caretToRestore = it != m_carets.end() && it->second.serial == view->serial() ? it->second : Caret();
    m_view = view;
    m_expectedSerial = 0;
    // Whichever page the view loads next ends the holding: the restored one, or another note's. A
    // page it replaced may still report its own end, which does not count.
    disconnect(m_loaded);
    m_loaded = connect(view->page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (m_view != nullptr && info.url() == m_view->pageUrl() &&
            info.status() != QWebEngineLoadingInfo::LoadStartedStatus)
            pageLoaded(info.status() == QWebEngineLoadingInfo::LoadSucceededStatus);
    });
    QWidget* focus = QApplication::focusWidget();
    // The editor's keys come to its view from now on, also once the page's own widget is gone.
    if (focus == nullptr || focus == view || view->isAncestorOf(focus))
        view->setFocus(Qt::OtherFocusReason);
    qApp->installEventFilter(this);
    m_deadline.start();
}

void StudyPaneNoteRecovery::restoring(NoteWebView* view, quint64 oldSerial)
{
    if (view == nullptr || view != m_view)
        return;
    if (m_caretToRestore.serial != oldSerial)
        m_caretToRestore = Caret();
    m_expectedSerial = view->serial();
}

void StudyPaneNoteRecovery::giveUp()
{
    if (m_view != nullptr)
        release();
}

void StudyPaneNoteRecovery::pageLoaded(bool ok)
{
    NoteWebView* view = m_view;
    if (view == nullptr)
        return;
    disconnect(m_loaded);
    // Only the restored page gets the caret back; another page (another note's) just takes the keys.
    if (!ok || m_expectedSerial == 0 || view->serial() != m_expectedSerial) {
        release();
        return;
    }
    const quint64 serial = m_expectedSerial;
    const QString script =
        QStringLiteral("qsRestoreCaret(%1, %2)").arg(m_caretToRestore.start).arg(m_caretToRestore.end);
    QPointer<StudyPaneNoteRecovery> self(this);
    view->setFocus(Qt::OtherFocusReason);
    view->page()->runJavaScript(script, [self, serial](const QVariant&) {
        // The keys follow once the caret is back; a newer page holding the keys waits for its own.
        if (self && self->m_view != nullptr && self->m_expectedSerial == serial)
            self->release();
    });
}

void StudyPaneNoteRecovery::release()
{
    qApp->removeEventFilter(this);
    m_deadline.stop();
    disconnect(m_loaded);
    const QPointer<NoteWebView> view = m_view;
    m_view = nullptr;
    m_expectedSerial = 0;
    std::vector<std::unique_ptr<QKeyEvent>> held;
    held.swap(m_held);
    if (view == nullptr || held.empty())
        return;
    view->setFocus(Qt::OtherFocusReason);
    for (const std::unique_ptr<QKeyEvent>& key : held) {
        if (view == nullptr)
            return;
        QWidget* target = view->focusProxy() != nullptr ? view->focusProxy() : view.data();
        QCoreApplication::sendEvent(target, key.get());
    }
}

bool StudyPaneNoteRecovery::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || m_view == nullptr)
        return false;
    QWidget* widget = WidgetLookup::widget(watched);
    if (widget == nullptr)
        return false;
    const bool intoEditor = widget == m_view || m_view->isAncestorOf(widget);
    // The old page's widget took the focus with it: keys then come to the window itself.
    const bool intoBareWindow =
        widget->isWindow() && widget == m_view->window() && QApplication::focusWidget() == nullptr;
    if (!intoEditor && !intoBareWindow)
        return false;
    if (int(m_held.size()) >= kMaxHeldKeys) {
        release();
        return false;
    }
    m_held.push_back(std::unique_ptr<QKeyEvent>(static_cast<QKeyEvent*>(static_cast<QKeyEvent*>(event)->clone())));
    return true;
}
