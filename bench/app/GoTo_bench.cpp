// A go-to as a reader makes it, in the real main window (offscreen): the reference typed into the
// study pane's Bible go-to and Return pressed, until the King James pane has painted the verse at
// the top of its view (its page reports the first paint after the move). Three cases, each
// alternating between two places so that every go-to moves:
//   in_page        John 3:10 and John 3:20, both on the page that John 3:16 loaded;
//   other_chapter  John 5:1 and John 9:1, never on the page the other one left;
//   other_book     Psalm 23:1 and Romans 8:28.
// Counters: `new_pages` (go-tos that loaded a page: 0 expected, a go-to in the loaded book replaces
// the page's blocks in place). The key goes to the reference field's box, as the window system
// delivers it.
//
// Run offscreen (QT_QPA_PLATFORM=offscreen and QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox
// --disable-gpu", set here when absent), the time ends when the page reports the painted verse.
// Under an X server (QT_QPA_PLATFORM=xcb with DISPLAY, e.g. xvfb-run), the window is on the screen
// and the graphics are chosen as the reader chooses them at start-up; then the counter `screen_ms`
// is the mean time until the screen showed it: the pane's rectangle of the screen, copied every
// 5 ms on a thread of its own, reached and kept the picture it settled on (`screen_first_ms`: its
// first change). The books that come with the application are taken from the build.
// QT_LOGGING_RULES="qs.panes.page.trace.debug=true" logs where each go-to's time goes;
// QS_GOTO_BREAKDOWN=1 adds the mean of each step from the key to the screen as counters (the steps:
// bench/app/GoToBreakdown.h).
// The reference is typed key by key (QS_GOTO_TYPED=0: put in the field at once, so that neither the
// completion nor the pane's wake for a go-to being typed runs).
// QS_GOTO_PAUSE=SECONDS leaves the reader alone that long before each timed go-to (0.15 when unset:
// go-tos back to back), its event loop waiting as the reader's does: a go-to after a minute of
// reading is QS_GOTO_PAUSE=60. QS_GOTO_ROUNDS sets the go-tos of each case (12). Beside the times,
// what each go-to cost whatever the machine's load (mean per go-to, from the key until the pane's
// picture settled): `reader_cpu_ms` and `renderer_cpu_ms` (processor time, every thread; the
// reader's without the thread that copies the screen), and
// `reader_minflt`, `reader_majflt`, `renderer_minflt`, `renderer_majflt` (page faults; a major fault
// read its page from disk).
//
// GoTo_soak (about ten minutes, so only with QS_SOAK=1: `QS_SOAK=1 bench_app_GoTo_bench
// --benchmark_filter=soak`) makes QS_SOAK_GOTOS go-tos (1,000) across
// the Bible, each to another book and chapter, as fast as the pane paints them, with a Verse Study
// report of the place opened and closed after every fifth (`reports`: 200) and, two go-tos after
// each report, the note of the verse gone to edited through Study > Notes (`note_edits`: 200; a
// few words typed into the editor as the keyboard delivers them; QS_SOAK_REPORT_EVERY and
// QS_SOAK_NOTE_EVERY change the period, -1 leaves either out), and reports the
// memory of the reader's whole process tree: `first_*` after the first go-to, `warm_*` after
// QS_SOAK_WARMUP go-tos (100), `end_*` after the last, `tree_PSS_MB`/`tree_USS_MB`/`own_PSS_MB`/
// `heap_MB` (the reader's allocator), `growth_MB` (end minus warm, tree PSS) and `max_PSS_MB`; one
// line per hundred go-tos goes to stderr. `other_engine_processes` counts web-engine processes of
// other programs and `engine_shared` whether any process outside the tree maps the same web-engine
// library file (0: the figures are the tree alone; bench/memory_alone.sh runs it that way). After the
// warm-up and at the end the reader is then left alone for 33 s and weighed again
// (`warm_idle_tree_PSS_MB`, `end_idle_tree_PSS_MB`, `idle_growth_MB`): what a reader reading holds.
#include <benchmark/benchmark.h>

