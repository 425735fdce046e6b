// Writing a file so that a failed write never costs the copy already there.
//
// The bytes go to a temporary file beside the target (QSaveFile). Before that file takes the
// target's name, every write's count is checked, the buffer is flushed and the file synced to disk
// and the device's error state is checked: QSaveFile alone buffers a short write, reports it whole
// and then renames a truncated file over the good one when the disk is full. On any failure the
// temporary file is dropped and the target keeps its old contents.
//
// A symbolic link in the target's place is honoured: the save goes to the file the link names, and
// the link stays. Inside the profile's folders (AppFolders::isProfileFile) a link whose target is
// missing, a loop or no regular file is refused (ProfileLink.h): the save fails naming the target,
// and the link and what it names are left as they are.
//
// A failed save is reported to SaveFailureAlerts under `what`, the words that name what was being
// saved to the user ("your screen layout"); the user is told once per `what` until a save of it
// succeeds again. An empty `what` reports as "files in the folder ...", the file's folder. A caller that tells the user
// itself (a download with its own alert) asks for Reporting::CallerTells: the failure is only logged.
//
// One FileSave per file being written, used by one thread; writeFile is reentrant.
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

class FileSave {
public:
    enum class Reporting { Alert, CallerTells };

    // `what` as above.
    explicit FileSave(const QString& path, const QString& what = QString(), Reporting reporting = Reporting::Alert);
    // An open save that was not committed is dropped (the target is untouched).
    ~FileSave();
    FileSave(const FileSave&) = delete;
    FileSave& operator=(const FileSave&) = delete;

    // Opens the temporary file; the target's folder is made when it is missing, unless the caller
    // says the folder must exist (a place the user chose).
    enum class Folder { Make, MustExist };
    bool open(Folder folder = Folder::Make);
    // False, and every later write and commit too, once a write fell short.
    bool write(const QByteArray& bytes);
    // Flushes, syncs and checks, then gives the file the target's name. False: the target is as it
    // was, the failure has been reported and errorString() says why.
    bool commit();
    // Sets the permissions of the file being written (after open(), before anything is written, so
    // a private file is never readable by others, not even for a moment).
    bool setPermissions(QFileDevice::Permissions permissions);
    // Drops what was written; the target is untouched. Nothing is reported.
    void cancel();

    // A write, the open or the commit failed (the target is as it was).
    bool failed() const { return m_failed; }
    const QString& path() const { return m_path; }
    // A copy of the file was there when the save opened (a failed save keeps it).
    bool hadCopy() const { return m_hadCopy; }
    const QString& what() const { return m_what; }
    QString errorString() const { return m_error; }

    // For files written in place under a name of their own and renamed by their writer (a book being
    // downloaded): flushes the buffer, syncs to disk and checks the device's error state. False, with
    // `error` set, when what was written is not all on disk.
    static bool flushToDisk(QFileDevice& file, QString* error = nullptr);

    // The whole file in one call (open, write, commit). `error` gets the reason on failure.
    static bool writeFile(const QString& path, const QByteArray& bytes, const QString& what = QString(),
        QString* error = nullptr, Reporting reporting = Reporting::Alert);

private:
    bool fail(const QString& reason);

    QString m_path;
    QString m_what;
    QSaveFile m_file;
    QString m_error;
    Reporting m_reporting;
    bool m_opened = false;
    bool m_failed = false;
    bool m_hadCopy = false;
};
