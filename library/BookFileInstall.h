// Putting a book file into the books folder without ever losing the one already there.
//
// A new copy is written beside its final name as a partial file ("<name>.tvk.tmp", or a unique
// "<name>.XXXXXX.tvk.tmp"), checked to open as a book, and only then renamed over the final name in
// one step: the final name holds either the old book or the whole new one. Partial files left by a
// crash are swept from the books folder at start (sweepPartialFiles). The library never lists
// partial files (their extension is not "tvk").
//
// Pure file operations on the calling thread; any thread, but two installs to the same final name
// must not run at once. The *OnWorker calls run them on a worker thread and answer on the main thread.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QObject;

namespace BookFileInstall {

// The suffix every partial book file ends with.
inline constexpr char kPartialSuffix[] = ".tvk.tmp";

// "<final path>.tmp": the partial file of one writer that owns the final name (a download).
QString partialPathFor(const QString& finalPath);

// The canonical form of both paths names the same file (false when either does not exist).
bool isSameFile(const QString& a, const QString& b);
// `path` exists and lies inside `folder` at any depth (canonical paths, so links and ".." count).
bool isInsideFolder(const QString& path, const QString& folder);
// `path` is a regular file (after following links): not a folder, FIFO, socket or device.
bool isRegularFile(const QString& path);

// `path` when no file has that name, else the first free "<name> (n).<ext>" beside it.
QString freePathFor(const QString& path);

// Renames `partial` over `destination` in one step (same folder). False, with both files as they
// were, when the system refuses.
bool replaceWith(const QString& partial, const QString& destination);

// The book file at `path` opens as a book and everything of it the reader uses reads: every
// section's text, the contents, the verse and reading tables and the concordances
// (engine/bookfile/BkReadThrough.h). A copy damaged past its header still opens but loses what the
// damage covers; this finds it. False, with `reason` naming the first part that does not read
// ("its contents (entry 12 of 2485) cannot be read"), otherwise. Reads the whole book: seconds for
// the largest books.
bool readsThrough(const QString& path, QString* reason);

// How much of a copy is checked before it takes the final name: that it opens as a book, or that
// it also reads through (a copy that replaces an installed book).
enum class Check { Opens, ReadsThrough };

// Copies the regular file `source` to `destination` through a unique partial file beside it, checks
// the copy as `check` says and then replaces `destination`. On any failure `destination` is
// untouched, the partial file is gone and `error` says why.
bool installCopy(const QString& source, const QString& destination, QString* error, Check check = Check::Opens);

// What a check on a worker thread answers on the main thread: whether the book passed, and why not.
using CheckAnswer = std::function<void(bool ok, const QString& why)>;

// readsThrough of `path` on a worker thread, so that the main thread's event loop runs meanwhile
// (the window stays live: a large book takes a second). `done` runs on the main thread with the
// answer, unless `context` is gone by then. Called on the main thread; the file must stay until the
// answer.
void readsThroughOnWorker(const QString& path, QObject* context, CheckAnswer done);

// installCopy on a worker thread, answered as readsThroughOnWorker answers (`why` is installCopy's
// error). The destination is replaced, on the worker, only once the copy has passed its check.
void installCopyOnWorker(
    const QString& source, const QString& destination, Check check, QObject* context, CheckAnswer done);

// The two files hold the same bytes (false when either cannot be read).
bool haveSameContents(const QString& a, const QString& b);

// Removes every partial book file under `folder` (at any depth); the paths removed.
QStringList sweepPartialFiles(const QString& folder);

}  // namespace BookFileInstall
