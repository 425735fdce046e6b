// BookPaneViewController: one book pane of a screen layout. A tab bar (PaneTabBar) over a title
// bar and the book page (BookPageView), with a translucent overlay while the pane is not the
// current pane. The pane keeps no list of books of its own: its tabs mirror the items of the
// region's LayoutRegionContents, tab i showing item i and the current tab being the contents'
// current item; tabs are rebuilt from the items when the pane is configured and when a book goes,
// items are rebuilt from the tabs after the user reorders, drags in or closes tabs.
//
// It also sends and follows location sync between the panes of its layout
// ("EverybodySyncToMeNotification"), runs the pane's commands (copy, copy passage, look-up,
// autostudy, notes, bookmarks, highlights through BookPaneHooks), builds its context menu and reads
// text aloud through the shared SpeechSynthesizer.
//
// Ownership: the region contents own the controller (LayoutRegionContents::setViewController); the
// controller owns its view (view()) until a parent widget takes it, and deletes it when it goes if
// the view is still alive. The layout manager is used to find the layout, the region and the other
// panes; without one (a pane made alone) the pane works on its contents only and the layout uuid
// is the one given with setLayoutUuid. Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layout/LayoutRegionContentsViewControllerProtocol.h"
#include "panes/page/BookPageHost.h"
#include "platform/NotificationCenter.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <map>
#include <vector>

class BookPageView;
class Layout;
class LayoutManager;
class LayoutRegion;
class PaneTabBar;
class QLabel;
class QMenu;
class SourceManager;
class SourceTupleBookPageSource;
class UserDefaults;
class SpeechSynthesizer;
class BookPaneViewController;

// The pane's root view; the tab drop rule recognises a book pane by this class.
class BookPaneView : public QWidget {
    Q_OBJECT
public:
    explicit BookPaneView(BookPaneViewController* controller) : m_controller(controller) { }
    BookPaneViewController* viewController() const { return m_controller; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    BookPaneViewController* m_controller;
};

// Lies over the whole pane while the pane is not current; a click makes the pane current.
class OverlayView : public QWidget {
    Q_OBJECT
public:
    explicit OverlayView(BookPaneViewController* controller, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    BookPaneViewController* m_controller;
};

class BookPaneViewController : public QObject, public LayoutRegionContentsViewControllerProtocol, public BookPageHost {
    Q_OBJECT
public:
    static constexpr quint64 kNone = 9223372036854775807ULL;
    static constexpr quint32 kNoBlock = 4294967295U;

    struct Environment {
        NotificationCenter* center = nullptr;  // default centre when null
        LayoutManager* layouts = nullptr;      // optional
        SourceManager* library = nullptr;      // SourceManager::singleton() when null
        UserDefaults* defaults = nullptr;      // standard defaults when null
    };

    BookPaneViewController(LayoutRegionContents* contents, Environment environment);
    ~BookPaneViewController() override;

    // The factory the layout view uses for a region of kind "": the pane, configured.
    static std::unique_ptr<BookPaneViewController> factory(LayoutRegionContents* contents, Environment environment);

    BookPaneView* view() const { return m_view; }
    PaneTabBar* tabBar() const { return m_tabBar; }
    BookPageView* page() const { return m_page; }
    QLabel* titleBar() const { return m_titleBar; }
    OverlayView* overlay() const { return m_overlay; }
    LayoutRegionContents* regionContents() const { return m_contents; }
    SourceManager& library() const { return *m_env.library; }
    void setLayoutUuid(const QString& uuid) { m_layoutUuidOverride = uuid; }
    // How the pane asks to become the current pane of its layout (a click on its overlay, its add
    // button while not current). The layout view's adapter installs the layout view's way; alone,
    // the pane just makes itself current.
    void setMakeCurrentHandler(std::function<void()> handler) { m_makeCurrentHandler = std::move(handler); }
    void requestBecomeCurrent();
    // "AddStateToHistoryNotification" for the pane's layout, before (false) and after (true) a
    // change the user makes.
    void postHistory(bool alwaysAdd);

    // --- LayoutRegionContentsViewControllerProtocol ---
    void makeYourselfCurrent(bool current) override;
    void exitIsImminent() override;
    bool shouldCaptureHistory() override;
    void willCaptureHistory() override;
    void willBeRemovedFromLayoutManager() override;

    // --- BookPageHost ---
    LayoutRegionContentItemState* stateForGoTo(const BookPageSourcePtr& book, bool activate, bool& isCurrent) override;
    BookPageSourcePtr currentSource() override;
    LayoutRegionContentItemState* currentState() override { return currentSourceState(); }
    bool isPaneCurrent() override;
    QString layoutUuid() override;
    void updateTitleBar() override;
    void conditionallySyncToMe() override;
    void startSpeakingLinkedToPassage() override;

    // --- books and tabs ---
    LayoutRegionContentItemState* currentSourceState() const;
    SourceTuple::Ptr currentSourceTuple() const;
    quint64 currentSourceSection() const;
    qint64 currentSourceBlock() const;
    SourceTuple::Ptr sourceTupleForDescriptor(const LayoutRegionContentItemDescriptor* descriptor) const;
    quint64 indexOfSourceTupleIdInPaneContents(const SourceTupleID& id) const;
    void openBookFromDictionary(const QVariantMap& dictionary, bool activate);
    void openBookFromSourceTuple(const SourceTuple::Ptr& tuple, bool activate);
    void closeActiveBook();
    void addNewTab();
    void nextBook();
    void previousBook();
    void selectTab(int index);
    void addToTitleBar(const QString& text);
    void displayCurrentSource(bool refresh);
    void makeTabsForLayoutManagerRegionContents();
    void makeLayoutManagerMatchTabs();
    bool validateItem(LayoutRegionContentItem& item);
    // A tab of another pane's bar dropped here at `index` (what dragging a tab between panes does).
    bool dropTabFromPane(BookPaneViewController* other, const QString& uuid, int index);
    bool dirty() const { return m_dirty; }