#include "app/ProgramParts.h"
#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "bench/BenchWait.h"
#include "bench/app/GoToBreakdown.h"
#include "bench/screen/ScreenFrames.h"
#include "library/GoToRequest.h"
#include "library/LibraryNotifications.h"
#include "library/SourceTuple.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageScheme.h"
#include "panes/page/BookPageView.h"
#include "panes/page/EngineProcesses.h"
#include "panes/page/WebViewGraphics.h"
#include "platform/ProcessTree.h"
#include "platform/ui/ActionRegistry.h"
#include "platform/ui/CommandNames.h"
#include "reports/ui/AutostudyVerseWindowController.h"
#include "reports/ui/web/AutostudyResultsWindowController.h"
#include "studypane/StudyPaneBibleGotoViewController.h"
#include "studypane/StudyPaneNoteEditor.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"
#include "studypane/StudyPaneNoteWebView.h"
#include "studypane/StudyPaneViewController.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <QDirIterator>

#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {

// Processor time and page faults of the reader and of its web renderers, from /proc.
struct ProcessCosts {
    double readerCpuMs = 0;
    double rendererCpuMs = 0;
    double readerMinflt = 0;
    double readerMajflt = 0;
    double rendererMinflt = 0;
    double rendererMajflt = 0;

    // The fields of /proc/PID/stat after the name: minflt 10, majflt 12, utime 14, stime 15 (counted
    // from 1 with the pid).
    static bool read(qint64 pid, double& cpuMs, double& minflt, double& majflt, bool thread = false)
    {
        QFile stat(
            thread ? QStringLiteral("/proc/%1/task/%1/stat").arg(pid) : QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (f.size() < 13)
            return false;
        static const double tick = 1000.0 / double(sysconf(_SC_CLK_TCK));
        cpuMs += double(f[11].toLongLong() + f[12].toLongLong()) * tick;
        minflt += double(f[7].toLongLong());
        majflt += double(f[9].toLongLong());
        return true;
    }

    // The reader's own threads: every thread of this process but the screen's copying.
    static void readSelf(ProcessCosts& c)
    {
        const qint64 self = QCoreApplication::applicationPid();
        QDirIterator tasks(QStringLiteral("/proc/%1/task").arg(self), QDir::Dirs | QDir::NoDotAndDotDot);
        while (tasks.hasNext()) {
            const QString task = tasks.next();
            QFile comm(task + QStringLiteral("/comm"));
            if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == ScreenFrames::kThreadName)
                continue;
            read(QFileInfo(task).fileName().toLongLong(), c.readerCpuMs, c.readerMinflt, c.readerMajflt, true);
        }
    }

    static ProcessCosts now()
    {
        ProcessCosts c;
        const qint64 self = QCoreApplication::applicationPid();
        readSelf(c);
        QList<qint64> pending {self};
        while (!pending.isEmpty()) {
            const qint64 p = pending.takeLast();
            QDirIterator tasks(QStringLiteral("/proc/%1/task").arg(p), QDir::Dirs | QDir::NoDotAndDotDot);
            while (tasks.hasNext()) {
                QFile children(tasks.next() + QStringLiteral("/children"));
                if (!children.open(QIODevice::ReadOnly))
                    continue;
                for (const QByteArray& entry : children.readAll().split(' ')) {
                    const qint64 child = entry.trimmed().toLongLong();
                    if (child <= 0)
                        continue;
                    pending.append(child);
                    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(child));
                    if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().split('\0').contains("--type=renderer"))
                        read(child, c.rendererCpuMs, c.rendererMinflt, c.rendererMajflt);
                }
            }
        }
        return c;
    }
};

bool waitFor(const std::function<bool()>& condition, int msecs = 30000)
{
    return BenchWait::until(condition, msecs);
}

