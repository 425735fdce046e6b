// Back and forward between whole-screen states of one layout.
//
// Every layout has its own stack of at most kMaxEntries snapshots and a cursor (the 1-based
// index of the state shown; 0 when the stack is empty). A snapshot is a file holding the
// layout's keyed archive, in "<cache>/history/<layout uuid>/<new uuid>.plist"; the stacks of
// all layouts are kept in "<cache>/history/dictionary.plist" between runs. The stacks name their
// snapshots relative to the history folder ("<layout uuid>/<name>.plist"), so a moved cache
// folder keeps its history.
//
// The history file and the snapshots are read as untrusted: a damaged history file starts an
// empty history, stacks and entries that do not read as the writer writes them are dropped, no
// entry may name a file outside its layout's folder, and a snapshot that cannot be read is
// dropped from its stack when Back or Forward meets it (the next one in that direction is
// tried). Files are written atomically.
//
// A recorded state's snapshot is kept in memory and handed a moment later (kWriteDelayMs after the
// first change not yet handed over) to the shared file-write queue (FileWriteQueue), whose worker
// encodes and saves it, so that recording costs a go-to no disk write and the main thread neither
// encodes nor syncs; the snapshot stays in memory until it is on disk. A change of the stacks (a
// recording, Back, Forward, an entry dropped) queues the history file at the same moment, behind
// the snapshots it names, so that a crash or a kill loses at most the last moment of Back and
// Forward. A snapshot that leaves its stack leaves the disk only once a history file that no longer
// names it is written, so the history file never names a snapshot that is not on disk. What else
// must reach the disk with the history file (the layout archive, whose place the reader starts at)
// is queued just before it (setBeforeHistoryFile), so that after a kill the place shown and the
// history's cursor agree. Writing the history file (at quit), reading it, and destroying the history
// wait until every snapshot recorded is written. A snapshot that cannot be written is dropped from
// its stack (on the main thread, once its write is over).
//
// A step is a change the reader sees: a state that shows the places of the state shown last (the
// same books in the same panes at the same places; GoToPanes::showSamePlaces) takes that state's
// place instead of being added, and Back and Forward pass over states that show the places shown
// now. Back from a place not yet recorded records it first, then shows the state recorded last.
//
// Owned by the pane manager; reaches the layouts and panes through GoToPanes, which must
// outlive it. Main thread only.
#pragma once

#include "platform/FileWriteQueue.h"

#include <QMap>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>

#include <functional>
#include <optional>

class GoToPanes;

class NavigationHistory {
public:
    static constexpr int kMaxEntries = 30;
    static inline const QString kFolderName = QStringLiteral("history");
    static inline const QString kFileName = QStringLiteral("dictionary.plist");
    // Larger history files are not read (a real one is a few kilobytes).
    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;
    // More stacks than this in a history file are not read.
    static constexpr int kMaxStacks = 1000;
    // How long recorded snapshots and the stacks wait to be written, so that a burst of go-tos
    // writes once.
    static constexpr int kWriteDelayMs = 500;

    struct Stack {
        quint64 cursor = 0;
        QStringList entries;  // oldest first, relative to the history folder
        bool operator==(const Stack&) const = default;
    };

    // `cacheDirectory`: the folder that holds "history" (the application's cache folder).
    NavigationHistory(GoToPanes& panes, const QString& cacheDirectory);
    ~NavigationHistory();
    NavigationHistory(const NavigationHistory&) = delete;
    NavigationHistory& operator=(const NavigationHistory&) = delete;

    // Record the layout's present state: always with `force`, otherwise only when some pane has
    // unrecorded changes or the layout has no recorded state yet.
    void addStateToHistory(bool force, const QString& layoutUuid);

    // For the current layout.
    bool canGoBackInHistory();
    bool canGoForwardInHistory();
    void goBackInHistory();
    void goForwardInHistory();
    // Some pane of the current layout has changes not yet recorded.
    bool somethingIsDirty();