    // --- location sync ---
    bool paneDoesNotSendLocationSync() const;
    void setPaneDoesNotSendLocationSync(bool v);
    bool paneDoesNotReceiveLocationSync() const;
    void setPaneDoesNotReceiveLocationSync(bool v);
    // A go-to of one of this pane's books (the request keys of BookPageView::goTo).
    bool goTo(const SourceTuple::Ptr& book, QVariantMap request);

    // --- commands ---
    // The selection list: Bible keys in a Bible, block numbers otherwise.
    const QList<quint32>& selectedBlocksOrKeys() const { return m_selectedBlocksOrKeys; }
    void setSelectedBlocksOrKeys(const QList<quint32>& list) { m_selectedBlocksOrKeys = list; }
    void findSelectedBlocksOrKeys();
    bool isABible() const;
    // Copies the page's selection to the clipboard (HTML and text); `done` runs after.
    void onCopy(std::function<void()> done = nullptr);
    static void putOnClipboard(const QString& html, const QString& text);
    void doCopyPassage(bool now);
    void onSyncToSelectedVerse();
    void onAutostudyVerse();
    void onAutostudyThisVerse(const QString& refString);
    void onAutostudyWord();
    void onAutostudyToday();
    void onLookup();
    void onAddViewNoteSelected();
    void onRemoveNoteSelected();
    void onRemoveTempHL();
    void onCopyImage(const QString& imageUrl);
    QString selectedBibleRefString() const;
    // The selected text and selected HTML (filtered) the context menu and the commands read;
    // tests may set them instead of selecting in the page.
    QString selectedText() const;
    void setSelectionOverride(const QString& text, const QString& html);

    // --- context menu ---
    struct MenuElement {
        QString linkUrl;    // absolute link under the pointer, "" for none
        QString linkLabel;  // its text
        QString imageUrl;   // image under the pointer, "" for none
    };
    // The pane's items followed by the kept default items; null when no item qualifies.
    QMenu* contextMenu(const MenuElement& element, const QList<QAction*>& defaultItems, QWidget* parent);

    // --- speech ---
    void configureSpeechSynthesizerForLanguage(quint64 language);
    void onSpeakBlockOrVerse();
    void onSpeakSelection();
    void onSpeakStartSpeaking();
    void onSpeakLinkedToText(const QString& payload);
    void onSpeakStopSpeaking();
    void speakNext();
    // Speech text options for the passage formatter.
    static QVariantMap speechTextOptions();

signals:
    void currentTabChanged();

private:
    void buildView();
    void observe();
    void stopObserving();
    Layout* layout() const;
    LayoutRegion* region() const;
    std::shared_ptr<SourceTupleBookPageSource> pageSourceFor(const SourceTuple::Ptr& tuple);
    SourceTuple::Ptr tupleForIdentity(const QString& identity) const;
    SourceTuple::Ptr tupleAt(quint64 index) const;
    void postSourceIsActive();
    void onTabSelected(int index);
    void onTabCloseRequested(int index);
    void tabClosed(const QString& uuid);
    void everybodySyncToMe(const Notification& n);
    void sourceRemoved(const Notification& n);
    void notesChanged(const Notification& n);
    void userWantsToToggleCurrentReading(const Notification& n);
    void userWantsToStartSpeaking(const Notification& n);
    bool guardSpeech(void (BookPaneViewController::*again)());
    QString selectedHtml() const;
    SourceTuple::Ptr libraryTuple(const SourceTupleID& id) const;
    BookPaneViewController* controllerFor(LayoutRegionContents* contents) const;

    LayoutRegionContents* m_contents;
    Environment m_env;
    NotificationCenter& m_center;
    std::vector<Observation> m_observations;
    QPointer<BookPaneView> m_view;
    PaneTabBar* m_tabBar = nullptr;
    QLabel* m_titleBar = nullptr;
    BookPageView* m_page = nullptr;
    OverlayView* m_overlay = nullptr;
    bool m_ignoreTabMessages = false;
    bool m_dirty = false;
    bool m_dragging = false;
    QString m_additionalTitleBarText;
    QString m_layoutUuidOverride;
    std::function<void()> m_makeCurrentHandler;
    QList<quint32> m_selectedBlocksOrKeys;
    bool m_hasSelectionOverride = false;
    QString m_selectionText;
    QString m_selectionHtml;
    std::unique_ptr<LayoutRegionContentItemState> m_savedSourceState;
    std::map<QString, std::shared_ptr<SourceTupleBookPageSource>> m_sources;
    BookPaneViewController* m_dropSource = nullptr;  // the pane a tab is being dropped from
    // Speech.
    SourceTuple::Ptr m_speakingSourceTuple;
    quint32 m_speakingNextBlockOrSection = 0;
    quint32 m_speakingStopAfterSection = kNoBlock;
};
