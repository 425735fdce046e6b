#include "studypane/StudyPaneNoteEditor.h"

#include "engine/foundation/cMsgBox.h"
#include "engine/references/BibleRef.h"
#include "library/EngineStrings.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/FileSave.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/SaveFailureAlerts.h"
#include "platform/ui/ContentTextDocument.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"
#include "userdata/SQLiteFailure.h"
#include "userdata/cNoteDoc.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QRegularExpression>
#include <QToolButton>
#include <QWebEnginePage>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace {

// Pieces of one push or paste the page may send (at 60,000 characters each).
constexpr int kMaxPieces = 256;
constexpr qsizetype kMaxPasteChars = 16 * 1024 * 1024;
// Editor pages whose late pushes are still taken.
constexpr std::size_t kKeptPages = 8;

}  // namespace

StudyPaneNoteEditor::StudyPaneNoteEditor(StudyPaneEnvironment env, const void* sender, QObject* parent)
    : QObject(parent), m_env(std::move(env)), m_sender(sender)
{
}

StudyPaneNoteEditor::~StudyPaneNoteEditor()
{
    registerAsFormatTarget(false);
}

QString StudyPaneNoteEditor::scriptString(const QString& text)
{
    // A JSON string is a script string literal; "</" stays out of it as well.
    QString s = QString::fromUtf8(QJsonDocument(QJsonArray {text}).toJson(QJsonDocument::Compact));
    s = s.mid(1, s.size() - 2);
    s.replace(QStringLiteral("</"), QStringLiteral("<\\/"));
    return s;
}

void StudyPaneNoteEditor::setViews(NoteWebView* richEditor, NoteWebView* textEditor)
{
    m_richEditor = richEditor;
    m_textEditor = textEditor;
}

QLayout* StudyPaneNoteEditor::makeStyleButtons(QWidget* parent)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    static const char* const kStyleLabels[] = {"B", "I", "U", "1.", "\u2022", "H1", "H2", "H3", "P"};
    static const char* const kStyleTips[] = {"Bold", "Italic", "Underline", "Numbered List", "Bulleted List",
        "Heading 1", "Heading 2", "Heading 3", "Paragraph"};
    for (int tag = 0; tag < int(m_styleButtons.size()); ++tag) {
        auto* b = new QToolButton(parent);
        b->setText(QString::fromUtf8(kStyleLabels[tag]));
        b->setToolTip(QString::fromUtf8(kStyleTips[tag]));
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        QFont f = b->font();
        f.setBold(tag == kBold);
        f.setItalic(tag == kItalic);
        f.setUnderline(tag == kUnderline);
        b->setFont(f);
        connect(b, &QToolButton::clicked, this, [this, b, tag] {
            // The buttons show the selection's styles; a click applies, the page then reports back.
            b->setChecked(!b->isChecked());
            onTagBar(tag);
        });
        m_styleButtons[size_t(tag)] = b;
        row->addWidget(b);
        if (tag == kUnderline || tag == kUnorderedList)
            row->addSpacing(6);
    }
    row->addStretch(1);
    return row;
}

void StudyPaneNoteEditor::enableStyleButtons(bool enabled)
{
    for (const QPointer<QToolButton>& b : m_styleButtons) {
        if (b == nullptr)
            continue;
        b->setEnabled(enabled);
        if (!enabled)
            b->setChecked(false);
    }
}

void StudyPaneNoteEditor::registerAsFormatTarget(bool on)
{
    if (m_env.formatRegistry == nullptr)
        return;
    if (on)
        m_env.formatRegistry->setCurrent(this);
    else
        m_env.formatRegistry->clear(this);
    m_registered = on;
}

// --- pages and pushes ---

void StudyPaneNoteEditor::addPage(quint64 serial, const NoteLocation& location, NoteHtml::Source source, bool live)
{
    Page page;
    page.location = location;
    page.source = source;
    page.live = live;
    m_pages[serial] = page;
    prunePages();
}

// Forgets the oldest editor pages beyond the few kept, never a page an editor still shows: its
// pushes may still come.
void StudyPaneNoteEditor::prunePages()
{
    auto shown = [this](quint64 serial) {
        return (m_richEditor != nullptr && m_richEditor->serial() == serial) ||
            (m_textEditor != nullptr && m_textEditor->serial() == serial);
    };
    for (auto it = m_pages.begin(); m_pages.size() > kKeptPages && it != m_pages.end();) {
        if (shown(it->first))
            ++it;
        else
            it = m_pages.erase(it);
    }
}

const StudyPaneNoteEditor::Page* StudyPaneNoteEditor::pageShownBy(const NoteWebView* view) const
{
    if (view == nullptr)
        return nullptr;
    const auto it = m_pages.find(view->serial());
    return it != m_pages.end() ? &it->second : nullptr;
}

