// ReaderInstance: one reader per profile. A start takes the profile's lock (a lock file in the
// profile's data folder, held until the process ends) before it reads or writes anything of the
// profile. A start that finds the lock held hands what it was asked for (a book file, or nothing)
// over the profile's local socket to the reader that holds it, which raises its window (and opens
// the book), and ends. So two readers never write one profile, and a second start of any kind shows
// the reader already running.
//
// A request is one line of UTF-8 (the book file's absolute path, or empty) of at most kMaxRequest
// bytes; the reader answers "ok" before it acts. A lock left by a reader that died is taken over
// (the lock file names its process, and the system lock on it ends with that process).
//
// forThisProfile() is the process's own instance (the profile of the XDG folders, the socket in the
// user's runtime folder); tests make their own on other paths. Claims and listening: main thread
// only; handOver blocks and may run on any thread.
#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QObject;

class ReaderInstance {
public:
    enum class Claim {
        Owner,       // this process holds the profile
        HandedOver,  // the reader that holds it took the request
        NoAnswer,    // it is held, and its reader did not answer in time
    };
    static constexpr int kMaxRequest = 8192;
    // How long a second start waits for the running reader (which may itself still be starting).
    static constexpr int kHandOverWaitMs = 20000;

    ReaderInstance(const QString& lockFile, const QString& socketName);
    ~ReaderInstance();

    // The instance of this process's profile.
    static ReaderInstance& forThisProfile();

    // Takes the profile, or hands `bookPath` (empty: none) to the reader that holds it, trying until
    // it answers, the lock comes free, or `waitMs` have passed.
    Claim claim(const QString& bookPath, int waitMs = kHandOverWaitMs);
    // Whether this instance holds the profile (taking it when it is free). A profile whose lock
    // cannot be written at all (a read-only folder) counts as this process's.
    bool ownsProfile();
    // The process that holds the lock, when known (0 otherwise).
    qint64 ownerPid() const;

    // Listens for the requests of later starts (only as the owner; null otherwise). `request` gets
    // each one's book path (empty for a plain start), after the answer was sent.
    QLocalServer* listen(QObject* parent, std::function<void(const QString& bookPath)> request);

    const QString& socketName() const { return m_socketName; }

    // Sends one request to the reader listening at the socket; true once it answered.
    static bool handOver(const QString& socketName, const QString& bookPath, int waitMs);

private:
    enum class Lock { Taken, Held, Unwritable };
    Lock tryLock();

    QString m_lockFilePath;
    QString m_socketName;
    std::unique_ptr<QLockFile> m_lock;
    bool m_owner = false;
};