class Reader {
public:
    bool start()
    {
        if (m_app)
            return m_page != nullptr;
        // The program's services, kept until the program ends as the reader keeps them.
        static const ProgramServices* const services = new ProgramServices();
        m_env = services->environment();
        m_app = std::make_unique<QuillsteadAppController>(m_env);
        m_app->applicationDidFinishLaunching({});
        QMainWindow* window = m_app->mainWindowController()->window();
        window->resize(1280, 800);
        window->show();
        LayoutBookPane* kjv = nullptr;
        size_t region = 0;
        waitFor([&] {
            Layout* layout = m_env.layoutManager().currentLayout();
            for (size_t i = 0; layout != nullptr && i < layout->contents().size(); ++i) {
                LayoutBookPane* pane = asBookPane(layout->contentsAt(i)->viewController());
                const auto book = pane != nullptr ? pane->currentSourceTuple() : nullptr;
                if (book != nullptr && book->record().pubID == 1 && book->record().bookID == 101) {
                    kjv = pane;
                    region = i;
                    return true;
                }
            }
            return false;
        });
        if (kjv == nullptr)
            return false;
        m_kjv = kjv->currentSourceTuple();
        panes()->view()->makePaneCurrentWithRegion(m_env.layoutManager().currentLayout()->regionAt(region));
        m_page = kjv->paneView()->findChild<BookPageView*>();
        return m_page != nullptr && waitFor([&] { return m_page->webViewSerialNumber() > 0; });
    }

    void stop()
    {
        if (!m_app)
            return;
        m_app->applicationWillTerminate();
        m_app.reset();
        m_env.layoutManager().setLayouts({});
    }

