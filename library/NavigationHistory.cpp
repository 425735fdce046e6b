#include "library/NavigationHistory.h"

#include "library/GoToPanes.h"
#include "platform/FileWriteQueue.h"
#include "platform/KeyedArchive.h"
#include "platform/MainThread.h"

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <utility>

namespace {

const QString kArchiveClass = QStringLiteral("NavigationHistory");
const QString kStacksKey = QStringLiteral("stacks");
const QString kSnapshotSuffix = QStringLiteral(".plist");
// The history file and the snapshots it names are saved and said apart: a snapshot that cannot be
// saved (a large one on a nearly full disk) is said once until a snapshot is saved again, however
// often the small history file is.
const QString kHistoryWhat = QStringLiteral("the reading history (Back and Forward)");
const QString kSnapshotWhat = QStringLiteral("the places of the reading history (Back and Forward)");

bool isIntegerValue(const QVariant& v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// A snapshot file name as the recorder makes it: a uuid and ".plist".
bool isSnapshotFileName(const QString& name)
{
    static const QRegularExpression kName(QStringLiteral("^[A-Za-z0-9-]{1,64}\\.plist$"));
    return kName.match(name).hasMatch();
}

}  // namespace

NavigationHistory::NavigationHistory(GoToPanes& panes, const QString& cacheDirectory)
    : m_panes(panes), m_historyFolder(QDir(cacheDirectory).filePath(kFolderName))
{
    m_writeTimer.setSingleShot(true);
    m_writeTimer.setInterval(kWriteDelayMs);
    m_writeTimer.callOnTimeout([this] { queueRecordedStates(); });
}

NavigationHistory::~NavigationHistory()
{
    // Also runs the done calls of the writes queued, which refer to this history.
    writeRecordedStates();
}

void NavigationHistory::finishWrites()
{
    FileWriteQueue::shared().finish();
    // Once more for the removals that a history file's write queued when it was done.
    FileWriteQueue::shared().finish();
}

void NavigationHistory::queueRecordedStates()
{
    m_writeTimer.stop();
    const QMap<QString, QVariant> pending = std::exchange(m_unwritten, {});
    for (auto it = pending.cbegin(); it != pending.cend(); ++it) {
        const quint64 ticket = ++m_lastTicket;
        m_writing.insert(it.key(), {it.value(), ticket});
        KeyedArchive::queueWriteFile(absolutePath(it.key()), it.value(), kSnapshotWhat,
            [this, entry = it.key(), ticket](
                const FileWriteQueue::Result& r) { snapshotWritten(entry, ticket, r.ok); });
    }
    // The history file follows the snapshots it names, so that a crash keeps the stacks up to the
    // last write.
    if (std::exchange(m_stacksChanged, false))
        queueHistoryFile({});
}

void NavigationHistory::scheduleWrite()
{
    // Not put off by the next change: what is recorded reaches the disk a moment later however
    // long the reader goes on moving.
    if (!m_writeTimer.isActive())
        m_writeTimer.start();
}

void NavigationHistory::stacksChanged()
{
    m_stacksChanged = true;
    scheduleWrite();
}

void NavigationHistory::queueHistoryFile(FileWriteQueue::Done done)
{
    QDir().mkpath(m_historyFolder);
    if (m_beforeHistoryFile)
        m_beforeHistoryFile();
    // The files the stacks no longer name go once the history file that leaves them out is on disk;
    // should it fail, the next one takes them.
    done = [this, files = std::exchange(m_droppedFiles, {}), folders = std::exchange(m_droppedFolders, {}),
               done = std::move(done)](const FileWriteQueue::Result& r) {
        if (r.ok) {
            for (const QString& path : files)
                FileWriteQueue::shared().remove(path);
            for (const QString& path : folders)
                QDir(path).removeRecursively();
        } else {
            m_droppedFiles += files;
            m_droppedFolders += folders;
        }
        if (done)
            done(r);
    };
    if (!m_stacks) {
        FileWriteQueue::shared().remove(historyFilePath(), std::move(done));
        return;
    }
    QVariantMap stacks;
    for (auto it = m_stacks->cbegin(); it != m_stacks->cend(); ++it) {
        QVariantList list;
        list.append(QVariant::fromValue<qulonglong>(it->cursor));
        for (const QString& e : it->entries)
            list.append(e);
        stacks.insert(it.key(), list);
    }
    KeyedArchiver archiver(kArchiveClass);
    archiver.encodeValue(kStacksKey, stacks);
    // Through the queue, behind the snapshots it names and any earlier history file.
    KeyedArchive::queueWriteFile(historyFilePath(), archiver.archivedObject(), kHistoryWhat, std::move(done));
}

bool NavigationHistory::writeRecordedStates()
{
    const int failedBefore = m_failedWrites;
    queueRecordedStates();
    finishWrites();
    return m_failedWrites == failedBefore;
}

void NavigationHistory::snapshotWritten(const QString& entry, quint64 ticket, bool ok)
{
    const auto writing = m_writing.constFind(entry);
    // A snapshot dropped meanwhile, or the history read again, leaves nothing to do.
    if (writing == m_writing.cend() || writing->ticket != ticket)
        return;
    const QString layoutUuid = entry.section(u'/', 0, 0);
    if (ok) {
        // The state shown is the one the next go-to compares with: it is not read back.
        if (const auto stack = stackForLayout(layoutUuid); stack && stack->cursor >= 1 &&
            stack->cursor <= static_cast<quint64>(stack->entries.size()) &&
            stack->entries[static_cast<qsizetype>(stack->cursor - 1)] == entry)
            m_lastRead = {entry, writing->archived};
        m_writing.erase(writing);
        return;
    }
    m_writing.erase(writing);
    ++m_failedWrites;
    qWarning() << "History: could not record a state of the layout" << layoutUuid;
    if (m_unwritten.contains(entry) || !m_stacks)
        return;  // recorded again since: the next write may succeed
    const auto stack = m_stacks->find(layoutUuid);
    if (stack == m_stacks->end())
        return;
    const qsizetype index = stack->entries.indexOf(entry);
    if (index < 0)
        return;
    stack->entries.removeAt(index);
    if (static_cast<quint64>(index) < stack->cursor)
        --stack->cursor;
    stacksChanged();
}

bool NavigationHistory::isUsableLayoutUuid(const QString& uuid)
{
    static const QRegularExpression kUuid(QStringLiteral("^[A-Za-z0-9-]{1,64}$"));
    return kUuid.match(uuid).hasMatch();
}

QString NavigationHistory::historyFilePath() const
{
    return QDir(m_historyFolder).filePath(kFileName);
}

QString NavigationHistory::absolutePath(const QString& entry) const
{
    return QDir(m_historyFolder).filePath(entry);
}

std::optional<NavigationHistory::Stack> NavigationHistory::stackForLayout(const QString& layoutUuid) const
{
    if (!m_stacks || !m_stacks->contains(layoutUuid))
        return std::nullopt;
    return m_stacks->value(layoutUuid);
}

bool NavigationHistory::isEntryOfLayout(const QString& entry, const QString& layoutUuid) const
{
    const QStringList parts = entry.split(u'/');
    return parts.size() == 2 && parts[0] == layoutUuid && isSnapshotFileName(parts[1]);
}

void NavigationHistory::dropEntry(Stack& stack, qsizetype index)
{
    if (index < 0 || index >= stack.entries.size())
        return;
    const QString& entry = stack.entries[index];
    // Its file (also one being written, or a snapshot brought up to date in memory, which has an
    // older file) goes after the next history file, which no longer names it.
    m_unwritten.remove(entry);
    m_writing.remove(entry);
    m_droppedFiles.append(absolutePath(entry));
    if (m_lastRead.first == entry)
        m_lastRead = {};
    stack.entries.removeAt(index);
    stacksChanged();
}

void NavigationHistory::addStateToHistory(bool force, const QString& layoutUuid)
{
    QS_ASSERT_MAIN_THREAD();
    if (!isUsableLayoutUuid(layoutUuid) || !m_panes.hasLayout(layoutUuid))
        return;

    bool captured = false;
    const int regions = m_panes.layoutRegionCount(layoutUuid);
    for (int i = 0; i < regions; ++i) {
        if (m_panes.paneShouldCaptureHistory(layoutUuid, i)) {
            m_panes.paneWillCaptureHistory(layoutUuid, i);
            captured = true;
        }
    }
    // A state shown from the history is recorded already, whatever its panes re-reported, until
    // the reader moves from it.
    if (captured && m_showingRecordedState.contains(layoutUuid) && !movedFromRecordedState(layoutUuid))
        captured = false;
    if (!force && !captured && m_stacks && m_stacks->contains(layoutUuid) && m_stacks->value(layoutUuid).cursor != 0)
        return;  // the present state is recorded already

    const QVariant archived = m_panes.archivedLayout(layoutUuid);
    if (!m_stacks)
        m_stacks.emplace();
    Stack& stack = (*m_stacks)[layoutUuid];

    // A state that shows the places of the state shown last is no step of its own (the reader
    // clicked between panes, or a page reported where it already was): that state is brought up
    // to date, and the states after it stay.
    if (archived.isValid() && stack.cursor >= 1 && stack.cursor <= static_cast<quint64>(stack.entries.size())) {
        const QString& shown = stack.entries[static_cast<qsizetype>(stack.cursor - 1)];
        const QVariant recorded = recordedState(shown, layoutUuid);
        if (recorded.isValid() && m_panes.showSamePlaces(recorded, archived)) {
            m_unwritten.insert(shown, archived);
            scheduleWrite();
            if (m_lastRead.first == shown)
                m_lastRead = {};
            return;
        }
    }

    const QString entry =
        layoutUuid + u'/' + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + kSnapshotSuffix;

    // Recording from an earlier state discards the states after it.
    while (static_cast<quint64>(stack.entries.size()) > stack.cursor)
        dropEntry(stack, stack.entries.size() - 1);
    while (stack.entries.size() >= kMaxEntries)
        dropEntry(stack, 0);

    if (!archived.isValid()) {
        qWarning() << "History: could not record the layout" << layoutUuid;
        stack.cursor = static_cast<quint64>(stack.entries.size());
        stacksChanged();
        return;
    }
    m_unwritten.insert(entry, archived);
    stack.entries.append(entry);
    stack.cursor = static_cast<quint64>(stack.entries.size());
    m_showingRecordedState.remove(layoutUuid);
    stacksChanged();
}

QVariant NavigationHistory::recordedState(const QString& entry, const QString& layoutUuid)
{
    if (!isEntryOfLayout(entry, layoutUuid))
        return {};
    if (m_unwritten.contains(entry))
        return m_unwritten.value(entry);
    if (const auto writing = m_writing.constFind(entry); writing != m_writing.cend())
        return writing->archived;
    if (entry == m_lastRead.first)
        return m_lastRead.second;
    const QString path = absolutePath(entry);
    const QVariant archived = QFileInfo(path).isFile() ? KeyedArchive::readFile(path) : QVariant();
    m_lastRead = {entry, archived};
    return archived;
}

bool NavigationHistory::showsPresentPlaces(const Stack& stack, quint64 index, const QString& layoutUuid)
{
    if (index < 1 || index > static_cast<quint64>(stack.entries.size()))
        return false;
    const QVariant recorded = recordedState(stack.entries[static_cast<qsizetype>(index - 1)], layoutUuid);
    return recorded.isValid() && m_panes.showSamePlaces(recorded, m_panes.archivedLayout(layoutUuid));
}

bool NavigationHistory::somethingIsDirty()
{
    const QString uuid = m_panes.currentLayoutUuid();
    if (uuid.isEmpty())
        return false;
    const int regions = m_panes.layoutRegionCount(uuid);
    for (int i = 0; i < regions; ++i) {
        if (m_panes.paneShouldCaptureHistory(uuid, i))
            return true;
    }
    return false;
}

bool NavigationHistory::canGoBackInHistory()
{
    const auto stack = stackForLayout(m_panes.currentLayoutUuid());
    if (!stack)
        return false;
    return stack->cursor > 1 || (stack->cursor == 1 && hasUnrecordedChanges(m_panes.currentLayoutUuid()));
}

bool NavigationHistory::hasUnrecordedChanges(const QString& layoutUuid)
{
    // A change that left every pane where the recorded state has it shows nothing to go back to.
    return somethingIsDirty() && movedFromRecordedState(layoutUuid);
}

bool NavigationHistory::movedFromRecordedState(const QString& layoutUuid)
{
    const auto stack = stackForLayout(layoutUuid);
    if (stack && showsPresentPlaces(*stack, stack->cursor, layoutUuid))
        return false;
    // The panes show other places than the state shown: a state shown from the history was moved
    // from, which is a change like any other.
    m_showingRecordedState.remove(layoutUuid);
    return true;
}

bool NavigationHistory::canGoForwardInHistory()
{
    const auto stack = stackForLayout(m_panes.currentLayoutUuid());
    return stack && static_cast<quint64>(stack->entries.size()) > stack->cursor;
}

bool NavigationHistory::goToItem(quint64 target, Stack& stack, const QString& layoutUuid)
{
    if (target < 1 || target > static_cast<quint64>(stack.entries.size()))
        return false;
    const QVariant archived = recordedState(stack.entries[static_cast<qsizetype>(target - 1)], layoutUuid);
    if (!archived.isValid() || !m_panes.restoreLayout(layoutUuid, archived))
        return false;
    stack.cursor = target;
    m_showingRecordedState.insert(layoutUuid);
    stacksChanged();
    return true;
}

void NavigationHistory::goBackInHistory()
{
    QS_ASSERT_MAIN_THREAD();
    const QString uuid = m_panes.currentLayoutUuid();
    if (!m_stacks || !m_stacks->contains(uuid))
        return;
    // With unrecorded changes, Back first returns to the recorded state itself; the place the
    // reader leaves is recorded after it (as a go-to records the place it leaves), so that Forward
    // comes back to it.
    if (hasUnrecordedChanges(uuid))
        addStateToHistory(true, uuid);
    Stack& stack = (*m_stacks)[uuid];
    for (;;) {
        if (stack.cursor <= 1)
            return;
        quint64 target = stack.cursor - 1;
        // Every Back shows a change: states with the places shown now are passed over.
        while (target > 1 && showsPresentPlaces(stack, target, uuid))
            --target;
        if (goToItem(target, stack, uuid))
            return;
        qWarning() << "History: dropped an unreadable snapshot of the layout" << uuid;
        dropEntry(stack, static_cast<qsizetype>(target - 1));
        --stack.cursor;
    }
}

void NavigationHistory::goForwardInHistory()
{
    QS_ASSERT_MAIN_THREAD();
    const QString uuid = m_panes.currentLayoutUuid();
    if (!m_stacks || !m_stacks->contains(uuid))
        return;
    Stack& stack = (*m_stacks)[uuid];
    while (static_cast<quint64>(stack.entries.size()) > stack.cursor) {
        quint64 target = stack.cursor + 1;
        while (target < static_cast<quint64>(stack.entries.size()) && showsPresentPlaces(stack, target, uuid))
            ++target;
        if (goToItem(target, stack, uuid))
            return;
        qWarning() << "History: dropped an unreadable snapshot of the layout" << uuid;
        dropEntry(stack, static_cast<qsizetype>(target - 1));
    }
}

bool NavigationHistory::saveHistoryToFile()
{
    QS_ASSERT_MAIN_THREAD();
    m_stacksChanged = false;
    writeRecordedStates();
    bool written = false;
    queueHistoryFile([&written](const FileWriteQueue::Result& r) { written = r.ok; });
    finishWrites();
    if (!written)
        qWarning() << "History: could not write" << historyFilePath();
    return written;
}

void NavigationHistory::repairStack(const QString& layoutUuid, Stack& stack) const
{
    QStringList kept;
    quint64 cursor = stack.cursor;
    for (qsizetype i = 0; i < stack.entries.size(); ++i) {
        const QString& e = stack.entries[i];
        if (isEntryOfLayout(e, layoutUuid) && QFileInfo(absolutePath(e)).isFile() && !kept.contains(e)) {
            kept.append(e);
        } else if (static_cast<quint64>(i + 1) < stack.cursor && cursor > 0) {
            --cursor;  // an entry before the cursor went: the cursor follows its entry
        }
    }
    // Keep the newest entries within the limit.
    while (kept.size() > NavigationHistory::kMaxEntries) {
        kept.removeFirst();
        if (cursor > 0)
            --cursor;
    }
    stack.entries = kept;
    if (stack.entries.isEmpty())
        cursor = 0;
    else if (cursor > static_cast<quint64>(stack.entries.size()) || cursor == 0)
        cursor = static_cast<quint64>(stack.entries.size());
    stack.cursor = cursor;
}

void NavigationHistory::loadHistoryFromFile()
{
    QS_ASSERT_MAIN_THREAD();
    // The stacks read replace the ones in memory, and with them their unwritten states; what was
    // handed to the disk is on it before the folder is read.
    m_writeTimer.stop();
    m_stacksChanged = false;
    m_unwritten.clear();
    m_writing.clear();
    m_lastRead = {};
    finishWrites();
    m_droppedFiles.clear();  // the folder is cleaned of what the stacks read do not name
    m_droppedFolders.clear();
    m_stacks.reset();
    const QFileInfo file(historyFilePath());
    if (file.isFile() && file.size() <= kMaxFileSize) {
        const QVariant root = KeyedArchive::readFile(historyFilePath());
        KeyedUnarchiver u(root);
        const QVariant stacksValue = u.decodeValue(kStacksKey);
        if (u.isValid() && u.className() == kArchiveClass && stacksValue.metaType().id() == QMetaType::QVariantMap) {
            const QVariantMap stored = stacksValue.toMap();
            m_stacks.emplace();
            for (auto it = stored.cbegin(); it != stored.cend() && m_stacks->size() < kMaxStacks; ++it) {
                if (!isUsableLayoutUuid(it.key()) || it.value().metaType().id() != QMetaType::QVariantList) {
                    qWarning() << "History: dropped a damaged stack";
                    continue;
                }
                const QVariantList list = it.value().toList();
                Stack stack;
                if (!list.isEmpty() && isIntegerValue(list[0]) && list[0].toLongLong() >= 0)
                    stack.cursor = list[0].toULongLong();
                // Only the newest entries can be kept; older ones are not even looked at.
                const qsizetype first = std::max<qsizetype>(1, list.size() - kMaxEntries);
                const quint64 skipped = static_cast<quint64>(first - 1);
                stack.cursor = stack.cursor > skipped ? stack.cursor - skipped : 0;
                for (qsizetype i = first; i < list.size(); ++i) {
                    // Something that is no path keeps its place, so the cursor can follow.
                    stack.entries.append(
                        list[i].metaType().id() == QMetaType::QString ? list[i].toString() : QString());
                }
                repairStack(it.key(), stack);
                m_stacks->insert(it.key(), stack);
            }
        } else if (file.exists()) {
            qWarning() << "History: the history file is damaged; starting without history";
        }
    } else if (file.exists()) {
        qWarning() << "History: the history file is too large; starting without history";
    }
    cleanFolder();
}

void NavigationHistory::cleanFolder()
{
    QDir folder(m_historyFolder);
    if (!folder.exists())
        return;
    // Top-level folders of layouts without a stack go.
    const QFileInfoList top =
        folder.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& info : top) {
        if (info.isDir() && !info.isSymLink()) {
            if (!m_stacks || !m_stacks->contains(info.fileName()))
                QDir(info.filePath()).removeRecursively();
        } else if (info.isSymLink() && !(m_stacks && m_stacks->contains(info.fileName()))) {
            QFile::remove(info.filePath());
        }
    }
    QSet<QString> listed;
    if (m_stacks) {
        for (auto it = m_stacks->cbegin(); it != m_stacks->cend(); ++it) {
            for (const QString& e : it->entries)
                listed.insert(e);
        }
    }
    QDirIterator walk(m_historyFolder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        if (!path.endsWith(kSnapshotSuffix))
            continue;
        const QString relative = folder.relativeFilePath(path);
        if (relative == kFileName)
            continue;
        if (!listed.contains(relative))
            QFile::remove(path);
    }
}

void NavigationHistory::addOrRemoveLayoutsFromHistory()
{
    QS_ASSERT_MAIN_THREAD();
    if (!m_stacks)
        return;
    QStringList gone;
    for (auto it = m_stacks->cbegin(); it != m_stacks->cend(); ++it) {
        if (!m_panes.hasLayout(it.key()))
            gone.append(it.key());
    }
    if (gone.isEmpty())
        return;
    for (const QString& uuid : gone) {
        for (const QString& entry : m_stacks->value(uuid).entries) {
            m_unwritten.remove(entry);
            m_writing.remove(entry);
        }
    }
    // Their folders go after the history file that no longer names them, behind the snapshots of
    // theirs queued already.
    for (const QString& uuid : gone) {
        if (isUsableLayoutUuid(uuid))
            m_droppedFolders.append(QDir(m_historyFolder).filePath(uuid));
        m_stacks->remove(uuid);
    }
    stacksChanged();
}
