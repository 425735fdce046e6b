// Files saved on a worker thread, so that the main thread only hands over what a file is to hold.
//
// One queue serves the whole process (shared()). A write names the file, how its bytes are made
// (run on the worker from a copy the caller handed over, so encoding an archive costs the main
// thread nothing) and the words that name the file to the user. The bytes are saved as FileSave
// saves them: a temporary file, written, flushed, synced and renamed, so that a full disk or a crash
// keeps the old file; a failed save is reported to SaveFailureAlerts (the alert is shown on the main
// thread) and logged.
//
// Order: the worker takes the writes one at a time, in the order they were queued. A write or a
// removal of a file queued while an earlier one of the same file still waits replaces it (the
// earlier one is dropped, its done call too, and the new one goes to the end of the queue): a file's
// contents reach the disk in order, and the newest wins.
//
// `done` runs on the main thread once its write is over: from the main thread's event loop, or
// within finish(). finish() waits until everything queued so far has reached the disk and runs the
// done calls; call it before a file that may be waiting is read back, at quit, and before an object
// whose done calls refer to it goes. The queue finishes its writes when it goes.
//
// write, remove and finish: main thread only (a queue of one's own, made on a thread without an
// application object, is used from that thread).
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class FileWriteQueue {
public:
    // What the worker is to write. A non-empty `error` writes nothing (the file keeps its contents and
    // the failure is logged); `unchanged`: the file holds these contents already, nothing is written.
    struct Content {
        QByteArray bytes;
        QString error;
        bool unchanged = false;
    };
    using Encoder = std::function<Content()>;

    struct Result {
        QString path;
        bool ok = false;       // the file holds the contents (or is gone, for a removal)
        bool written = false;  // the file was written now (not unchanged, not a removal)
        QByteArray bytes;      // what was written
        QString error;         // why it failed
    };
    using Done = std::function<void(const Result&)>;

    static FileWriteQueue& shared();

    FileWriteQueue();
    ~FileWriteQueue();
    FileWriteQueue(const FileWriteQueue&) = delete;
    FileWriteQueue& operator=(const FileWriteQueue&) = delete;

    // `encode` runs on the worker; it may hold only what it owns (copies, implicitly shared values).
    void write(const QString& path, Encoder encode, const QString& what, Done done = {});
    void write(const QString& path, const QByteArray& bytes, const QString& what, Done done = {});
    // Written as write() writes, unless the file already holds the bytes: the worker compares them, in
    // the file's place among its writes, with the bytes it last wrote to that path (while the file is
    // still the one it wrote: same size and time) or else with what the file holds. Nothing is
    // written then (ok, not written).
    void writeIfChanged(const QString& path, Encoder encode, const QString& what, Done done = {});
    // Removes the file, in its place among the file's writes.
    void remove(const QString& path, Done done = {});

    // Waits until every write queued so far is over, then runs the done calls that are due.
    void finish();

private:
    struct State;
    std::shared_ptr<State> m_state;
};
