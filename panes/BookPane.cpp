#include "panes/BookPane.h"

#include "library/GoToRequest.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/BookPaneCommands.h"
#include "panes/bookpane/BookPaneHooks.h"
#include "panes/bookpane/BookPanePage.h"
#include "panes/bookpane/BookPaneTabs.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LocationSyncOptionsWindowController.h"
#include "panes/page/BookPageView.h"

BookPane::BookPane(LayoutRegionContents* contents, Environment environment)
    : BookPaneViewController(contents, environment)
{
    setMakeCurrentHandler([this] {
        for (QWidget* w = view() ? view()->parentWidget() : nullptr; w; w = w->parentWidget()) {
            if (auto* layoutView = qobject_cast<LayoutView*>(w)) {
                layoutView->makePaneCurrentWithView(view());
                return;
            }
        }
        makeYourselfCurrent(true);
    });
    // The location-sync options of this pane, over its window; the layouts are saved after a change.
    connect(this, &BookPaneViewController::locationSyncSettingsRequested, this, [this] {
        LocationSyncOptionsWindowController::run(
            this, window(), [this] { hooks().preemptiveSaveState(); }, view() ? view()->window() : nullptr);
    });
}

QWidget* BookPane::paneView()
{
    return view();
}

void BookPane::goTo(GoToRequest& request)
{
    // The page asks the pane for the book's tab (BookPanePage::stateForGoTo opens it or brings it to
    // the front) and moves.
    if (request.sourceTuple)
        page()->goTo(pageHost().pageSourceFor(request.sourceTuple), request);
}

void BookPane::prepareGoTo(const GoToRequest& request)
{
    if (request.sourceTuple)
        page()->prepareGoTo(pageHost().pageSourceFor(request.sourceTuple), request);
}

std::shared_ptr<SourceTuple> BookPane::currentSourceTuple() const
{
    return BookPaneViewController::currentSourceTuple();
}
quint64 BookPane::currentSourceSection() const
{
    return BookPaneViewController::currentSourceSection();
}
qint64 BookPane::currentSourceBlock() const
{
    return BookPaneViewController::currentSourceBlock();
}

qint64 BookPane::currentYOffset() const
{
    const LayoutRegionContentItemState* state = BookPaneViewController::currentSourceState();
    return state ? state->yOffset() : 0;
}

LayoutRegionContentItemState* BookPane::currentSourceState() const
{
    return BookPaneViewController::currentSourceState();
}

void BookPane::openBookFromDictionary(const QVariantMap& info, bool activate)
{
    tabs().openBookFromDictionary(info, activate);
}

void BookPane::closeActiveBook()
{
    tabs().closeActiveBook();
}
void BookPane::scrollActiveBook(const QString& notificationName)
{
    page()->scrollActiveBook(notificationName);
}
void BookPane::nextBook()
{
    tabs().nextBook();
}
void BookPane::previousBook()
{
    tabs().previousBook();
}

bool BookPane::tryCopyFromBook()
{
    if (commands().selectedText().isEmpty())
        return false;
    commands().onCopy();
    return true;
}

void BookPane::onAutostudyVerse()
{
    commands().onAutostudyVerse();
}
void BookPane::onAutostudyWord()
{
    commands().onAutostudyWord();
}
QString BookPane::selectedBibleRefString() const
{
    return commands().selectedBibleRefString();
}
void BookPane::readSelectionNow(std::function<void()> done)
{
    commands().withSelectionWords([done = std::move(done)](const QString&, const QString&) { done(); });
}

QString BookPane::selectedText() const
{
    return commands().selectedText();
}
bool BookPane::isCurrentReadingComplete() const
{
    return page()->isCurrentReadingComplete();
}

bool BookPane::canToggleReadingComplete() const
{
    return page()->canToggleReadingComplete();
}
bool BookPane::paneDoesNotSendLocationSync() const
{
    return pageHost().paneDoesNotSendLocationSync();
}
bool BookPane::paneDoesNotReceiveLocationSync() const
{
    return pageHost().paneDoesNotReceiveLocationSync();
}
void BookPane::setPaneDoesNotSendLocationSync(bool value)
{
    pageHost().setPaneDoesNotSendLocationSync(value);
}
void BookPane::setPaneDoesNotReceiveLocationSync(bool value)
{
    pageHost().setPaneDoesNotReceiveLocationSync(value);
}
