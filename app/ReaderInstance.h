// ReaderInstance: one reader per profile. A start takes the profile's lock (a lock file in the
// profile's data folder, held until the process ends) before it reads or writes anything of the
// profile. A start that finds the lock held hands what it was asked for (a book file, or nothing)
// over the profile's local socket to the reader that holds it, which raises its window (and opens
// the book), and ends. So two readers never write one profile, and a second start of any kind shows
// the reader already running.
//
// A request is one line of UTF-8 (the book file's absolute path, or empty) of at most kMaxRequest
// bytes; the reader answers "ok", and acts on it later from its own event loop, never inside the
// connection's signal (acting may show an alert, whose loop may end the connection). Requests run
// one after another, in the order they came.
//
// Whether the profile is held is decided by the system's lock on the lock file (flock), which ends
// with the process that holds it: the file's text (the holder's process id) only names the holder
// in messages. So a lock file that is empty, unreadable, or names a process that lives (this one,
// after a reboot, or a reader of another profile) is no one's. Whatever stands at the lock's or the
// socket's path that is no such file (a folder, a link) is set aside.
//
// forThisProfile() is the process's own instance (the profile of the XDG folders, the socket in the
// user's runtime folder); tests make their own on other paths. Claims and listening: main thread
// only; handOver blocks and may run on any thread.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QLocalServer;
class QObject;

class ReaderInstance {
public:
    enum class Claim {
        Owner,       // this process holds the profile
        HandedOver,  // the reader that holds it took the request
        NoAnswer,    // it is held, and its reader did not answer in time
        Blocked,     // something that cannot be set aside stands at the lock's path
    };
    static constexpr int kMaxRequest = 8192;
    // How long a second start waits for the running reader (which may itself still be starting).
    static constexpr int kHandOverWaitMs = 20000;

    ReaderInstance(const QString& lockFile, const QString& socketName);
    ~ReaderInstance();
    ReaderInstance(const ReaderInstance&) = delete;
    ReaderInstance& operator=(const ReaderInstance&) = delete;

    // The instance of this process's profile.
    static ReaderInstance& forThisProfile();

    // Takes the profile, or hands `bookPath` (empty: none) to the reader that holds it, trying until
    // it answers, the lock comes free, or `waitMs` have passed.
    Claim claim(const QString& bookPath, int waitMs = kHandOverWaitMs);
    // Whether this instance holds the profile (taking it when it is free). A profile whose lock
    // cannot be written at all (a read-only folder) counts as this process's.
    bool ownsProfile();
    // The process that holds the lock, as its lock file names it (0 when it names none).
    qint64 ownerPid() const;
    const QString& lockFilePath() const { return m_lockFilePath; }
    // Whether something that is not a local socket stands at the socket's path (and so no reader
    // can listen there).
    bool socketPathIsBlocked() const;

    // Listens for the requests of later starts (only as the owner; null otherwise). `request` gets
    // each one's book path (empty for a plain start), after the answer was sent.
    QLocalServer* listen(QObject* parent, std::function<void(const QString& bookPath)> request);

    const QString& socketName() const { return m_socketName; }

    // Sends one request to the reader listening at the socket; true once it answered.
    static bool handOver(const QString& socketName, const QString& bookPath, int waitMs);

private:
    enum class Lock { Taken, Held, Unwritable, Blocked };
    Lock tryLock();
    // Opens the lock file (setting aside what stands in its place); nothing once it is open, else why not.
    std::optional<Lock> openLockFile();

    QString m_lockFilePath;
    QString m_socketName;
    int m_fd = -1;  // the lock file, open while this instance lives
    bool m_owner = false;
};