    // Opens the Bible go-to and types the reference (not timed); the reference field's box.
    QComboBox* prepare(const QString& reference)
    {
        QAction* command = enabledCommand(CommandNames::GoTo);
        if (command == nullptr)
            return nullptr;
        command->trigger();
        auto* study = dynamic_cast<StudyPaneViewController*>(panes()->view()->studyPane());
        auto* go = study != nullptr ? dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController())
                                    : nullptr;
        if (go == nullptr)
            return nullptr;
        // Typed key by key, as a reader types it (the field completes and the pane is woken);
        // QS_GOTO_TYPED=0 puts it in the field at once.
        QComboBox* field = go->verseComboBox();
        if (qEnvironmentVariable("QS_GOTO_TYPED") == QLatin1String("0")) {
            field->setEditText(reference);
            return field;
        }
        field->lineEdit()->selectAll();
        QTest::keyClick(field->lineEdit(), Qt::Key_Backspace);
        QTest::keyClicks(field->lineEdit(), reference);
        return field;
    }

    // Presses Return in the go-to field and waits until the Bible pane has painted the place;
    // the time in seconds, or a negative number when nothing was painted. On an X screen, `screen`
    // gets what the screen showed (not ok when it was not watched). A breakdown, when given, is told
    // the key's times and collects the go-to's steps.
    double goTo(QComboBox* field, bool& newPage, ScreenFrames::Result& screen, GoToBreakdown* breakdown = nullptr)
    {
        bool painted = false;
        bool loaded = false;
        const auto c = QObject::connect(m_page, &BookPageView::goToPainted, [&](quint64) { painted = true; });
        const auto l = QObject::connect(m_page, &BookPageView::pageLoaded, [&](quint64, bool) { loaded = true; });
        std::unique_ptr<ScreenFrames> frames = watchPane();
        QElapsedTimer t;
        t.start();
        if (frames)
            frames->start(5);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        if (breakdown)
            breakdown->keySent();
        QCoreApplication::sendEvent(field, &enter);
        if (breakdown)
            breakdown->keyReturned();
        const bool ok = waitFor([&] { return painted; }, 20000);
        const double seconds = double(t.nsecsElapsed()) / 1e9;
        screen = {};
        if (frames) {
            waitFor([&] { return frames->isDone(400, 5000); }, 6000);
            screen = frames->finish(400, 5000);
        }
        if (breakdown && ok)
            breakdown->collect(screen);
        QObject::disconnect(c);
        QObject::disconnect(l);
        newPage = loaded;
        return ok ? seconds : -1;
    }

    static constexpr int kScrollBarWidth = 16;

    // A watch of the Bible pane's page on the X screen; null offscreen.
    std::unique_ptr<ScreenFrames> watchPane() const
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return nullptr;
        QWidget* view = m_page;
        const QPoint topLeft = view->mapToGlobal(QPoint(0, 0));
        const qreal scale = view->devicePixelRatioF();
        // The page's own scroll bar (at the right, 15 pixels) is left out: its thumb moves when the
        // blocks above the verse come after the paint, which is no change of the text.
        ScreenFrames::Rect rect {int(topLeft.x() * scale), int(topLeft.y() * scale),
            int((view->width() - kScrollBarWidth) * scale), int(view->height() * scale)};
        auto frames = std::make_unique<ScreenFrames>();
        // Forty pixels: a caret or a scroll bar's thumb is no change, a moved line of text is.
        if (!frames->open(nullptr, rect, 40))
            return nullptr;
        return frames;
    }

    BookPageView* page() const { return m_page; }

    // Study > Verse Study on the current verse, the dialog's Study pressed as it shows, the report's
    // window waited for, left up `showMs`, then closed; true when a report window showed.
    bool openAndCloseVerseStudy(const QString& passage, int showMs)
    {
        QAction* command = enabledCommand(CommandNames::AutostudyVerse);
        if (command == nullptr)
            return false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&poll, &passage] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<AutostudyVerseWindowController*>(w); d != nullptr && d->isVisible()) {
                    poll.stop();
                    if (auto* field = d->findChild<QLineEdit*>(QStringLiteral("passageTextField")))
                        field->setText(passage);
                    d->onPerformAutostudy();
                    if (d->isVisible())
                        d->onClose();  // refused: no report
                    return;
                }
        });
        poll.start();
        command->trigger();  // the dialog may come after this returns, and is modal
        AutostudyResultsWindowController* shown = nullptr;
        waitFor(
            [&shown] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* r = qobject_cast<AutostudyResultsWindowController*>(w); r != nullptr && r->isVisible())
                        shown = r;
                return shown != nullptr;
            },
            5000);
        if (shown == nullptr)
            return false;
        waitFor([] { return false; }, showMs);
        shown->onClose();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return true;
    }

    // Study > Notes, the note of `bibleKey` in the King James opened for editing as its note link
    // does, the editor focused (as a click in it would) and `text` typed as the keyboard delivers
    // it; true once the editor has handed the reader what was typed.
    bool editNote(quint32 bibleKey, const QString& text)
    {
        QAction* command = enabledCommand(CommandNames::Notes);
        if (command == nullptr)
            return false;
        command->trigger();
        auto* study = dynamic_cast<StudyPaneViewController*>(panes()->view()->studyPane());
        StudyPaneNoteViewEditViewController* notes =
            study != nullptr ? study->studyPaneNoteViewEditViewController() : nullptr;
        if (notes == nullptr)
            return false;
        m_env.notifications().postNotificationName(LibraryNotifications::qsUserNoteLinkSelected, nullptr,
            {{QStringLiteral("source"), bookVariant(m_kjv)}, {QStringLiteral("key"), bibleKey},
                {QStringLiteral("edit"), true}});
        NoteWebView* editor = notes->webView(StudyPaneNoteViewEditViewController::RichEditTab);
        if (editor == nullptr || !waitFor([editor] { return editor->isPageReady(); }, 10000))
            return false;
        editor->setFocus();
        bool focused = false;
        editor->page()->runJavaScript(QStringLiteral("qsFocusEditor(); document.activeElement === qsEditorElement()"),
            [&focused](const QVariant& v) { focused = v.toBool(); });
        if (!waitFor([&focused] { return focused; }, 5000))
            return false;
        QTest::keyClicks(editor->focusProxy() != nullptr ? editor->focusProxy() : editor, text);
        return waitFor(
            [&] {
                const StudyPaneNoteEditor::Page* held = notes->noteEditor()->pageShownBy(editor);
                return held != nullptr && held->latest.contains(text);
            },
            10000);
    }

private:
    // The window's command, its menu about to show as when the user opens it; null when it is disabled.
    QAction* enabledCommand(const CommandId& id) const
    {
        QuillsteadWindowController* window = m_app->mainWindowController();
        QAction* command = window->actions().action(id);
        for (QMenu* menu : window->window()->menuBar()->findChildren<QMenu*>())
            if (menu->actions().contains(command))
                emit menu->aboutToShow();
        return command != nullptr && command->isEnabled() ? command : nullptr;
    }

    LayoutViewController* panes() const { return m_app->mainWindowController()->layoutViewController(); }

    WindowEnvironment m_env;
    std::unique_ptr<QuillsteadAppController> m_app;
    BookPageView* m_page = nullptr;
    std::shared_ptr<SourceTuple> m_kjv;
};