StudyPaneNoteEditor::Page* StudyPaneNoteEditor::pageShownBy(const NoteWebView* view)
{
    return const_cast<Page*>(std::as_const(*this).pageShownBy(view));
}

const StudyPaneNoteEditor::Page* StudyPaneNoteEditor::livePage(const NoteWebView* view) const
{
    const Page* page = pageShownBy(view);
    return page != nullptr && page->live ? page : nullptr;
}

StudyPaneNoteEditor::Page* StudyPaneNoteEditor::livePage(const NoteWebView* view)
{
    return const_cast<Page*>(std::as_const(*this).livePage(view));
}

void StudyPaneNoteEditor::retireLivePages()
{
    for (auto& [serial, page] : m_pages) {
        if (page.live) {
            page.live = false;
            page.savedChange = std::max(page.savedChange, page.latestChange);
        }
    }
}

void StudyPaneNoteEditor::renameJournalPages(const QString& from, const QString& to)
{
    for (auto& [serial, p] : m_pages)
        if (p.location.hasJournalNote() && p.location.journalTitle == std::optional<QString>(from))
            p.location.journalTitle = to;
}

void StudyPaneNoteEditor::forgetPagesOf(const NoteLocation& location)
{
    std::erase_if(m_pages, [&location](const auto& entry) { return entry.second.location == location; });
}

void StudyPaneNoteEditor::contentChanged(NoteWebView* view, const QJsonArray& args)
{
    QS_ASSERT_MAIN_THREAD();
    if ((args.size() != 5 && args.size() != 8) || !NoteWebView::isWholeNumber(args[0]) ||
        !NoteWebView::isWholeNumber(args[1]) || !NoteWebView::isWholeNumber(args[2], kMaxPieces) ||
        !NoteWebView::isWholeNumber(args[3], kMaxPieces) || !args[4].isString())
        return;
    const quint64 serial = quint64(args[0].toDouble());
    const quint64 change = quint64(args[1].toDouble());
    const int index = int(args[2].toDouble());
    const int count = int(args[3].toDouble());
    auto it = m_pages.find(serial);
    if (it == m_pages.end() || count < 1 || index >= count ||
        view != (it->second.source == NoteHtml::Source::RichEdit ? m_richEditor.data() : m_textEditor.data()))
        return;
    Page& page = it->second;
    if (change <= page.latestChange)
        return;  // an older push
    if (page.pendingChange != change || page.pieces.size() != count) {
        page.pendingChange = change;
        page.pieces = QStringList();
        page.pieces.resize(count);
    }
    page.pieces[index] = args[4].toString();
    if (index != count - 1)
        return;
    page.latest = page.pieces.join(QString());
    page.latestChange = change;
    page.latestAt = QDateTime::currentDateTimeUtc();
    page.pieces.clear();
    page.pendingChange = 0;
    if (page.live)
        emit liveContentChanged();
    else
        saveLatePush(page);
}

