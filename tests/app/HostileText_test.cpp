// Text from books is shown as text: a book whose name, abbreviation, section titles and content name
// a watched file, a FIFO and /dev/zero as images opens in a pane whose page fills, whose title bar,
// tab and tab tool tip show the text as written, and nothing the book names is opened or read.
#include "library/SourceTuple.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/bookpane/PaneTabBar.h"
#include "platform/ui/ContentTextDocument.h"
#include "support/FileAccessWatch.h"
#include "tools/tvkbuild/cTvkBookBuilder.h"

#include "ReaderTestProgram.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolTip>

namespace {

using reader_test::waitFor;

// The reader's resident memory, from the kernel's account of the process; 0 when unknown.
qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

std::string imageOf(const QString& path)
{
    return "<img src=\"" + path.toStdString() + "\">";
}

class HostileText : public reader_test::ReaderWindow {
protected:
    static void SetUpTestSuite() { startProgram("hostile-text-test"); }

    BookPaneViewController* kjvPane()
    {
        Layout* layout = reader_test::programEnvironment().layoutManager().currentLayout();
        const int region = kjvRegion();
        if (layout == nullptr || region < 0)
            return nullptr;
        return dynamic_cast<BookPaneViewController*>(layout->contentsAt(size_t(region))->viewController());
    }
};

TEST_F(HostileText, ABookNamingFilesInItsTitlesOpensNothingAndShowsItsTitlesAsWritten)
{
    QTemporaryDir dir;
    const QString watched = dir.filePath(QStringLiteral("watched.png"));
    QImage picture(8, 8, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(watched));
    TestSupport::FileAccessWatch access(watched);
    const QString pipe = dir.filePath(QStringLiteral("pipe.png"));
    TestSupport::FifoOpenWatch fifo(pipe);
    ASSERT_TRUE(access.valid() && fifo.valid());

    const std::string names = imageOf(watched) + imageOf(pipe) + imageOf(QStringLiteral("/dev/zero"));
    cTvkBookBuilder builder;
    builder.info.bookName = names + "Hostile Titles";
    builder.info.abbreviatedTitle = imageOf(watched) + "HT";
    builder.info.publisherId = 78;
    builder.info.bookId = 3;
    const std::string table = "<table background=\"" + watched.toStdString() + "\"><tr><td>";
    builder.addSection({names + table + "First part", 1, "The words of the first part. " + names, 0});
    builder.addSection({"Second part", 1, "The words of the second part.", 0});
    const QString path = dir.filePath(QStringLiteral("Hostile.tvk"));
    ASSERT_TRUE(builder.writeFile(path.toStdString()));

    const AtKjv at = launchAtKjv();
    ASSERT_TRUE(at.kjv);
    BookPaneViewController* pane = kjvPane();
    ASSERT_NE(pane, nullptr);
    const qint64 before = residentBytes();
    m_controller->loadAndOpenBook(path);
    const auto showsHostile = [&] {
        const SourceTuple::Ptr book = pane->currentSourceTuple();
        return book && book->record().pubID == 78 && book->record().bookID == 3 &&
            pane->titleBar()->text().contains(QLatin1String("First part"));
    };
    ASSERT_TRUE(waitFor(showsHostile)) << pane->titleBar()->text().toStdString();

    // The page fills with the book's words; its markup-looking text is text there too.
    EXPECT_TRUE(waitFor([&] {
        return TestSupport::pageText(pane->page()->page()).contains(QLatin1String("The words of the first part"));
    }));
    // The title bar and the tab show the names as written, and their tool tips read the same.
    QLabel* title = pane->titleBar();
    EXPECT_EQ(title->textFormat(), Qt::PlainText);
    EXPECT_TRUE(title->text().contains(QStringLiteral("<img src=\"%1\">").arg(watched))) << title->text().toStdString();
    EXPECT_TRUE(ContentTextDocument::plainText(title->toolTip()).contains(QLatin1String("<img src=")));
    PaneTabBar* tabs = pane->tabBar();
    const int tab = tabs->currentIndex();
    ASSERT_GE(tab, 0);
    EXPECT_TRUE(tabs->tabText(tab).contains(QLatin1String("HT")));

    // The user hovers the title bar and the tab, and their tool tips show.
    for (const auto& [widget, point] :
        {std::pair<QWidget*, QPoint>(title, title->rect().center()), {tabs, tabs->tabRect(tab).center()}}) {
        QHelpEvent hover(QEvent::ToolTip, point, widget->mapToGlobal(point));
        QApplication::sendEvent(widget, &hover);
        EXPECT_TRUE(waitFor([] { return QToolTip::isVisible(); }));
        EXPECT_TRUE(ContentTextDocument::plainText(QToolTip::text()).contains(QLatin1String("<img src=")))
            << QToolTip::text().toStdString();
        QToolTip::hideText();
    }

    EXPECT_TRUE(TestSupport::waitForPainted(pane->page()->page(), pane->page()));
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    at.window->window()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/hostile-titles.png"));

    // Nothing the book names was opened or read, and the reader's memory stayed where it was.
    EXPECT_FALSE(access.touched());
    EXPECT_EQ(fifo.opens(), 0);
    const qint64 after = residentBytes();
    EXPECT_LT(after - before, qint64(1) << 30) << before << " -> " << after;
}

}  // namespace