Reader& reader()
{
    static Reader r;
    return r;
}

void run(benchmark::State& state, const QString& start, const QString& a, const QString& b)
{
    Reader& r = reader();
    if (!r.start()) {
        state.SkipWithError("the reader did not show the King James pane");
        return;
    }
    bool newPage = false;
    ScreenFrames::Result screen;
    QComboBox* field = r.prepare(start);
    if (field == nullptr || r.goTo(field, newPage, screen) < 0) {
        state.SkipWithError("the first go-to did not paint");
        return;
    }
    waitFor([] { return false; }, 300);  // the page fills around the place
    std::unique_ptr<GoToBreakdown> breakdown;
    if (qEnvironmentVariableIntValue("QS_GOTO_BREAKDOWN") == 1)
        breakdown = std::make_unique<GoToBreakdown>(r.page());
    int newPages = 0;
    int screenCount = 0;
    double screenMs = 0;
    double screenFirstMs = 0;
    const double pause =
        qEnvironmentVariableIsSet("QS_GOTO_PAUSE") ? qEnvironmentVariable("QS_GOTO_PAUSE").toDouble() : 0;
    ProcessCosts costs;
    int costCount = 0;
    size_t i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (breakdown && !breakdown->prepare()) {
            state.SkipWithError("the page did not take the breakdown's timing");
            return;
        }
        if (pause > 0) {
            // Left alone, as a reader reading leaves it: the loop sleeps until the timer.
            QEventLoop idle;
            QTimer::singleShot(int(pause * 1000), &idle, &QEventLoop::quit);
            idle.exec();
        }
        field = r.prepare(i++ % 2 == 0 ? a : b);
        waitFor([] { return false; }, 150);  // the previous page settles; the reference is in the field
        state.ResumeTiming();
        if (field == nullptr) {
            state.SkipWithError("no Bible go-to");
            return;
        }
        const ProcessCosts before = ProcessCosts::now();
        const double seconds = r.goTo(field, newPage, screen, breakdown.get());
        if (seconds < 0) {
            state.SkipWithError("the go-to did not paint");
            return;
        }
        const ProcessCosts after = ProcessCosts::now();
        costs.readerCpuMs += after.readerCpuMs - before.readerCpuMs;
        costs.rendererCpuMs += after.rendererCpuMs - before.rendererCpuMs;
        costs.readerMinflt += after.readerMinflt - before.readerMinflt;
        costs.readerMajflt += after.readerMajflt - before.readerMajflt;
        costs.rendererMinflt += after.rendererMinflt - before.rendererMinflt;
        costs.rendererMajflt += after.rendererMajflt - before.rendererMajflt;
        ++costCount;
        state.SetIterationTime(seconds);
        newPages += newPage ? 1 : 0;
        if (screen.ok && screen.settledMs >= 0) {
            ++screenCount;
            screenMs += screen.settledMs;
            screenFirstMs += screen.firstChangeMs;
        }
    }
    state.counters["new_pages"] = newPages;
    if (costCount > 0) {
        state.counters["reader_cpu_ms"] = costs.readerCpuMs / costCount;
        state.counters["renderer_cpu_ms"] = costs.rendererCpuMs / costCount;
        state.counters["reader_minflt"] = costs.readerMinflt / costCount;
        state.counters["reader_majflt"] = costs.readerMajflt / costCount;
        state.counters["renderer_minflt"] = costs.rendererMinflt / costCount;
        state.counters["renderer_majflt"] = costs.rendererMajflt / costCount;
    }
    if (pause > 0)
        state.counters["pause_s"] = pause;
    if (breakdown)
        breakdown->report(state);
    if (screenCount > 0) {
        state.counters["screen_ms"] = screenMs / screenCount;
        state.counters["screen_first_ms"] = screenFirstMs / screenCount;
        state.counters["screen_rounds"] = screenCount;
    }
}

