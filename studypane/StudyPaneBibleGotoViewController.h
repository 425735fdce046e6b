// The go-to sub-pane of the study pane for a Bible (tab 6 while the active book is a Bible): book,
// chapter and verse pop-ups; a reference field whose completion list follows what has been typed
// (book names, then the chapters of a book, then the verses of a chapter); and the list of recently
// visited verses from the study pane's recent stack, each with its text. Every jump is a go-to
// request ("section", "sourceTuple", "bibleKey", "sync", "layoutUuid"); a text that names no verse of
// the Bible shows the toast "Verse not found (...).".
//
// Pop-up items carry the section where their book, chapter or verse starts (-1 for a placeholder)
// as their item data. Following a go-to, the verse pop-up holds the shown verse alone until it is
// opened, when it lists the chapter's verses. Owned by the study pane controller; owns its view.
// Main thread only.
#pragma once

#include "library/GoToRequest.h"
#include "library/SourceTuple.h"
#include "platform/NotificationCenter.h"
#include "studypane/StudyPaneEnvironment.h"
#include "studypane/StudyPanePopUpButton.h"
#include "studypane/StudyPaneSubpane.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class BibleRef;
class QStringListModel;
class QTableWidget;

class StudyPaneBibleGotoViewController : public StudyPaneSubpane {
    Q_OBJECT
public:
    explicit StudyPaneBibleGotoViewController(StudyPaneEnvironment env, StudyPaneViewController* host = nullptr);
    ~StudyPaneBibleGotoViewController() override;

    void studyPaneDidActivateSubview() override;

    SourceTuple::Ptr sourceTuple() const { return m_sourceTuple; }
    QComboBox* verseComboBox() const { return m_combo; }

    // Follows the active Bible (a notification's "sourceTuple" and "section" when it carries a book).
    void thisSourceIsNowActive(const Notification* n);
    // Shows a location of the pane's Bible ("bibleKey") in the pop-ups; other layouts and books are ignored.
    void everybodySyncToMeNotification(const GoToRequest& request);
    // The place a section of the book is, as location sync names it.
    GoToRequest placeIn(const SourceTuple::Ptr& book, quint32 section) const;
    // Fills a pop-up from its loaded names.
    void menuNeedsUpdate(StudyPanePopUpButton* popup);
    void onBookSelected(int index);
    void onChapterSelected(int index);
    void onVerseSelected(int index);
    void onGoToBCVButton();
    // Return in the reference field.
    void comboBoxAction();
    void doGoToRefInString(const QString& text);

    // The completion list for what is typed before the selection (or cursor) of the field.
    void controlTextDidChange(const QString& typedPrefix);
    // The data source of the field's list.
    int numberOfItemsInComboBox();
    QString comboBoxObjectValueForItemAtIndex(int index) const;
    QString comboBoxCompletedString(const QString& typed) const;
    int comboBoxIndexOfItemWithStringValue(const QString& text) const;

    // Recent verses: choosing a row.
    void activateRecentRow(int row);
    void reloadRecentList();
    // The list follows a go-to this long after it: the page gone to is drawn first.
    static constexpr int kRecentReloadDelayMs = 120;

    // The reference field's completion waits for a pause this long in the keys (a pasted reference
    // arrives as a burst of keys).
    static constexpr int kCompleteAfterKeysMs = 25;
    // How many times the field's completion has run.
    int completionsRun() const { return m_completions; }

private:
    void loadView() override;
    void viewDidLoad() override;
    void postGoTo(quint32 section, quint32 key);
    // A verse found, gone to as the reader's own choice: named among the recent verses.
    void goToChosenVerse(quint32 section, quint32 key);
    // The section of the book a typed reference names (0 or 0xFFFFFFFF when it names none), the
    // reference itself into ref.
    quint32 sectionForReference(const QString& text, BibleRef& ref) const;
    // The pane the go-to will move has its renderer woken while the reader types the reference.
    void wakeGoToPane();
    static constexpr qint64 kWakeGoToPaneMs = 3000;
    // While the text names a place, the pane also renders the place's first screen for the go-to
    // (once for each place named); otherwise the pane is woken.
    void readyGoTo(const QString& text);
    void loadChaptersAndVerses(int bookIndex);
    void loadChapters(const QString& bookTitle, quint32 bookSection);
    // Spells the chapter's verses into the verse pop-up (unless it holds them) and selects the first.
    void loadVerses(const QString& chapterText, quint32 startSection);
    // Makes the chapter the one the verse list is of, its verses not spelled yet; false when it was already.
    bool setVerseChapter(const QString& chapterText, quint32 startSection);
    // Fills the verse pop-up with the chapter's verses, spelling them first when they are not yet.
    void spellVerses();
    void forgetVerses();
    void fillPopup(StudyPanePopUpButton* popup, const std::optional<QStringList>& names, const QList<quint32>& sections,
        const QString& placeholder, bool placeholderFirst);
    static int itemForTarget(const QList<quint32>& sections, quint32 target, const QComboBox* popup);
    void setComboList(const QStringList& list);
    void textEdited(const QString& text);
    // The completion list for the text in the field, and the rest of its first entry put after a
    // text typed at its end.
    void completeTyped();

    SourceTuple::Ptr m_sourceTuple;
    StudyPanePopUpButton* m_bookPopup = nullptr;
    StudyPanePopUpButton* m_chapterPopup = nullptr;
    StudyPanePopUpButton* m_versePopup = nullptr;
    QComboBox* m_combo = nullptr;
    QStringListModel* m_comboModel = nullptr;
    QTableWidget* m_recent = nullptr;
    std::optional<QStringList> m_bookNames, m_chapterNames, m_verseNames;
    QString m_chaptersLoadedFor;  // the book and its first section m_chapterNames were spelled for
    QString m_versesLoadedFor;    // the chapter and first section m_verseNames are (to be) spelled for
    QString m_versesChapter;      // that chapter and section, kept to spell the verses when needed
    quint32 m_versesStart = 0;
    QList<quint32> m_bookSections, m_chapterSections, m_verseSections;
    std::optional<QStringList> m_comboStrings;
    std::optional<QString> m_comboLoadedFrom;
    std::optional<QString> m_header;
    bool m_updatingCombo = false;
    QElapsedTimer m_wokeGoToPane;                              // since the go-to's pane was last woken
    quint32 m_readiedSection = 0;                              // the place the pane was last readied for
    QTimer m_completeTimer;                                    // a pause in the keys completes the field
    QTimer m_recentReload;                                     // the recent verses after a go-to
    QList<quint32> m_recentShown;                              // the verses of the list's rows
    QHash<quint32, std::pair<QString, QString>> m_recentRows;  // a verse's reference and markup, by key
    const void* m_recentRowsBook = nullptr;                    // the Bible m_recentRows were made for
    int m_completions = 0;
    int m_typedBefore = 0;        // the length of the text before the cursor at the last key
    bool m_typedForward = false;  // the last key made it longer
};
