#include "app/preferences/NavigatorSettingsWindowController.h"

#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ContentTextDocument.h"
#include "reports/AutoStudyElements.h"
#include "studypane/StudyPaneNavigatorViewController.h"
#include "support/FileAccessWatch.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHelpEvent>
#include <QImage>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include <memory>

namespace {

// The window's lists and its rows-per-book pop-up, found among its widgets.
QTableView* kindsTable(const QWidget& window)
{
    return window.findChild<QTableView*>(QStringLiteral("ElementTable"));
}
QTableView* booksTable(const QWidget& window)
{
    return window.findChild<QTableView*>(QStringLiteral("BookTable"));
}
QComboBox* rowsPerBookPopUp(const QWidget& window)
{
    return window.findChild<QComboBox*>(QStringLiteral("maxResultsShownButton"));
}

class NavigatorSettings : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "navigator-settings-test";
        static char* argv[] = {name, nullptr};
        static QApplication* app = new QApplication(argc, argv);
        (void)app;
    }
    void SetUp() override
    {
        m_dir = std::make_unique<QTemporaryDir>();
        setenv("XDG_DATA_HOME", m_dir->filePath(QStringLiteral("data")).toUtf8().constData(), 1);
        m_defaults = std::make_unique<UserDefaults>(m_dir->filePath(QStringLiteral("settings.ini")));
        SettingsRegistry::registerDefaultsForAllPreferences(*m_defaults);
        m_window.setNotifications(&NotificationCenter::defaultCenter());
        m_window.setSettings(m_defaults.get());
        m_elements =
            AutoStudyElements::autoStudyElementsWithContentsOfFile(m_dir->filePath(QStringLiteral("elements.xml")));
        m_elements.setVersion(2);
        AutoStudyElementList& list = m_elements.navigatorStudyElements();
        ASSERT_GE(list.size(), 4);
        // Each kind gets books named after it, so a table shows whose books it holds.
        for (qsizetype k = 0; k < list.size(); ++k) {
            list[k].bookArray.clear();
            for (int b = 0; b < 3; ++b) {
                AutoStudyBook book;
                book.pubID = 100 + k;
                book.bookID = b + 1;
                book.editionNum = book.revisionNum = 1;
                book.detailText = QStringLiteral("%1 book %2").arg(list[k].text).arg(b);
                list[k].bookArray << book;
            }
        }
        m_names.clear();
        for (const AutoStudyElement& e : list)
            m_names << e.text;
        m_elements.setDataChanged(true);
        ASSERT_TRUE(m_elements.save());
        const AutoStudyElementList saved = savedList();
        ASSERT_EQ(saved.size(), list.size());
        ASSERT_EQ(saved[0].bookArray.size(), 3);
    }
    AutoStudyElementList savedList() const
    {
        AutoStudyElements again = AutoStudyElements::autoStudyElementsWithContentsOfFile(m_elements.filename());
        return again.navigatorStudyElements();
    }
    static QString text(QTableView* table, int row) { return table->model()->index(row, 1).data().toString(); }
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<UserDefaults> m_defaults;
    // The window the settings are shown over: the program's centre, which the navigators follow.
    WindowEnvironment m_window;
    AutoStudyElements m_elements;
    QStringList m_names;
};