void GoTo_in_page(benchmark::State& state)
{
    run(state, QStringLiteral("John 3:16"), QStringLiteral("John 3:10"), QStringLiteral("John 3:20"));
}
void GoTo_other_chapter(benchmark::State& state)
{
    run(state, QStringLiteral("John 9:1"), QStringLiteral("John 5:1"), QStringLiteral("John 9:1"));
}
void GoTo_other_book(benchmark::State& state)
{
    run(state, QStringLiteral("Romans 8:28"), QStringLiteral("Psalm 23:1"), QStringLiteral("Romans 8:28"));
}
// Chapters of each book of the Protestant canon, in order, and the names the go-to field takes.
struct BibleBook {
    const char* name;
    int chapters;
};
const BibleBook kBooks[66] = {{"Genesis", 50}, {"Exodus", 40}, {"Leviticus", 27}, {"Numbers", 36}, {"Deuteronomy", 34},
    {"Joshua", 24}, {"Judges", 21}, {"Ruth", 4}, {"1 Samuel", 31}, {"2 Samuel", 24}, {"1 Kings", 22}, {"2 Kings", 25},
    {"1 Chronicles", 29}, {"2 Chronicles", 36}, {"Ezra", 10}, {"Nehemiah", 13}, {"Esther", 10}, {"Job", 42},
    {"Psalm", 150}, {"Proverbs", 31}, {"Ecclesiastes", 12}, {"Song of Solomon", 8}, {"Isaiah", 66}, {"Jeremiah", 52},
    {"Lamentations", 5}, {"Ezekiel", 48}, {"Daniel", 12}, {"Hosea", 14}, {"Joel", 3}, {"Amos", 9}, {"Obadiah", 1},
    {"Jonah", 4}, {"Micah", 7}, {"Nahum", 3}, {"Habakkuk", 3}, {"Zephaniah", 3}, {"Haggai", 2}, {"Zechariah", 14},
    {"Malachi", 4}, {"Matthew", 28}, {"Mark", 16}, {"Luke", 24}, {"John", 21}, {"Acts", 28}, {"Romans", 16},
    {"1 Corinthians", 16}, {"2 Corinthians", 13}, {"Galatians", 6}, {"Ephesians", 6}, {"Philippians", 4},
    {"Colossians", 4}, {"1 Thessalonians", 5}, {"2 Thessalonians", 3}, {"1 Timothy", 6}, {"2 Timothy", 4}, {"Titus", 3},
    {"Philemon", 1}, {"Hebrews", 13}, {"James", 5}, {"1 Peter", 5}, {"2 Peter", 3}, {"1 John", 5}, {"2 John", 1},
    {"3 John", 1}, {"Jude", 1}, {"Revelation", 22}};

// The i-th place of the soak: consecutive go-tos are 29 books apart (29 and 66 share no factor, so
// every book comes round), each visit of a book at another chapter.
QString soakPlace(int i)
{
    const BibleBook& book = kBooks[(i * 29) % 66];
    const int chapter = 1 + (i / 66 * 7 + i) % book.chapters;
    return QStringLiteral("%1 %2:1").arg(QLatin1String(book.name)).arg(chapter);
}

// The Bible key of soakPlace(i): book (1-66), chapter and verse, a byte each below the book.
quint32 soakKey(int i)
{
    const int book = (i * 29) % 66;
    const int chapter = 1 + (i / 66 * 7 + i) % kBooks[book].chapters;
    return (quint32(book + 1) << 16) | (quint32(chapter) << 8) | 1u;
}

