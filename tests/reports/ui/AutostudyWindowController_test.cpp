// The three autostudy dialogs (verse, word, today's reading) and their element and book tables, run
// offscreen on the sample library: choices are written to the element file and read back, and each
// dialog's report reaches the results presenter.
#include "panes/layout/PaneNotifications.h"
#include "platform/SettingsKeys.h"
#include "reports/ui/AutostudyCSSEditorWindowController.h"
#include "reports/ui/AutostudyTableModel.h"
#include "reports/ui/AutostudyTodayWindowController.h"
#include "reports/ui/AutostudyVerseWindowController.h"
#include "reports/ui/AutostudyWordWindowController.h"

#include "library/SourceManager.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "reports/AutoStudyManager.h"
#include "reports/OutputFile.h"
#include "support/RecordingAlerts.h"
#include "userdata/cSQLiteDbBase.h"

#include "support/TestSupport.h"
#include "userdata/cNoteDoc.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

struct Presented {
    QString file;
    QString name;
    QVariantMap info;
};

class AutostudyDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const QDir home(TestSupport::startApplication("autostudy-dialogs-test", TestSupport::Web::None));
        const QString samples = TestSupport::sampleLibraryFolder();
        const QString books = AppFolders::booksDirectory();
        QDir().mkpath(books);
        const QStringList names = QDir(samples).entryList({QStringLiteral("*.tvk")}, QDir::Files);
        for (const QString& n : names)
            QFile::copy(samples + QLatin1Char('/') + n, books + QLatin1Char('/') + n);
        s_haveBooks = names.contains(QStringLiteral("KJV.tvk"));
        TestSupport::usePrivateEngineData();
        // The dialogs' window has defaults, alerts and a centre of its own, apart from the process's.
        static UserDefaults windowDefaults(home.filePath(QStringLiteral("window-defaults.ini")));
        SettingsRegistry::registerDefaultsForAllPreferences(windowDefaults);
        s_defaults = &windowDefaults;
        s_alerts = std::make_shared<RecordingAlerts>();
        s_processAlerts = &TestSupport::programAlerts();
        static NotificationCenter centre;
        s_env.setNotifications(&centre);
        s_env.setSettings(&windowDefaults);
        s_env.setAlert(s_alerts.get());
        s_env.setBooks(&SourceManager::singleton());
        // The manager follows the library on the program's centre, as the application's does.
        s_autoStudy = AutoStudyManager::create(NotificationCenter::defaultCenter(), SourceManager::singleton(),
            TestSupport::privateDefaults(), noteDocInstance());
        s_env.setAutoStudy(s_autoStudy.get());
        presentHere();
    }

    static void TearDownTestSuite() { s_autoStudy.reset(); }

    static void presentHere()
    {
        s_env.autostudyResults = [](const WindowEnvironment& env, const QString& file, const QString& n,
                                     const QVariantMap& info) {
            EXPECT_EQ(&env.notifications(), &s_env.notifications())
                << "the results window gets the dialog's environment";
            EXPECT_EQ(&env.alert(), &s_env.alert());
            s_presented.append({file, n, info});
        };
    }

    void SetUp() override
    {
        if (!s_haveBooks)
            GTEST_SKIP() << "the sample library is not built";
        s_alerts->clear();
        s_presented.clear();
    }

    void TearDown() override
    {
        for (const Presented& p : s_presented)
            QFile::remove(p.file);
        EXPECT_TRUE(s_processAlerts->shown().isEmpty());
    }

    static SourceTuple::Ptr book(const char* abbreviation)
    {
        for (const auto& t : SourceManager::singleton().allSources()->array())
            if (t->record().abbr == QLatin1String(abbreviation))
                return t;
        return nullptr;
    }

    // The element set as the file on disk holds it.
    static AutoStudyElements onDisk() { return AutoStudyElements::autoStudyElementsFromDefaultFile(); }
    // Copies of the verse list and of one element's books as the file holds them (safe to loop over).
    static AutoStudyElementList verseOnDisk() { return onDisk().verseStudyElements(); }
    static QList<AutoStudyBook> booksOnDisk(int element) { return onDisk().verseStudyElements()[element].bookArray; }

    static QString contents(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    static QStringList names(const AutoStudyElementList& list)
    {
        QStringList out;
        for (const AutoStudyElement& e : list)
            out.append(e.text);
        return out;
    }

    // Opens a dialog as the program does, with its modal `run`, and hands it to `act` once it shows;
    // a dialog `act` leaves open is closed as Escape closes it.
    template <class D> static void whileOpen(const QVariantMap& request, const std::function<void(D&)>& act)
    {
        bool acted = false;
        QTimer::singleShot(0, [&] {
            D* dialog = TestSupport::shownWindow<D>();
            ASSERT_NE(dialog, nullptr) << "the dialog did not show";
            acted = true;
            act(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        D::run(s_env, request);
        EXPECT_TRUE(acted);
    }
    static QVariantMap verseRequest(const char* reference, const SourceTuple::Ptr& bible)
    {
        return {{QStringLiteral("refString"), QString::fromUtf8(reference)},
            {QStringLiteral("sourceTuple"), sharedObjectVariant(bible)}};
    }

    // A control of the dialog, found by its name as a user finds it by its place.
    template <class W> static W* control(QWidget& dialog, const char* name)
    {
        W* found = dialog.findChild<W*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static void click(QWidget& dialog, const char* button) { control<QPushButton>(dialog, button)->click(); }
    static QTableView* elementTable(QWidget& dialog) { return control<QTableView>(dialog, "ElementTable"); }
    static QTableView* bookTable(QWidget& dialog) { return control<QTableView>(dialog, "BookTable"); }
    // The rows a table shows (what its drops and moves go to).
    static AutostudyTableModel* rows(QTableView* table) { return qobject_cast<AutostudyTableModel*>(table->model()); }
    // A row made the current one, as the arrow keys or a click make it.
    static void select(QTableView* table, int row)
    {
        table->setCurrentIndex(table->model()->index(row, AutostudyTableModel::TextColumn));
    }
    // A row's check box made current and flipped with the space bar.
    static void toggle(QTableView* table, int row)
    {
        table->setCurrentIndex(table->model()->index(row, AutostudyTableModel::CheckboxColumn));
        QTest::keyClick(table, Qt::Key_Space);
    }
    static int selectedRow(QTableView* table)
    {
        const QModelIndexList selected = table->selectionModel()->selectedRows();
        return selected.isEmpty() ? -1 : selected.first().row();
    }

    static inline bool s_haveBooks = false;
    static inline std::shared_ptr<RecordingAlerts> s_alerts;
    static inline RecordingAlerts* s_processAlerts = nullptr;
    static inline UserDefaults* s_defaults = nullptr;
    static inline std::unique_ptr<AutoStudyManager> s_autoStudy;
    static inline WindowEnvironment s_env;
    static inline QList<Presented> s_presented;
};

TEST(AutostudyTableMoves, EntriesMoveAndTheSelectionFollowsItsElement)
{
    using M = AutostudyTableModel;
    QList<int> list {0, 1, 2, 3, 4};
    M::moveEntry(list, 0, 3);  // row 0 dropped before row 3
    EXPECT_EQ(list, (QList<int> {1, 2, 0, 3, 4}));
    list = {0, 1, 2, 3, 4};
    M::moveEntry(list, 4, 1);
    EXPECT_EQ(list, (QList<int> {0, 4, 1, 2, 3}));
    list = {0, 1, 2, 3, 4};
    M::moveEntry(list, 1, 5);  // to the end
    EXPECT_EQ(list, (QList<int> {0, 2, 3, 4, 1}));

    EXPECT_EQ(M::selectionAfterMove(0, 0, 3), 2);  // the dragged, selected row
    EXPECT_EQ(M::selectionAfterMove(3, 4, 1), 4);  // dragged up across the selected row
    EXPECT_EQ(M::selectionAfterMove(2, 0, 4), 1);  // dragged down across it
    EXPECT_EQ(M::selectionAfterMove(2, 4, 2), 2);  // dropped onto the selected row's place
    EXPECT_EQ(M::selectionAfterMove(3, 0, 3), 2);
    EXPECT_EQ(M::selectionAfterMove(4, 0, 2), 4);  // outside the move
    EXPECT_EQ(M::selectionAfterMove(0, 2, 4), 0);
}

TEST_F(AutostudyDialogs, TicksMovesAndAllOrNoneAreWrittenStraightAway)
{
    using V = AutostudyVerseWindowController;
    whileOpen<V>(verseRequest("John 3:16", book("KJV")), [](V& dialog) {
        QTableView* elementView = elementTable(dialog);
        QTableView* bookView = bookTable(dialog);
        AutostudyTableModel* elements = rows(elementView);
        AutostudyTableModel* books = rows(bookView);
        ASSERT_EQ(elements->rowCount(), 7);
        EXPECT_EQ(elements->data(elements->index(0, AutostudyTableModel::TextColumn), Qt::DisplayRole).toString(),
            QStringLiteral("Bibles"));
        EXPECT_EQ(selectedRow(elementView), 0);
        EXPECT_EQ(books->element()->text, QStringLiteral("Bibles"));
        EXPECT_EQ(books->rowCount(), onDisk().verseStudyElements()[0].bookArray.size());
        QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
        EXPECT_TRUE(dialog.grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/autostudy-verse-dialog.png")));

        // Untick the first Bible of "Bibles", then the commentaries element, whose books the table then shows.
        ASSERT_GT(books->rowCount(), 1);
        const QString firstBook = books->data(books->index(0, 1), Qt::DisplayRole).toString();
        toggle(bookView, 0);
        ASSERT_EQ(elements->index(2, AutostudyTableModel::CheckboxColumn).data(Qt::CheckStateRole), Qt::Checked);
        toggle(elementView, 2);
        EXPECT_EQ(books->element()->text, onDisk().verseStudyElements()[2].text);
        EXPECT_FALSE(
            elements->setData(elements->index(2, AutostudyTableModel::TextColumn), QStringLiteral("x"), Qt::EditRole));
        {
            AutoStudyElements saved = onDisk();
            EXPECT_FALSE(saved.verseStudyElements()[2].checked);
            EXPECT_EQ(saved.verseStudyElements()[0].bookArray[0].detailText, firstBook);
            EXPECT_FALSE(saved.verseStudyElements()[0].bookArray[0].checked);
        }

        // Drag the selected element from row 0 to row 3: it lands at row 2 and stays selected.
        select(elementView, 0);
        const QStringList before = names(onDisk().verseStudyElements());
        std::unique_ptr<QMimeData> drag(elements->mimeData({elements->index(0, 1)}));
        ASSERT_TRUE(drag);
        EXPECT_TRUE(drag->hasFormat(elements->mimeType()));
        EXPECT_FALSE(books->canDropMimeData(drag.get(), Qt::MoveAction, 1, 0, {}))
            << "an element row must not land among the books";
        ASSERT_TRUE(elements->dropMimeData(drag.get(), Qt::MoveAction, 3, 0, {}));
        QStringList expected = before;
        expected.move(0, 2);
        EXPECT_EQ(names(onDisk().verseStudyElements()), expected);
        EXPECT_EQ(selectedRow(elementView), 2);
        EXPECT_EQ(books->shownElement(), 2);
        EXPECT_EQ(books->element()->text, QStringLiteral("Bibles"));

        // Another element dragged up across the selected row: the selection follows "Bibles" to row 3.
        ASSERT_TRUE(elements->moveRow(4, 1));
        EXPECT_EQ(selectedRow(elementView), 3);
        EXPECT_EQ(books->element()->text, QStringLiteral("Bibles"));

        // Damaged or foreign drag data is refused and changes nothing.
        QMimeData garbage;
        garbage.setData(elements->mimeType(), QByteArray("\xff\xff\xff\xff\x00\x01", 6));
        EXPECT_FALSE(elements->dropMimeData(&garbage, Qt::MoveAction, 1, 0, {}));
        QMimeData foreign;
        foreign.setText(QStringLiteral("0"));
        EXPECT_FALSE(elements->dropMimeData(&foreign, Qt::MoveAction, 1, 0, {}));
        EXPECT_FALSE(elements->moveRow(0, 99));
        EXPECT_FALSE(elements->moveRow(-1, 0));

        // Books reorder within their element.
        const QString second = books->data(books->index(1, 1), Qt::DisplayRole).toString();
        std::unique_ptr<QMimeData> bookDrag(books->mimeData({books->index(1, 0)}));
        ASSERT_TRUE(books->dropMimeData(bookDrag.get(), Qt::MoveAction, 0, 0, {}));
        EXPECT_EQ(onDisk().verseStudyElements()[3].bookArray[0].detailText, second);

        // None, then All: written; All again when everything is ticked changes and writes nothing.
        click(dialog, "noneKindsButton");
        for (const AutoStudyElement& e : verseOnDisk())
            EXPECT_FALSE(e.checked) << e.text.toStdString();
        click(dialog, "allKindsButton");
        for (const AutoStudyElement& e : verseOnDisk())
            EXPECT_TRUE(e.checked) << e.text.toStdString();
        QFile::remove(AutoStudyElements::defaultFilename());
        click(dialog, "allKindsButton");
        EXPECT_FALSE(QFile::exists(AutoStudyElements::defaultFilename()));
        click(dialog, "noneBooksButton");
        for (const AutoStudyBook& b : booksOnDisk(3))
            EXPECT_FALSE(b.checked);
        click(dialog, "allBooksButton");
        for (const AutoStudyBook& b : booksOnDisk(3))
            EXPECT_TRUE(b.checked);
    });
}

TEST_F(AutostudyDialogs, VerseStudyChecksThePassageAndHandsTheReportOn)
{
    using V = AutostudyVerseWindowController;
    const SourceTuple::Ptr kjv = book("KJV");
    const SourceTuple::Ptr web = book("WEB");
    ASSERT_TRUE(kjv && web);
    // Without a Bible given, the one last used for copying is chosen, as the window's defaults hold it
    // (not the process's).
    s_defaults->set(SettingsKeys::CpBiblePubID, web->record().pubID);
    s_defaults->set(SettingsKeys::CpBibleBookID, web->record().bookID);
    TestSupport::privateDefaults().set(SettingsKeys::CpBiblePubID, kjv->record().pubID);
    TestSupport::privateDefaults().set(SettingsKeys::CpBibleBookID, kjv->record().bookID);
    const auto lastAlert = [] { return s_alerts->shown().isEmpty() ? Alert() : s_alerts->shown().last(); };
    whileOpen<V>(verseRequest("Jn 3:16-", nullptr), [&](V& dialog) {
        QComboBox* bibles = control<QComboBox>(dialog, "biblePopUpButton");
        EXPECT_EQ(dialog.sourceTuple(), web);
        EXPECT_EQ(bibles->currentText(), QStringLiteral("%1 (WEB)").arg(web->record().name));
        bibles->setCurrentIndex(
            bibles->findText(QStringLiteral("%1 (KJV)").arg(kjv->record().name)));  // the user's pick
        EXPECT_EQ(dialog.sourceTuple(), kjv);
        QLineEdit* passage = control<QLineEdit>(dialog, "passageTextField");
        EXPECT_EQ(passage->text(), QStringLiteral("Jn 3:16-"));
        const auto study = [&](const char* text) {
            passage->setText(QString::fromUtf8(text));
            click(dialog, "performButton");
        };

        study("Hezekiah 3:1");
        EXPECT_EQ(lastAlert().messageText, QStringLiteral("Hezekiah 3:1 is not a valid verse reference"));
        // Two ranges are refused before their length is looked at.
        study("Psalm 23, 24");
        EXPECT_EQ(lastAlert().messageText, QStringLiteral("Autostudy is limited to one verse or one range of verses."));
        study("Psalm 118:29-119:176");  // 177 verses
        EXPECT_EQ(lastAlert().messageText, QStringLiteral("Psalm 118:29-119:176 contains too many verses."));
        EXPECT_EQ(lastAlert().informativeText, QStringLiteral("Verse Autostudies are limited to about 150-200 verses"));
        EXPECT_TRUE(s_presented.isEmpty());
        EXPECT_EQ(s_alerts->shown().size(), 3);
        EXPECT_TRUE(dialog.isVisible());

        // 176 verses are studied (with every element off, only the passage itself).
        click(dialog, "noneKindsButton");
        study("Psalm 119");
        EXPECT_EQ(s_alerts->shown().size(), 3);
        ASSERT_EQ(s_presented.size(), 1);
        const QString psalm = contents(s_presented[0].file);
        EXPECT_TRUE(psalm.contains(QRegularExpression(QStringLiteral("class=\"title\">Study on Psalms? 119"))));
        EXPECT_TRUE(psalm.contains(QLatin1String("<small>176</small>")));
        EXPECT_FALSE(dialog.isVisible()) << "the dialog closes once the report is shown";
        click(dialog, "allKindsButton");
    });

    // John 3:16: the report reaches the presenter with the request that would make it again.
    whileOpen<V>(verseRequest("John 3:16", kjv), [](V& dialog) { click(dialog, "performButton"); });
    ASSERT_EQ(s_presented.size(), 2);
    const Presented& p = s_presented[1];
    EXPECT_EQ(p.name, PaneNotifications::UserWantsToDoVerseAutostudy);
    EXPECT_EQ(p.info.value(QStringLiteral("refString")).toString(), QStringLiteral("John 3:16"));
    EXPECT_EQ(p.info.value(QStringLiteral("saveAsHint")).toString(), QStringLiteral("John 3:16"));
    EXPECT_EQ(p.info.value(QStringLiteral("windowTitle")).toString(), QStringLiteral("John 3:16"));
    EXPECT_EQ(sharedObjectFromVariant<SourceTuple>(p.info.value(QStringLiteral("sourceTuple"))), kjv);
    const QString html = contents(p.file);
    EXPECT_TRUE(html.contains(QLatin1String("<div class=\"title\">Study on John 3:16 (KJV)</div>")));
    EXPECT_TRUE(html.contains(QLatin1String("Bibliography")));

    // The passage is read in the chosen Bible's translation, which has no Tobit.
    whileOpen<V>(verseRequest("Tobit 1:1", kjv), [](V& dialog) { click(dialog, "performButton"); });
    EXPECT_EQ(lastAlert().messageText, QStringLiteral("Tobit 1:1 is not a valid verse reference"));
    EXPECT_EQ(s_presented.size(), 2);

    // No Bible chosen: nothing to read the passage in.
    whileOpen<V>(verseRequest("John 3:16", kjv), [](V& dialog) {
        control<QComboBox>(dialog, "biblePopUpButton")->setCurrentIndex(-1);
        click(dialog, "performButton");
    });
    EXPECT_EQ(lastAlert().messageText, QStringLiteral("No results were found for John 3:16."));
    EXPECT_EQ(s_presented.size(), 2);
}

TEST_F(AutostudyDialogs, AStudyAskedFromACommentaryIsReadInThePreferredBible)
{
    using V = AutostudyVerseWindowController;
    const SourceTuple::Ptr scofield = book("Scofield");
    const SourceTuple::Ptr web = book("WEB");
    ASSERT_TRUE(scofield && web);
    UserDefaults& defaults = *s_defaults;
    // The Bible last used for copying is not the one a commentary's study is read in.
    defaults.set(SettingsKeys::CpBiblePubID, book("KJV")->record().pubID);
    defaults.set(SettingsKeys::CpBibleBookID, book("KJV")->record().bookID);
    defaults.set(SettingsKeys::PreferredBiblePubId, web->record().pubID);
    defaults.set(SettingsKeys::PreferredBibleBookId, web->record().bookID);
    whileOpen<V>(verseRequest("John 3:16", scofield), [&](V& dialog) {
        EXPECT_EQ(dialog.sourceTuple(), web);
        EXPECT_EQ(control<QComboBox>(dialog, "biblePopUpButton")->currentText(),
            QStringLiteral("%1 (WEB)").arg(web->record().name));
        QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
        EXPECT_TRUE(dialog.grab().save(
            QStringLiteral(QS_BINARY_DIR "/screenshots/autostudy-verse-dialog-from-commentary.png")));
        click(dialog, "performButton");
    });
    EXPECT_TRUE(s_alerts->shown().isEmpty());
    ASSERT_EQ(s_presented.size(), 1);
    EXPECT_TRUE(contents(s_presented[0].file).contains(QLatin1String("Study on John 3:16 (WEB)")));

    // Without a preferred Bible, the library's first; nor the Bible used for copying: the first again.
    const auto opensOnTheFirstBible = [](const SourceTuple::Ptr& from) {
        whileOpen<V>(verseRequest("John 3:16", from), [](V& dialog) {
            EXPECT_EQ(control<QComboBox>(dialog, "biblePopUpButton")->currentIndex(), 0);
            EXPECT_EQ(dialog.sourceTuple(), SourceManager::singleton().bibleSources()->tupleAtIndex(0));
        });
    };
    defaults.set(SettingsKeys::PreferredBiblePubId, 0);
    defaults.set(SettingsKeys::PreferredBibleBookId, 0);
    opensOnTheFirstBible(scofield);
    defaults.set(SettingsKeys::CpBiblePubID, 0);
    defaults.set(SettingsKeys::CpBibleBookID, 0);
    opensOnTheFirstBible(nullptr);
}

TEST_F(AutostudyDialogs, WordStudyCleansTheWordAndRefusesCommonWords)
{
    using W = AutostudyWordWindowController;
    EXPECT_EQ(W::cleanedUp(QStringLiteral("grace,")), QStringLiteral("grace"));
    EXPECT_EQ(W::cleanedUp(QStringLiteral("  \u201CGrace\u201D abounding\n")), QStringLiteral("Grace"));
    EXPECT_EQ(W::cleanedUp(QStringLiteral("(H2617)")), QStringLiteral("H2617"));
    EXPECT_EQ(W::cleanedUp(QStringLiteral("don't.")), QStringLiteral("don't"));
    EXPECT_EQ(W::cleanedUp(QStringLiteral(" ,;. ")), QString());

    const QVariantMap request {{QStringLiteral("word"), QStringLiteral("the")},
        {QStringLiteral("sourceTuple"), sharedObjectVariant(book("KJV"))}};
    whileOpen<W>(request, [](W& dialog) {
        click(dialog, "performButton");
        ASSERT_EQ(s_alerts->shown().size(), 1);
        EXPECT_EQ(s_alerts->shown()[0].messageText, QStringLiteral("No results were found for 'the'."));
        EXPECT_TRUE(s_presented.isEmpty());

        // The word dialog's list is its own: moving its elements leaves the verse list alone.
        AutostudyTableModel* elements = rows(elementTable(dialog));
        const QStringList verse = names(onDisk().verseStudyElements());
        ASSERT_TRUE(elements->moveRow(0, 4));
        EXPECT_EQ(names(onDisk().wordStudyElements()),
            (QStringList {QStringLiteral("Bibles to Search"), QStringLiteral("Bibles with Word Attributes"),
                QStringLiteral("Word Attribute Dictionaries"), QStringLiteral("Dictionary Definitions")}));
        EXPECT_EQ(names(onDisk().verseStudyElements()), verse);
        EXPECT_EQ(elements->mimeType(), QStringLiteral("application/x-quillstead-tqsWordElementRowPasteboardType"));

        control<QLineEdit>(dialog, "wordTextField")->setText(QStringLiteral("Grace, mercy"));
        click(dialog, "performButton");
    });
    ASSERT_EQ(s_presented.size(), 1);
    EXPECT_EQ(s_presented[0].name, PaneNotifications::UserWantsToDoWordAutostudy);
    EXPECT_EQ(s_presented[0].info.value(QStringLiteral("word")).toString(), QStringLiteral("Grace"));
    EXPECT_EQ(s_presented[0].info.value(QStringLiteral("windowTitle")).toString(), QStringLiteral("Grace"));
    const QString html = contents(s_presented[0].file);
    EXPECT_TRUE(html.contains(QLatin1String("<div class=\"title\">Word Study on \"Grace\"</div>")));
    EXPECT_TRUE(html.contains(QLatin1String("Search Summary")));
}

TEST_F(AutostudyDialogs, TodaysStudyKeepsItsDateWithinTwoYearsAndClosesOnItsReport)
{
    using T = AutostudyTodayWindowController;
    const QDate today = QDate::currentDate();
    whileOpen<T>({}, [&today](T& dialog) {
        QDateEdit* picker = control<QDateEdit>(dialog, "datePicker");
        EXPECT_EQ(picker->date(), today);
        EXPECT_EQ(picker->minimumDate(), today.addDays(-731));
        EXPECT_EQ(picker->maximumDate(), today.addDays(731));
        picker->setDate(today.addYears(5));
        EXPECT_EQ(picker->date(), today.addDays(731));
        click(dialog, "todayButton");
        EXPECT_EQ(picker->date(), today);
    });

    whileOpen<T>({{QStringLiteral("date"), today.addDays(-20)}}, [&today](T& dialog) {
        EXPECT_EQ(control<QDateEdit>(dialog, "datePicker")->date(), today.addDays(-20));
        click(dialog, "performButton");
        EXPECT_FALSE(dialog.isVisible());
    });
    ASSERT_EQ(s_presented.size(), 1);
    EXPECT_EQ(s_presented[0].name, PaneNotifications::UserWantsToDoTodayAutostudy);
    EXPECT_EQ(s_presented[0].info.value(QStringLiteral("date")).toDate(), today.addDays(-20));
    const QString title = s_presented[0].info.value(QStringLiteral("windowTitle")).toString();
    EXPECT_FALSE(title.isEmpty());
    EXPECT_EQ(s_presented[0].info.value(QStringLiteral("saveAsHint")).toString(), title);
    const QString html = contents(s_presented[0].file);
    EXPECT_TRUE(html.contains(QStringLiteral("<div class=\"title\">Reading for %1</div>").arg(title)));
    EXPECT_TRUE(html.contains(QLatin1String("Reading from"))) << "the sample devotional has a reading every day";
    EXPECT_TRUE(s_alerts->shown().isEmpty());
}

TEST_F(AutostudyDialogs, TodaysStudySaysWhyThereIsNoReport)
{
    // A list without its Devotionals element (a hand-edited file) has nothing to read from.
    AutoStudyElementList& today = s_autoStudy->elements().todayStudyElements();
    const AutoStudyElementList kept = today;
    today.removeIf([](const AutoStudyElement& e) { return e.elementID == AutoStudyElements::DevotionalsID; });
    ASSERT_EQ(today.size(), kept.size() - 1);
    whileOpen<AutostudyTodayWindowController>(
        {{QStringLiteral("date"), QDate(2026, 3, 14)}}, [&](AutostudyTodayWindowController& dialog) {
            click(dialog, "performButton");
            today = kept;
            ASSERT_EQ(s_alerts->shown().size(), 1);
            EXPECT_EQ(s_alerts->shown()[0].messageText, QStringLiteral("No reading could be made for March 14, 2026."));
            EXPECT_EQ(s_alerts->shown()[0].informativeText,
                QStringLiteral(
                    "The study's list has no Devotionals element to read from, or the report could not be written."));
            EXPECT_TRUE(dialog.isVisible()) << "the dialog stays open to be mended";
            EXPECT_TRUE(s_presented.isEmpty());

            // With the element back, the same day is read.
            click(dialog, "performButton");
            EXPECT_EQ(s_alerts->shown().size(), 1);
            EXPECT_EQ(s_presented.size(), 1);
            EXPECT_FALSE(dialog.isVisible());
        });
    today = kept;
}

TEST_F(AutostudyDialogs, EditStylesOpensTheEditorOnTheReportsSheet)
{
    using W = AutostudyWordWindowController;
    QString shown;
    whileOpen<W>({{QStringLiteral("word"), QStringLiteral("grace")}}, [&shown](W& dialog) {
        QTimer::singleShot(0, [&shown] {
            if (auto* editor = TestSupport::shownWindow<AutostudyCSSEditorWindowController>()) {
                shown = editor->text();
                editor->reject();
            }
        });
        click(dialog, "editCSSButton");
    });
    EXPECT_EQ(shown, s_autoStudy->css().cssString());
    EXPECT_TRUE(shown.startsWith(QLatin1String("<style type=\"text/css\">")));
}

TEST_F(AutostudyDialogs, WithoutAPresenterTheReportFileIsNotLeftBehind)
{
    s_env.autostudyResults = nullptr;
    whileOpen<AutostudyTodayWindowController>(
        {}, [](AutostudyTodayWindowController& dialog) { click(dialog, "performButton"); });
    const QDir cache(OutputFile::folder());
    EXPECT_TRUE(cache.entryList({QStringLiteral("*.htm")}, QDir::Files).isEmpty());
    presentHere();
}

}  // namespace
