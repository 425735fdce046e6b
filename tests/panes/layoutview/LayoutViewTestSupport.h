// Pane doubles for the layout view and the pane manager: a book pane that shows its book's name,
// position and first blocks in a text browser and logs every call the pane manager makes, a study
// pane that logs the sub-pane commands, and a factory that makes them. Plus the offscreen
// application and a fixture holding a layout manager, defaults and a library in a temporary folder.
#pragma once

#include "library/GoToPanes.h"
#include "library/GoToRequest.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "library/SourceTupleArray.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContentItemDescriptor.h"
#include "panes/layout/LayoutRegionContentItemState.h"
#include "panes/layoutview/LayoutGoToPanes.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "support/RecordingAlerts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <memory>

inline void ensureTestApplication()
{
    if (QApplication::instance() == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "layoutview_tests";
        static char* argv[] = {name, nullptr};
        // Never destroyed: a QApplication torn down among the exit handlers crashes in Qt's
        // pointing-device registry once synthetic mouse events were sent.
        new QApplication(argc, argv);
    }
}

// The widget region i's pane hands the layout view to show; null when the region has no pane.
inline QWidget* paneWidget(const Layout& layout, size_t i)
{
    LayoutRegionContents* contents = layout.contentsAt(i);
    LayoutRegionContentsViewControllerProtocol* controller = contents ? contents->viewController() : nullptr;
    if (LayoutBookPane* pane = asBookPane(controller))
        return pane->paneView();
    if (LayoutStudyPane* pane = asStudyPane(controller))
        return pane->paneView();
    return nullptr;
}

class BookPaneDouble : public LayoutRegionContentsViewControllerProtocol, public LayoutBookPane {
public:
    BookPaneDouble(LayoutRegionContents& contents, QStringList& log, int serial)
        : m_contents(contents), m_log(log), m_serial(serial)
    {
        m_widget = new QWidget();
        m_widget->setObjectName(QStringLiteral("pane%1").arg(serial));
        m_widget->setAutoFillBackground(true);
        auto* layout = new QVBoxLayout(m_widget);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        m_title = new QLabel(m_widget);
        m_title->setStyleSheet(QStringLiteral("background:#e8e4d8; padding:4px; font-weight:bold"));
        m_page = new QTextBrowser(m_widget);
        m_page->setFrameShape(QFrame::NoFrame);
        layout->addWidget(m_title);
        layout->addWidget(m_page, 1);
        show();
    }
    ~BookPaneDouble() override { delete m_widget.data(); }

    void note(const QString& what) { m_log << QStringLiteral("pane%1 %2").arg(m_serial).arg(what); }

    // --- protocol ---
    void makeYourselfCurrent(bool current) override
    {
        m_current = current;
        m_title->setStyleSheet(current ? QStringLiteral("background:#c9d8ef; padding:4px; font-weight:bold")
                                       : QStringLiteral("background:#e8e4d8; padding:4px; font-weight:bold"));
    }
    void exitIsImminent() override { note(QStringLiteral("exitIsImminent")); }
    bool shouldCaptureHistory() override { return m_dirty; }
    void willCaptureHistory() override { m_dirty = false; }
    void willBeRemovedFromLayoutManager() override { }

    // --- book pane ---
    QWidget* paneView() override { return m_widget; }
    void prepareGoTo(const GoToRequest&) override { note(QStringLiteral("prepareGoTo")); }
    void goTo(GoToRequest& request) override
    {
        note(QStringLiteral("goTo"));
        if (!request.sourceTuple)
            return;
        // The book becomes a tab (or the current one), as a real pane keeps its items.
        quint64 index = kLayoutNotFound;
        for (size_t i = 0; i < m_contents.items().size(); ++i) {
            auto* d = m_contents.itemAt(i)->bookDescriptor();
            if (d && d->sourceTupleID() == request.sourceTuple->sourceTupleID())
                index = i;
        }
        if (index == kLayoutNotFound) {
            auto descriptor = std::make_unique<LayoutRegionContentItemDescriptor>(request.sourceTuple->sourceTupleID(),
                request.sourceTuple->record().abbr, request.sourceTuple->record().name);
            auto item = std::make_unique<LayoutRegionContentItem>(
                std::move(descriptor), std::make_unique<LayoutRegionContentItemState>());
            m_contents.items().push_back(std::move(item));
            index = m_contents.items().size() - 1;
        }
        // Only an activating request (or the first book) changes the current tab.
        if (request.activate || m_contents.currentItemIndex() >= m_contents.items().size())
            m_contents.setCurrentItemIndex(index);
        if (auto* state = m_contents.itemAt(index)->bookState())
            state->setSection(request.section.value_or(state->section()));
        m_dirty = true;
        show();
    }
    std::shared_ptr<SourceTuple> currentSourceTuple() const override
    {
        auto* item = m_contents.itemAt(m_contents.currentItemIndex());
        auto* d = item ? item->bookDescriptor() : nullptr;
        auto all = library ? library->allSources() : nullptr;
        return d && all ? all->tupleForSourceTupleID(d->sourceTupleID()) : nullptr;
    }
    quint64 currentSourceSection() const override
    {
        auto* state = currentSourceState();
        return state ? state->section() : 0;
    }
    qint64 currentSourceBlock() const override { return currentSourceState() ? currentSourceState()->block() : 0; }
    qint64 currentYOffset() const override { return currentSourceState() ? currentSourceState()->yOffset() : 0; }
    LayoutRegionContentItemState* currentSourceState() const override
    {
        auto* item = m_contents.itemAt(m_contents.currentItemIndex());
        return item ? item->bookState() : nullptr;
    }
    void openBookFromDictionary(const QVariantMap& info, bool activate) override
    {
        note(QStringLiteral("open %1/%2 %3")
                 .arg(info.value(QStringLiteral("pubid")).toString(), info.value(QStringLiteral("bookid")).toString())
                 .arg(activate));
    }
    void closeActiveBook() override { note(QStringLiteral("closeActiveBook")); }
    void scrollActiveBook(const QString& name) override { note(QStringLiteral("scroll ") + name); }
    void nextBook() override { note(QStringLiteral("nextBook")); }
    void previousBook() override { note(QStringLiteral("previousBook")); }
    bool tryCopyFromBook() override
    {
        note(QStringLiteral("copy"));
        return true;
    }
    void onAutostudyVerse() override { note(QStringLiteral("autostudyVerse")); }
    void onAutostudyWord() override { note(QStringLiteral("autostudyWord")); }
    QString selectedBibleRefString() const override { return QStringLiteral("ref%1").arg(m_serial); }
    QString selectedText() const override { return QStringLiteral("text%1").arg(m_serial); }
    bool canToggleReadingComplete() const override { return m_serial % 2 == 1; }
    bool paneDoesNotSendLocationSync() const override
    {
        return m_contents.state() && m_contents.state()->paneDoesNotSendLocationSync();
    }
    bool paneDoesNotReceiveLocationSync() const override
    {
        return m_contents.state() && m_contents.state()->paneDoesNotReceiveLocationSync();
    }
    void setPaneDoesNotSendLocationSync(bool v) override
    {
        if (m_contents.state())
            m_contents.state()->setPaneDoesNotSendLocationSync(v);
    }
    void setPaneDoesNotReceiveLocationSync(bool v) override
    {
        if (m_contents.state())
            m_contents.state()->setPaneDoesNotReceiveLocationSync(v);
    }