// Whether a process outside this process's tree maps the same web-engine library file as this one.
bool engineLibraryShared()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    QByteArray library;
    for (const QByteArray& line : maps.readAll().split('\n'))
        if (line.contains("libQt6WebEngineCore.so")) {
            library = line.mid(line.indexOf('/'));
            break;
        }
    if (library.isEmpty())
        return false;
    QSet<qint64> tree;
    QList<qint64> pending {QCoreApplication::applicationPid()};
    while (!pending.isEmpty()) {
        const qint64 p = pending.takeLast();
        tree.insert(p);
        QDirIterator tasks(QStringLiteral("/proc/%1/task").arg(p), QDir::Dirs | QDir::NoDotAndDotDot);
        while (tasks.hasNext()) {
            QFile children(tasks.next() + QStringLiteral("/children"));
            if (children.open(QIODevice::ReadOnly))
                for (const QByteArray& c : children.readAll().split(' '))
                    if (!c.trimmed().isEmpty())
                        pending.append(c.trimmed().toLongLong());
        }
    }
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const qint64 p = entry.toLongLong(&ok);
        if (!ok || tree.contains(p))
            continue;
        QFile other(QStringLiteral("/proc/%1/maps").arg(p));
        if (other.open(QIODevice::ReadOnly) && other.readAll().contains(library))
            return true;
    }
    return false;
}

void GoTo_soak(benchmark::State& state)
{
    if (qEnvironmentVariableIntValue("QS_SOAK") != 1) {
        state.SkipWithError("the soak runs only with QS_SOAK=1 (about ten minutes)");
        return;
    }
    Reader& r = reader();
    if (!r.start()) {
        state.SkipWithError("the reader did not show the King James pane");
        return;
    }
    const int count =
        qEnvironmentVariableIntValue("QS_SOAK_GOTOS") > 0 ? qEnvironmentVariableIntValue("QS_SOAK_GOTOS") : 1000;
    const int warmup = qEnvironmentVariableIntValue("QS_SOAK_WARMUP") > 0
        ? qMin(qEnvironmentVariableIntValue("QS_SOAK_WARMUP"), count)
        : qMin(100, count);
    const auto mb = [](qint64 kib) { return double(kib) / 1024.0; };
    ProcessTree::Summary first;
    ProcessTree::Summary warm;
    ProcessTree::Summary end;
    qint64 warmHeap = 0;
    qint64 endHeap = 0;
    qint64 firstHeap = 0;
    qint64 maxPss = 0;
    ProcessTree::Summary warmIdle;
    ProcessTree::Summary endIdle;
    int failed = 0;
    int reports = 0;
    // A Verse Study report opened and closed after every fifth go-to, and the note of the verse gone
    // to edited two go-tos later (QS_SOAK_REPORT_EVERY, QS_SOAK_NOTE_EVERY: another period; -1: none).
    const auto every = [](const char* name) {
        bool ok = false;
        const int n = qEnvironmentVariableIntValue(name, &ok);
        return ok && n != 0 ? n : 5;
    };
    const int reportEvery = every("QS_SOAK_REPORT_EVERY");
    const int noteEvery = every("QS_SOAK_NOTE_EVERY");
    int notes = 0;
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            bool newPage = false;
            ScreenFrames::Result screen;
            QComboBox* field = r.prepare(soakPlace(i));
            if (field == nullptr) {
                state.SkipWithError("no Bible go-to");
                return;
            }
            if (r.goTo(field, newPage, screen) < 0)
                ++failed;
            waitFor([] { return false; }, 30);  // the blocks around the place come in
            const int done = i + 1;
            if (reportEvery > 0 && done % reportEvery == 0)
                reports += r.openAndCloseVerseStudy(soakPlace(i), 150) ? 1 : 0;
            if (noteEvery > 0 && done % noteEvery == 2 % noteEvery)
                notes += r.editNote(soakKey(i), QStringLiteral("Soaked%1").arg(done)) ? 1 : 0;
            if (done == 1 || done == warmup || done == count || done % 100 == 0) {
                waitFor([] { return false; }, 500);  // the page settles before it is weighed
                // A report's page has a renderer of its own, which ends a moment after its window
                // closed: the tree is weighed once it has gone (5 s at most).
                waitFor([&first, done] { return done == 1 || ProcessTree::summarize().renderers <= first.renderers; },
                    5000);
                const ProcessTree::Summary now = ProcessTree::summarize();
                const qint64 heap = ProcessTree::heapInUseKiB();
                maxPss = qMax(maxPss, now.pssKiB);
                std::fprintf(stderr, "soak %4d go-tos: tree PSS %.1f MB USS %.1f MB, reader PSS %.1f MB heap %.1f MB\n",
                    done, mb(now.pssKiB), mb(now.ussKiB), mb(now.ownPssKiB), mb(heap));
                // After the warm-up and at the end, left alone for 33 s as a reader reading is, and
                // weighed again.
                ProcessTree::Summary idle;
                if (done == warmup || done == count) {
                    QEventLoop idleLoop;  // sleeping in the event loop: the waits above spin
                    QTimer::singleShot(33000, &idleLoop, &QEventLoop::quit);
                    idleLoop.exec();
                    idle = ProcessTree::summarize();
                    std::fprintf(stderr,
                        "soak %4d go-tos, idle 33 s: tree PSS %.1f MB USS %.1f MB, reader PSS %.1f MB\n", done,
                        mb(idle.pssKiB), mb(idle.ussKiB), mb(idle.ownPssKiB));
                }
                if (done == 1) {
                    first = now;
                    firstHeap = heap;
                }
                if (done == warmup) {
                    warm = now;
                    warmIdle = idle;
                    warmHeap = heap;
                }
                if (done == count) {
                    end = now;
                    endIdle = idle;
                    endHeap = heap;
                }
            }
        }
    }
    state.counters["gotos"] = count;
    state.counters["failed"] = failed;
    state.counters["reports"] = reports;
    state.counters["note_edits"] = notes;
    state.counters["first_tree_PSS_MB"] = mb(first.pssKiB);
    state.counters["first_heap_MB"] = mb(firstHeap);
    state.counters["warm_tree_PSS_MB"] = mb(warm.pssKiB);
    state.counters["warm_tree_USS_MB"] = mb(warm.ussKiB);
    state.counters["warm_own_PSS_MB"] = mb(warm.ownPssKiB);
    state.counters["warm_heap_MB"] = mb(warmHeap);
    state.counters["end_tree_PSS_MB"] = mb(end.pssKiB);
    state.counters["end_tree_USS_MB"] = mb(end.ussKiB);
    state.counters["end_own_PSS_MB"] = mb(end.ownPssKiB);
    state.counters["end_heap_MB"] = mb(endHeap);
    state.counters["growth_MB"] = mb(end.pssKiB - warm.pssKiB);
    state.counters["max_PSS_MB"] = mb(maxPss);
    state.counters["warm_idle_tree_PSS_MB"] = mb(warmIdle.pssKiB);
    state.counters["end_idle_tree_PSS_MB"] = mb(endIdle.pssKiB);
    state.counters["idle_growth_MB"] = mb(endIdle.pssKiB - warmIdle.pssKiB);
    state.counters["processes"] = end.processes;
    state.counters["other_engine_processes"] = end.otherEngineProcesses;
    state.counters["engine_shared"] = engineLibraryShared() ? 1 : 0;
}

