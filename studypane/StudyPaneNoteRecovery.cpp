#include "studypane/StudyPaneNoteRecovery.h"

#include "platform/MainThread.h"
#include "platform/ui/WidgetLookup.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMenuBar>
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

void StudyPaneNoteRecovery::setEditors(NoteWebView* richEditor, NoteWebView* textEditor, QWidget* pane)
{
    m_editors = {richEditor, textEditor};
    m_pane = pane;
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { focusChanged(now); });
}

bool StudyPaneNoteRecovery::mayTakeFocus() const
{
    if (m_view == nullptr || m_left)
        return false;
    QWidget* focus = QApplication::focusWidget();
    return focus == nullptr || focus == m_view || m_view->isAncestorOf(focus);
}

void StudyPaneNoteRecovery::focusChanged(QWidget* now)
{
    // No focus (the window went to the back, the old page's widget went) says nothing; a popup
    // (a menu, a completion list) gives it back to where it was.
    if (m_view == nullptr || now == nullptr || now->window()->windowType() == Qt::Popup)
        return;
    m_left = now != m_view && !m_view->isAncestorOf(now);
}

void StudyPaneNoteRecovery::mousePressed(QWidget* widget)
{
    if (widget == m_view || m_view->isAncestorOf(widget)) {
        m_left = false;
        return;
    }
    // The menus act on the editor; so do the sub-pane's own buttons, which take no focus (a field of
    // the sub-pane that takes it is left for by the focus change).
    if (widget->window()->windowType() == Qt::Popup || qobject_cast<QMenuBar*>(widget) != nullptr ||
        (m_pane != nullptr && (widget == m_pane || m_pane->isAncestorOf(widget))))
        return;
    m_left = true;
}

void StudyPaneNoteRecovery::caretMoved(const NoteWebView* view, const QJsonArray& args)
{
    QS_ASSERT_MAIN_THREAD();
    if (view == nullptr || (args.size() != 4 && args.size() != 5) || !NoteWebView::isWholeNumber(args[0]) ||
        !NoteWebView::isWholeNumber(args[1]) || !NoteWebView::isWholeNumber(args[2], 1 << 30) ||
        !NoteWebView::isWholeNumber(args[3], 1 << 30) || (args.size() == 5 && !NoteWebView::isWholeNumber(args[4])))
        return;
    Caret told;
    told.serial = quint64(args[0].toDouble());
    told.sequence = quint64(args[1].toDouble());
    told.start = int(args[2].toDouble());
    told.end = int(args[3].toDouble());
    told.keys = args.size() == 5 ? quint64(args[4].toDouble()) : 0;
    caretTold(view, told);
}

void StudyPaneNoteRecovery::contentPushed(const NoteWebView* view, const QJsonArray& args)
{
    QS_ASSERT_MAIN_THREAD();
    // Only the last piece of a push tells; a caret of -1 is one the page did not know.
    if (view == nullptr || args.size() != 8 || !NoteWebView::isWholeNumber(args[0]) ||
        !NoteWebView::isWholeNumber(args[2]) || !NoteWebView::isWholeNumber(args[3]) ||
        args[2].toInteger() + 1 != args[3].toInteger() || !NoteWebView::isWholeNumber(args[5]))
        return;
    const auto caretPart = [](const QJsonValue& v) {
        if (v.isDouble() && v.toInteger(0) == -1)
            return -1;
        return NoteWebView::isWholeNumber(v, 1 << 30) ? int(v.toInteger()) : -2;
    };
    const int start = caretPart(args[6]);
    const int end = caretPart(args[7]);
    if (start == -2 || end == -2)
        return;
    Caret told;
    told.serial = quint64(args[0].toDouble());
    told.keys = quint64(args[5].toDouble());
    told.start = start;
    told.end = end;
    const auto it = m_carets.find(view);
    // The caret of a push stands with its keys; a report of the same keys that came before it stays.
    told.sequence = it != m_carets.end() && it->second.serial == told.serial ? it->second.sequence : 0;
    if (start < 0 && it != m_carets.end() && it->second.serial == told.serial) {
        told.start = it->second.start;
        told.end = it->second.end;
    }
    caretTold(view, told);
}

void StudyPaneNoteRecovery::caretTold(const NoteWebView* view, const Caret& told)
{
    if (told.serial != view->serial())
        return;  // an older page of the view
    Caret& caret = m_carets[view];
    // The reports travel without waiting and may overtake each other: the newest one counts, by the
    // keys taken, then by the page's own order.
    if (caret.serial == told.serial &&
        (told.keys < caret.keys || (told.keys == caret.keys && told.sequence < caret.sequence)))
        return;
    caret = told;
    // The keys the page has taken are confirmed.
    const auto sent = m_sent.find(view);
    if (sent == m_sent.end() || sent->second.serial != told.serial)
        return;
    std::deque<SentKey>& keys = sent->second.keys;
    while (!keys.empty() && keys.front().press <= told.keys)
        keys.pop_front();
}

std::optional<std::pair<int, int>> StudyPaneNoteRecovery::caretOf(const NoteWebView* view) const
{
    const auto it = m_carets.find(view);
    if (view == nullptr || it == m_carets.end() || it->second.serial != view->serial())
        return std::nullopt;
    return std::make_pair(it->second.start, it->second.end);
}

int StudyPaneNoteRecovery::unconfirmedKeyCount(const NoteWebView* view) const
{
    const auto it = m_sent.find(view);
    return view != nullptr && it != m_sent.end() && it->second.serial == view->serial() ? int(it->second.keys.size())
                                                                                        : 0;
}