    // Writes the history file (removes it when there is no history), after the snapshots not yet
    // written; false when writing failed.
    bool saveHistoryToFile();
    // Writes the snapshots recorded and not yet written, and waits until they are on disk; false when
    // one could not be written (it is dropped from its stack).
    bool writeRecordedStates();
    // Hands the snapshots recorded, and the history file when the stacks changed, to the write queue
    // without waiting (the timer's write).
    void queueRecordedStates();
    // Reads the history file, repairs the stacks against the files that exist, and deletes
    // snapshot files and folders that no stack names.
    void loadHistoryFromFile();
    // Drops the stacks (and folders) of layouts the layout manager no longer holds.
    void addOrRemoveLayoutsFromHistory();
    // Called each time the history file is queued, just before it (empty: nothing).
    void setBeforeHistoryFile(std::function<void()> queueWrites) { m_beforeHistoryFile = std::move(queueWrites); }

    // --- inspection ---
    QMap<QString, Stack> stacks() const { return m_stacks.value_or(QMap<QString, Stack>()); }
    std::optional<Stack> stackForLayout(const QString& layoutUuid) const;
    QString historyFilePath() const;
    QString absolutePath(const QString& entry) const;

    // A layout uuid that may name a folder: letters, digits and hyphens, at most 64.
    static bool isUsableLayoutUuid(const QString& uuid);

private:
    bool goToItem(quint64 target, Stack& stack, const QString& layoutUuid);
    // The layout's archive an entry of its stack holds (kept or in its file); invalid when none.
    QVariant recordedState(const QString& entry, const QString& layoutUuid);
    // Whether entry `index` (1-based) of the stack shows the places the layout shows now.
    bool showsPresentPlaces(const Stack& stack, quint64 index, const QString& layoutUuid);
    void dropEntry(Stack& stack, qsizetype index);  // index into entries (0-based); deletes the file
    bool isEntryOfLayout(const QString& entry, const QString& layoutUuid) const;
    // Some pane changed since the state shown was recorded, and the layout shows other places.
    bool hasUnrecordedChanges(const QString& layoutUuid);
    // Whether the layout shows other places than the state at its cursor; when so, a state shown
    // from the history has been moved from (its mark goes).
    bool movedFromRecordedState(const QString& layoutUuid);
    void scheduleWrite();
    void stacksChanged();  // the history file is written with the next write
    // Queues the history file (or its removal, without history) behind everything queued.
    void queueHistoryFile(FileWriteQueue::Done done);
    void repairStack(const QString& layoutUuid, Stack& stack) const;
    void cleanFolder();
    void snapshotWritten(const QString& entry, quint64 ticket, bool ok);
    // Waits for every write queued (the shared queue's, so also those of another history).
    static void finishWrites();

    GoToPanes& m_panes;
    QString m_historyFolder;
    std::optional<QMap<QString, Stack>> m_stacks;
    QMap<QString, QVariant> m_unwritten;  // entry -> the layout's archive, recorded and not yet queued
    struct Writing {
        QVariant archived;
        quint64 ticket = 0;
    };
    QMap<QString, Writing> m_writing;  // entry -> the archive queued and not yet on disk
    quint64 m_lastTicket = 0;
    int m_failedWrites = 0;
    QTimer m_writeTimer;
    bool m_stacksChanged = false;  // since the history file was last queued
    // Snapshot files and layout folders that left the stacks: they go once a history file without
    // them is on disk.
    QStringList m_droppedFiles;
    QStringList m_droppedFolders;
    std::function<void()> m_beforeHistoryFile;
    QPair<QString, QVariant> m_lastRead;  // the snapshot file read last: entry, archive
    // Layouts showing a recorded state since the last Back or Forward: their panes re-report
    // where the restored pages landed (a block's top a few points off, a commentary note
    // sharing a block with the one before), which marks them changed without the reader having
    // moved. A move to other places, or recording a new state, ends it.
    QSet<QString> m_showingRecordedState;
};