void StudyPaneNoteEditor::takeLastPush(NoteWebView* v, int waitMs)
{
    if (v == nullptr || !v->isPageReady())
        return;
    m_flushedSerial = 0;
    QWidget* target = v->focusProxy() != nullptr ? v->focusProxy() : v;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F24, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_F24, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
    const quint64 serial = v->serial();
    QElapsedTimer t;
    t.start();
    while (m_flushedSerial != serial && t.elapsed() < waitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (m_flushedSerial == serial)
        return;
    // No answer to the key: ask the page's script directly for what it holds.
    // The answer may come after the wait has given up: it marks a flag it shares, not this frame.
    const auto answered = std::make_shared<bool>(false);
    QPointer<StudyPaneNoteEditor> self(this);
    QPointer<NoteWebView> view(v);
    v->page()->runJavaScript(QStringLiteral("qsFlush()"), [self, view, answered](const QVariant& result) {
        *answered = true;
        if (!self || !view)
            return;
        const QJsonArray a = QJsonArray::fromVariantList(result.toList());
        if (a.size() == 3 && a[2].isString())
            self->contentChanged(view, {a[0], a[1], 0, 1, a[2]});
    });
    while (!*answered && t.elapsed() < 2 * waitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!*answered)
        qCWarning(lcNoteEditor) << "the editor did not answer before quitting";
}

void StudyPaneNoteEditor::saveLatePush(Page& page)
{
    if (page.latestChange <= page.savedChange || !page.location.hasSomethingToDisplay())
        return;
    const quint64 saved = page.savedChange;
    page.savedChange = page.latestChange;
    if (!store(page.location, NoteHtml::savedText(page.latest, page.source, NoteHtml::SaveKind::Final), nullptr,
            NoteLocation(), page.latestAt))
        page.savedChange = saved;
}

bool StudyPaneNoteEditor::store(const NoteLocation& l, const QString& text, QString* journalTitleOut,
    const NoteLocation& replaced, const QDateTime& changedAt, bool* written)
{
    NoteStore::Save how;
    how.changedAt = changedAt;
    bool saved = false;
    QString reason;
    if (written != nullptr)
        *written = false;
    {
        // The user hears of this failure from the note sub-pane, with the database's reason: one message.
        cDatabaseErrorCapture capture;
        saved = NoteStore(m_env.notes).save(l, text, how);
        if (capture.captured())
            reason = EngineStrings::fromUtf16(capture.text());
    }
    const bool created = how.newNote;
    if (!saved) {
        qCWarning(lcNoteEditor) << "the note could not be stored" << reason;
        storeFailed(l, reason);
        return false;
    }
    clearSaveFailure();
    if (written != nullptr)
        *written = how.written;
    emit storeFinished(true);
    // The note under its former title goes only now that it is saved under the new one.
    if (replaced.hasSomethingToDisplay())
        NoteStore(m_env.notes).remove(replaced);
    else if (!how.written)
        return true;  // nothing changed
    // An empty text deleted the note: the pages drop its link at once, as they do for the Delete
    // button's deletion.
    const bool deleted = text.isEmpty() && !created;
    QVariantMap info {{QStringLiteral("newNote"), created && !text.isEmpty()}, {QStringLiteral("changed"), true}};
    if (deleted)
        info.insert(QStringLiteral("deletedNote"), true);
    switch (l.kind()) {
    case NoteLocation::Kind::Bible:
        info.insert(QStringLiteral("key"), l.key);
        break;
    case NoteLocation::Kind::Book:
        info.insert(QStringLiteral("section"), l.section);
        info.insert(QStringLiteral("sourceTupleID"), QVariant::fromValue(*l.source));
        break;
    case NoteLocation::Kind::Journal:
        info.insert(QStringLiteral("journalTitle"), l.journalTitle.value_or(QString()));
        info.insert(QStringLiteral("sourceTupleID"), QVariant::fromValue(*l.source));
        if (journalTitleOut != nullptr)
            *journalTitleOut = l.journalTitle.value_or(QString());
        break;
    case NoteLocation::Kind::None:
        return true;
    }
    if (m_env.center != nullptr)
        m_env.center->postNotificationName(PaneNotifications::qsNotesHaveChangedNotification, m_sender, info);
    return true;
}

void StudyPaneNoteEditor::storeFailedUnread(const NoteLocation& location)
{
    QString reason;
    {
        cDatabaseErrorCapture capture;
        if (m_env.notes != nullptr)
            m_env.notes->bibleNoteStore().reportError(SQLITE_BUSY);
        if (capture.captured())
            reason = EngineStrings::fromUtf16(capture.text());
    }
    storeFailed(location, reason);
}

void StudyPaneNoteEditor::storeFailed(const NoteLocation& location, const QString& reason)
{
    const bool firstFailure = !m_saveFailed;
    m_saveFailed = true;
    m_saveFailureReason = reason.isEmpty() ? QStringLiteral("The notes database could not be written.") : reason;
    emit storeFinished(false);
    // Said once until a save succeeds again: the autosave's retries do not repeat it. Said with the
    // other failed saves, never in an alert: the autosave fails while the user is typing.
    if (!firstFailure)
        return;
    m_saveFailureWhat = noteWords(location);
    // Another program holding or replacing the database is no matter of the disk.
    const bool busy = SQLiteFailure::lastWasAnotherProgram();
    SaveFailureAlerts::reportFailure(m_saveFailureWhat, QString(), m_saveFailureReason.simplified(), false,
        QStringLiteral("Its text stays in the editor. Quillstead tries again every few seconds and saves it as soon "
                       "as the notes database can be written again."),
        !busy);
}

void StudyPaneNoteEditor::clearSaveFailure()
{
    // The next failure is said again, as it is once a save succeeds.
    if (!m_saveFailureWhat.isEmpty())
        SaveFailureAlerts::reportSuccess(m_saveFailureWhat);
    m_saveFailureWhat.clear();
    m_saveFailed = false;
    m_saveFailureReason.clear();
}

QString StudyPaneNoteEditor::noteWords(const NoteLocation& location) const
{
    switch (location.kind()) {
    case NoteLocation::Kind::Bible: {
        BibleRef ref;
        ref.setBibleKey(location.key);
        return QStringLiteral("your note on %1").arg(ref.fullSpelling());
    }
    case NoteLocation::Kind::Book: {
        const SourceTuple::Ptr book =
            m_env.library != nullptr ? m_env.library->allSources()->tupleForSourceTupleID(*location.source) : nullptr;
        if (book == nullptr)
            return QStringLiteral("your note in a book");
        const QString section = book->words().plainTextSearchResultTitleForSection(location.section);
        return section.isEmpty() ? QStringLiteral("your note in %1").arg(book->record().name)
                                 : QStringLiteral("your note on \"%1\" in %2").arg(section, book->record().name);
    }
    case NoteLocation::Kind::Journal: {
        const QString title = location.journalTitle.value_or(QString()).trimmed();
        return title.isEmpty() ? QStringLiteral("your new journal note")
                               : QStringLiteral("your journal note \"%1\"").arg(title);
    }
    case NoteLocation::Kind::None:
        break;
    }
    return QStringLiteral("your note");
}

void StudyPaneNoteEditor::offerUnsavedText(const QString& text, const QString& title)
{
    if (text.trimmed().isEmpty())
        return;
    Alert alert;
    alert.style = AlertStyle::Critical;
    alert.messageText = QStringLiteral("The note \"%1\" could not be saved.").arg(title);
    const QString advice = QStringLiteral(
        "Save its text to a file or copy it before Quillstead quits; otherwise what you typed since the last save is "
        "lost.");
    const QString reason = m_saveFailureReason.trimmed();
    alert.informativeText = reason.isEmpty() ? advice : reason + QStringLiteral("\n\n") + advice;
    alert.buttons = {QStringLiteral("Save to File..."), QStringLiteral("Copy"), QStringLiteral("Discard")};
    QString suggested = title;
    suggested.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f]")), QStringLiteral("_"));
    if (suggested.isEmpty())
        suggested = QStringLiteral("Note");
    suggested += QStringLiteral(".html");
    // Each refused file or cancelled choice asks again; the bound keeps a dialog that never answers
    // from holding the quit for ever.
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int answer = m_env.ask(alert);
        if (answer == AlertFirstButtonReturn) {
            const QString path = m_env.askForSaveFile(suggested);
            if (path.isEmpty())
                continue;
            QString why;
            const QByteArray bytes = QByteArrayLiteral("<!DOCTYPE html>\n<meta charset=\"utf-8\">\n") + text.toUtf8();
            if (FileSave::writeFile(path, bytes, QString(), &why, FileSave::Reporting::CallerTells))
                return;
            alert.informativeText = QStringLiteral("It could not be written to %1: %2\n\n%3").arg(path, why, advice);
        } else if (answer == AlertSecondButtonReturn) {
            auto* data = new QMimeData;
            data->setHtml(text);
            data->setText(ContentTextDocument::plainText(text));
            QGuiApplication::clipboard()->setMimeData(data);
            return;
        } else {
            return;
        }
    }
}