BENCHMARK(GoTo_soak)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    const QByteArray path = home.path().toUtf8();
    qputenv("HOME", path);
    qputenv("XDG_DATA_HOME", path + "/data");
    qputenv("XDG_CACHE_HOME", path + "/cache");
    qputenv("XDG_CONFIG_HOME", path + "/config");
    qputenv("XDG_RUNTIME_DIR", path + "/run");
    QDir().mkpath(home.path() + QStringLiteral("/run"));
    QFile::setPermissions(home.path() + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    BookPageScheme::registerScheme();
    static EngineProcesses::Arguments arguments(argc, argv);
    // Never deleted: the web engine's clean-up at exit outlives it otherwise.
    new QApplication(arguments.argc(), arguments.argv());
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        WebViewGraphics::choose();
    EngineProcesses::started();
    QuillsteadAppController::setBundledBooksFolder(QStringLiteral(QS_BINARY_DIR "/books"));
    const int rounds =
        qEnvironmentVariableIntValue("QS_GOTO_ROUNDS") > 0 ? qEnvironmentVariableIntValue("QS_GOTO_ROUNDS") : 12;
    for (const auto& [name, function] : {std::pair {"GoTo_in_page", &GoTo_in_page},
             std::pair {"GoTo_other_chapter", &GoTo_other_chapter}, std::pair {"GoTo_other_book", &GoTo_other_book}})
        benchmark::RegisterBenchmark(name, function)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(rounds);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    reader().stop();
    benchmark::Shutdown();
    return 0;
}