    // What the pane shows: its book's abbreviation, the place and the first blocks of the section.
    void show()
    {
        auto book = currentSourceTuple();
        if (!book) {
            m_title->setText(QStringLiteral("(no book)"));
            m_page->clear();
            return;
        }
        const quint32 section = quint32(std::max<quint64>(currentSourceSection(), 1));
        m_title->setText(
            book->record().abbr + QStringLiteral(" — ") + book->locations().getPositionNameForTitleBar(section));
        QString html;
        const quint32 first = book->locations().blockForSection(section);
        const quint32 last = std::min<quint32>(book->locations().lastBlockForSection(section), first + 12);
        for (quint32 b = first; b <= last && b < book->record().numBlocks; ++b)
            html += book->locations().htmlTextForBlock(b);
        m_page->setHtml(html);
    }

    bool isCurrent() const { return m_current; }
    int serial() const { return m_serial; }
    LayoutRegionContents& contents() { return m_contents; }
    void setDirty(bool dirty) { m_dirty = dirty; }

    static inline SourceManager* library = nullptr;

private:
    LayoutRegionContents& m_contents;
    QStringList& m_log;
    int m_serial;
    QPointer<QWidget> m_widget;
    QLabel* m_title = nullptr;
    QTextBrowser* m_page = nullptr;
    bool m_current = false;
    bool m_dirty = false;
};

class StudyPaneDouble : public LayoutRegionContentsViewControllerProtocol, public LayoutStudyPane {
public:
    explicit StudyPaneDouble(QStringList& log) : m_log(log)
    {
        m_widget = new QLabel(QStringLiteral("Study"));
        m_widget->setObjectName(QStringLiteral("study"));
    }
    ~StudyPaneDouble() override { delete m_widget.data(); }

    void makeYourselfCurrent(bool current) override { m_log << QStringLiteral("study current %1").arg(current); }
    void exitIsImminent() override { m_log << QStringLiteral("study exitIsImminent"); }
    bool shouldCaptureHistory() override { return false; }
    void willCaptureHistory() override { }
    void willBeRemovedFromLayoutManager() override { }

    QWidget* paneView() override { return m_widget; }
    void hidePaneContents() override { contentsShown = false; }
    void showHiddenPaneContents() override { contentsShown = true; }
    void makeSubpaneCurrent(int slot) override { m_log << QStringLiteral("slot %1").arg(slot); }
    SearchResultsAggregator* searchResultsAggregatorForTuple(const SourceTupleID&) override
    {
        m_log << QStringLiteral("aggregator");
        return nullptr;
    }

    bool contentsShown = true;

private:
    QStringList& m_log;
    QPointer<QWidget> m_widget;
};

class PaneFactoryDouble : public LayoutPaneFactory {
public:
    std::unique_ptr<LayoutRegionContentsViewControllerProtocol> makeBookPane(LayoutRegionContents& contents) override
    {
        log << QStringLiteral("make book pane %1").arg(++made);
        return std::make_unique<BookPaneDouble>(contents, log, made);
    }
    std::unique_ptr<LayoutRegionContentsViewControllerProtocol> makeStudyPane(LayoutRegionContents&) override
    {
        log << QStringLiteral("make study pane");
        return std::make_unique<StudyPaneDouble>(log);
    }
    QStringList log;
    int made = 0;
};