QJsonValue StudyPaneNoteEditor::pastedHtml(const QJsonArray& args)
{
    if (args.size() != 2 || !args[0].isString() || !args[1].isBool())
        return {};
    if (m_pastedHtml.size() + args[0].toString().size() > kMaxPasteChars) {
        m_pastedHtml.clear();
        return QString();
    }
    m_pastedHtml += args[0].toString();
    if (!args[1].toBool())
        return {};
    const QString pasted = m_pastedHtml;
    m_pastedHtml.clear();
    return NoteHtml::pastedContent(pasted);
}

// --- formatting ---

void StudyPaneNoteEditor::applyIf(int tag)
{
    if (canBold())
        onTagBar(tag);
}

void StudyPaneNoteEditor::onTagBar(int tag)
{
    static const char* const kCommands[][2] = {{"bold", nullptr}, {"italic", nullptr}, {"underline", nullptr},
        {"insertOrderedList", nullptr}, {"insertUnorderedList", nullptr}, {"formatBlock", "H1"}, {"formatBlock", "H2"},
        {"formatBlock", "H3"}, {"formatBlock", "P"}};
    if (tag < 0 || tag > kParagraph)
        return;
    const QString value =
        kCommands[tag][1] != nullptr ? scriptString(QString::fromLatin1(kCommands[tag][1])) : QStringLiteral("null");
    if (m_richEditor != nullptr)
        m_richEditor->page()->runJavaScript(
            QStringLiteral("qsFormat('%1', %2)").arg(QLatin1String(kCommands[tag][0]), value));
}

void StudyPaneNoteEditor::updateTagButtonState(const QJsonArray& flags)
{
    if (flags.size() != 9)
        return;
    for (int i = 0; i < 9; ++i)
        if (m_styleButtons[i] != nullptr)
            m_styleButtons[i]->setChecked(flags[i].toBool());
}