TEST_F(NavigatorSettings, TablesShowTheKindsAndTheBooksOfTheSelectedKind)
{
    NavigatorSettingsWindowController window(m_window, m_elements);
    QTableView* kinds = kindsTable(window);
    QTableView* books = booksTable(window);
    ASSERT_TRUE(kinds && books);
    ASSERT_EQ(kinds->model()->rowCount(), m_names.size());
    for (int i = 0; i < m_names.size(); ++i)
        EXPECT_EQ(text(kinds, i), m_names[i]);
    // Nothing selected: the first kind's books.
    ASSERT_EQ(books->model()->rowCount(), 3);
    EXPECT_EQ(text(books, 0), m_names[0] + QStringLiteral(" book 0"));
    kinds->selectRow(2);
    EXPECT_EQ(text(books, 1), m_names[2] + QStringLiteral(" book 1"));
    EXPECT_EQ(kinds->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);

    // A check box is saved at once.
    QSignalSpy changed(&window, &NavigatorSettingsWindowController::settingsChanged);
    EXPECT_TRUE(books->model()->setData(books->model()->index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(savedList()[2].bookArray[1].checked);
    EXPECT_TRUE(savedList()[2].bookArray[0].checked);
    EXPECT_EQ(changed.count(), 1);
    // Only the check box column takes values.
    EXPECT_FALSE(books->model()->setData(books->model()->index(1, 1), QStringLiteral("x"), Qt::EditRole));
    EXPECT_FALSE(books->model()->setData(books->model()->index(9, 0), Qt::Checked, Qt::CheckStateRole));
}

TEST_F(NavigatorSettings, AllAndNoneChangeOnlyWhatDiffers)
{
    NavigatorSettingsWindowController window(m_window, m_elements);
    QSignalSpy changed(&window, &NavigatorSettingsWindowController::settingsChanged);
    QSignalSpy kindsRedrawn(kindsTable(window)->model(), &QAbstractItemModel::dataChanged);
    window.findChild<QPushButton*>(QStringLiteral("kindsAllButton"))->click();
    for (const AutoStudyElement& e : savedList())
        EXPECT_TRUE(e.checked);
    changed.clear();
    kindsRedrawn.clear();
    // Everything is checked already: nothing changes and nothing is redrawn.
    window.findChild<QPushButton*>(QStringLiteral("kindsAllButton"))->click();
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(kindsRedrawn.count(), 0);
    EXPECT_FALSE(m_elements.dataChanged());

    window.findChild<QPushButton*>(QStringLiteral("kindsNoneButton"))->click();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(kindsRedrawn.count(), 1);
    for (const AutoStudyElement& e : savedList())
        EXPECT_FALSE(e.checked);
    EXPECT_EQ(kindsTable(window)->model()->index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);

    kindsTable(window)->selectRow(1);
    window.findChild<QPushButton*>(QStringLiteral("booksNoneButton"))->click();
    const AutoStudyElementList saved = savedList();
    for (const AutoStudyBook& b : saved[1].bookArray)
        EXPECT_FALSE(b.checked);
    for (const AutoStudyBook& b : saved[0].bookArray)
        EXPECT_TRUE(b.checked);
    window.findChild<QPushButton*>(QStringLiteral("booksAllButton"))->click();
    const AutoStudyElementList after = savedList();
    for (const AutoStudyBook& b : after[1].bookArray)
        EXPECT_TRUE(b.checked);
    EXPECT_EQ(changed.count(), 3);
}

TEST_F(NavigatorSettings, DraggedRowsMoveAndTheSelectionFollows)
{
    NavigatorSettingsWindowController window(m_window, m_elements);
    QTableView* kinds = kindsTable(window);
    QTableView* books = booksTable(window);
    QAbstractItemModel* kindModel = kinds->model();
    kinds->selectRow(0);
    std::unique_ptr<QMimeData> drag(kindModel->mimeData({kindModel->index(0, 0), kindModel->index(0, 1)}));
    ASSERT_TRUE(drag->hasFormat(QStringLiteral("application/x-tqsNavigatorElementRowPasteboardType")));
    // A kind's row dropped on the books table is refused there.
    EXPECT_FALSE(books->model()->canDropMimeData(drag.get(), Qt::MoveAction, 1, 0, {}));
    EXPECT_FALSE(books->model()->dropMimeData(drag.get(), Qt::MoveAction, 1, 0, {}));
    EXPECT_TRUE(kindModel->canDropMimeData(drag.get(), Qt::MoveAction, 3, 0, {}));

    // Kind 0, selected, dropped at row 3: it is third now and still selected, and its books show.
    ASSERT_TRUE(kindModel->dropMimeData(drag.get(), Qt::MoveAction, 3, 0, {}));
    QStringList expected = m_names;
    expected.move(0, 2);
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(text(kinds, i), expected[i]);
    ASSERT_EQ(kinds->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(kinds->selectionModel()->selectedRows().first().row(), 2);
    EXPECT_EQ(text(books, 0), m_names[0] + QStringLiteral(" book 0"));
    EXPECT_EQ(savedList()[2].text, m_names[0]);

    // Another kind moved past the selected one: the selection stays with its kind.
    std::unique_ptr<QMimeData> last(kindModel->mimeData({kindModel->index(3, 1)}));
    ASSERT_TRUE(kindModel->dropMimeData(last.get(), Qt::MoveAction, -1, -1, kindModel->index(0, 1)));
    EXPECT_EQ(text(kinds, 0), expected[3]);
    EXPECT_EQ(kinds->selectionModel()->selectedRows().first().row(), 3);
    EXPECT_EQ(text(kinds, 3), m_names[0]);

    // A book dragged below the last row goes to the end.
    QAbstractItemModel* bookModel = books->model();
    std::unique_ptr<QMimeData> book(bookModel->mimeData({bookModel->index(0, 1)}));
    EXPECT_FALSE(kindModel->canDropMimeData(book.get(), Qt::MoveAction, 0, 0, {}));
    ASSERT_TRUE(bookModel->dropMimeData(book.get(), Qt::MoveAction, -1, -1, {}));
    EXPECT_EQ(text(books, 2), m_names[0] + QStringLiteral(" book 0"));
    EXPECT_EQ(text(books, 0), m_names[0] + QStringLiteral(" book 1"));
    EXPECT_EQ(savedList()[3].bookArray[2].detailText, m_names[0] + QStringLiteral(" book 0"));

    // Rows that are not there, and bytes that are no row list, move nothing.
    QMimeData bogus;
    bogus.setData(QStringLiteral("application/x-tqsNavigatorBookRowPasteboardType"), QByteArray("\xff\x01", 2));
    EXPECT_FALSE(bookModel->dropMimeData(&bogus, Qt::MoveAction, 0, 0, {}));
    std::unique_ptr<QMimeData> far(bookModel->mimeData({bookModel->index(2, 1)}));
    kindsTable(window)->selectRow(0);  // a kind with the same number of books
    EXPECT_TRUE(bookModel->dropMimeData(far.get(), Qt::MoveAction, 99, 0, {}));
    EXPECT_EQ(bookModel->rowCount(), 3);
}

TEST_F(NavigatorSettings, RowsPerBookAndClosing)
{
    (*m_defaults).set(SettingsKeys::MaxNavRowsPerBook, 3);
    auto* window = new NavigatorSettingsWindowController(m_window, m_elements);
    QComboBox* rows = rowsPerBookPopUp(*window);
    EXPECT_EQ(rows->currentData().toInt(), 3);
    EXPECT_TRUE(NavigatorSettingsWindowController::rowCountChoices().contains(3));
    QSignalSpy changed(window, &NavigatorSettingsWindowController::settingsChanged);
    rows->setCurrentIndex(rows->findData(10));
    emit rows->activated(rows->currentIndex());
    EXPECT_EQ((*m_defaults).value(SettingsKeys::MaxNavRowsPerBook), 10);
    EXPECT_EQ(changed.count(), 1);

    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    window->show();
    kindsTable(*window)->selectRow(1);
    window->adjustSize();
    QApplication::processEvents();
    EXPECT_TRUE(window->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/navigator-settings.png")));
    // The window's close button ends the session as Done does, with the edits kept.
    m_elements.navigatorStudyElements()[0].checked = false;
    m_elements.setDataChanged(true);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_FALSE(savedList()[0].checked);
    delete window;
}

TEST_F(NavigatorSettings, OpenNavigatorsFollowTheWindowAtOnce)
{
    StudyPaneEnvironment env;
    env.defaults = m_defaults.get();
    env.center = &NotificationCenter::defaultCenter();
    env.runNavigatorSettings = [this] {
        return NavigatorSettingsWindowController::runModal(m_window, nullptr, &m_elements);
    };
    StudyPaneNavigatorViewController navigator(env);
    StudyPaneNavigatorViewController other(env);
    // The environment's settings runner enables the navigator's settings button.
    auto* settings = navigator.view()->findChild<QToolButton*>(QStringLiteral("settingsButton"));
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(settings->isEnabled());

    qint64 seenWhileOpen = -1, otherWhileOpen = -1;
    QTimer::singleShot(100, [&] {
        NavigatorSettingsWindowController* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* n = qobject_cast<NavigatorSettingsWindowController*>(w); n && n->isVisible())
                window = n;
        ASSERT_NE(window, nullptr);
        QComboBox* rows = rowsPerBookPopUp(*window);
        rows->setCurrentIndex(rows->findData(5));
        emit rows->activated(rows->currentIndex());
        seenWhileOpen = navigator.maxResultsPerBook();
        otherWhileOpen = other.maxResultsPerBook();
        window->findChild<QPushButton*>(QStringLiteral("doneButton"))->click();
    });
    navigator.onSettingsButton();
    EXPECT_EQ(seenWhileOpen, 5);
    EXPECT_EQ(otherWhileOpen, 5);
    EXPECT_EQ(navigator.maxResultsPerBook(), 5);
}

// A book's name that looks like markup naming a file: the books table and its tool tip show it as
// written, and hovering the row opens nothing.
TEST_F(NavigatorSettings, BookNamesAreShownAsWrittenAndTheirToolTipsOpenNothing)
{
    const QString watched = m_dir->filePath(QStringLiteral("watched.png"));
    QImage picture(8, 8, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(watched));
    TestSupport::FileAccessWatch access(watched);
    ASSERT_TRUE(access.valid());
    const QString name = QStringLiteral("<img src=\"%1\"><table background=\"%1\"><tr><td>Hostile").arg(watched);
    m_elements.navigatorStudyElements()[0].bookArray[1].detailText = name;
    NavigatorSettingsWindowController window(m_window, m_elements);
    window.resize(700, 500);
    window.show();
    QTableView* books = booksTable(window);
    ASSERT_EQ(text(books, 1), name);
    const QModelIndex index = books->model()->index(1, 1);
    EXPECT_EQ(ContentTextDocument::plainText(index.data(Qt::ToolTipRole).toString()), name);

    // The user hovers the row: its tool tip shows the name as written.
    const QPoint at = books->visualRect(index).center();
    QHelpEvent hover(QEvent::ToolTip, at, books->viewport()->mapToGlobal(at));
    QApplication::sendEvent(books->viewport(), &hover);
    ASSERT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(ContentTextDocument::plainText(QToolTip::text()), name);
    window.grab();
    QToolTip::hideText();
    EXPECT_FALSE(access.touched());
}

}  // namespace