void StudyPaneNoteRecovery::recordSent(NoteWebView* view, const QKeyEvent& key)
{
    // The reader's own flush key is not counted by the page either.
    if (key.key() == Qt::Key_F24)
        return;
    SentKeys& sent = m_sent[view];
    if (sent.serial != view->serial())
        sent = SentKeys {view->serial(), 0, {}};
    if (key.type() == QEvent::KeyPress)
        ++sent.presses;
    if (sent.presses == 0)
        return;  // the release of a key pressed before this page
    if (int(sent.keys.size()) >= kMaxHeldKeys)
        sent.keys.pop_front();
    sent.keys.push_back({sent.presses, std::unique_ptr<QKeyEvent>(static_cast<QKeyEvent*>(key.clone()))});
}

void StudyPaneNoteRecovery::rendererEnded(NoteWebView* view)
{
    if (view == nullptr)
        return;
    if (m_view != nullptr && m_view != view)
        release();
    const auto it = m_carets.find(view);
    if (m_view == nullptr) {
        // A second end while the view comes back keeps the caret of the page the user typed in.
        m_caretToRestore = it != m_carets.end() && it->second.serial == view->serial() ? it->second : Caret();
        // The keys that page had not taken went down with it: they go first to the page drawn again.
        const auto sent = m_sent.find(view);
        if (sent != m_sent.end() && sent->second.serial == view->serial()) {
            for (SentKey& key : sent->second.keys)
                m_held.push_back(std::move(key.event));
        }
        m_sent.erase(view);
    }
    if (m_view == nullptr) {
        // Typing elsewhere when the page ended: the keys that follow are not the editor's.
        QWidget* focus = QApplication::focusWidget();
        m_left = focus != nullptr && focus != view && !view->isAncestorOf(focus);
    }
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
    // The editor's keys come to its view from now on, also once the page's own widget is gone.
    if (mayTakeFocus())
        view->setFocus(Qt::OtherFocusReason);
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
    if (mayTakeFocus())
        view->setFocus(Qt::OtherFocusReason);
    view->page()->runJavaScript(script, [self, serial](const QVariant&) {
        // The keys follow once the caret is back and the editor takes keys; a newer page holding the
        // keys waits for its own.
        if (self && self->m_view != nullptr && self->m_expectedSerial == serial)
            self->whenEditorTakesKeys(serial);
    });
}

// A page that has just loaded takes keys only once the engine has given it the focus, a moment after
// the view took it: keys sent before would be lost. When the user went elsewhere, the page's editor
// takes them without the focus once it is the page's active element.
void StudyPaneNoteRecovery::whenEditorTakesKeys(quint64 serial)
{
    NoteWebView* view = m_view;
    if (view == nullptr || m_expectedSerial != serial)
        return;
    const bool focused = mayTakeFocus();
    if (focused && !view->hasFocus() && (view->focusProxy() == nullptr || !view->focusProxy()->hasFocus()))
        view->setFocus(Qt::OtherFocusReason);
    QPointer<StudyPaneNoteRecovery> self(this);
    const QString asked = focused ? QStringLiteral("qsEditorTakesKeys()") : QStringLiteral("qsEditorTakesKeys(true)");
    view->page()->runJavaScript(asked, [self, serial](const QVariant& ready) {
        if (!self || self->m_view == nullptr || self->m_expectedSerial != serial)
            return;
        if (ready.toBool()) {
            self->release();
            return;
        }
        QTimer::singleShot(kFocusPollMs, self, [self, serial] {
            if (self)
                self->whenEditorTakesKeys(serial);
        });
    });
}

void StudyPaneNoteRecovery::release()
{
    m_deadline.stop();
    disconnect(m_loaded);
    const bool focused = mayTakeFocus();
    const QPointer<NoteWebView> view = m_view;
    m_view = nullptr;
    m_expectedSerial = 0;
    m_left = false;
    std::vector<std::unique_ptr<QKeyEvent>> held;
    held.swap(m_held);
    if (view == nullptr || held.empty())
        return;
    if (focused)
        view->setFocus(Qt::OtherFocusReason);
    // Sent to the new page, they are kept again until it confirms them.
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
    if (type == QEvent::MouseButtonPress && m_view != nullptr) {
        // A press the widget leaves goes on to its parents: the widget pressed counts, once.
        const quint64 at = static_cast<QInputEvent*>(event)->timestamp();
        QWidget* widget = at != m_lastPress ? WidgetLookup::widget(watched) : nullptr;
        if (widget != nullptr) {
            m_lastPress = at;
            mousePressed(widget);
        }
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    QWidget* widget = WidgetLookup::widget(watched);
    if (widget == nullptr)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (m_view == nullptr) {
        // A key sent to a ready editor page (its widget is the view's focus proxy; a key the page did
        // not handle comes back to the view itself, and is not sent again) is kept until the page
        // confirms it.
        for (const QPointer<NoteWebView>& editor : m_editors) {
            if (editor != nullptr && editor->isPageReady() && editor->focusProxy() != nullptr &&
                widget == editor->focusProxy()) {
                recordSent(editor, *key);
                break;
            }
        }
        return false;
    }
    const bool intoEditor = widget == m_view || m_view->isAncestorOf(widget);
    // The old page's widget took the focus with it: keys then come to the window itself, and are the
    // editor's unless the user went elsewhere.
    const bool intoBareWindow =
        !m_left && widget->isWindow() && widget == m_view->window() && QApplication::focusWidget() == nullptr;
    if (!intoEditor && !intoBareWindow)
        return false;
    if (int(m_held.size()) >= kMaxHeldKeys) {
        release();
        return false;
    }
    m_held.push_back(std::unique_ptr<QKeyEvent>(static_cast<QKeyEvent*>(key->clone())));
    return true;
}
