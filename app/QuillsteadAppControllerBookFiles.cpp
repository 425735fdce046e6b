// The application controller's opening of book files: a file given to the reader is checked,
// placed in the books folder (or the installed copy kept), and opened. Declared in
// QuillsteadAppController.h.
#include "app/QuillsteadAppController.h"

#include "library/BookFileInstall.h"
#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "library/SourceTupleArray.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/AppFolders.h"
#include "platform/NotificationCenter.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <utility>

void QuillsteadAppController::loadAndOpenBook(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists()) {
        showBookFileProblem(fileName, QStringLiteral("There is no file at %1.").arg(info.absoluteFilePath()));
        return;
    }
    if (!BookFileInstall::isRegularFile(fileName)) {
        showBookFileProblem(fileName,
            QStringLiteral("%1 is %2, not a book file.")
                .arg(info.absoluteFilePath(),
                    info.isDir() ? QStringLiteral("a folder") : QStringLiteral("no plain file")));
        return;
    }
    SourceManager& library = m_environment.books();
    const QString books = AppFolders::booksDirectory();
    QString installed;
    if (BookFileInstall::isInsideFolder(fileName, books)) {
        // A file of the books folder is already installed: it is opened where it is (copying it
        // over itself would lose it). The library knows it under the books folder's own path.
        const QString canonicalBooks = QFileInfo(books).canonicalFilePath();
        installed = QDir(books).filePath(QDir(canonicalBooks).relativeFilePath(info.canonicalFilePath()));
    } else {
        // What the file is decides where it goes, before anything in the books folder is touched.
        QString reason;
        const std::shared_ptr<cSourceDoc> doc = SourceTuple::allocateSourceForFile(info.absoluteFilePath(), &reason);
        if (!doc) {
            showBookFileProblem(fileName,
                reason == SourceTuple::kNotABookFile
                    ? QStringLiteral("%1 is not a book file.").arg(info.absoluteFilePath())
                    : QStringLiteral("%1 is not a book Quillstead can open%2")
                          .arg(info.absoluteFilePath(),
                              reason.isEmpty() ? QStringLiteral(".")
                                               : QStringLiteral(": ") + reason + QLatin1Char('.')));
            return;
        }
        const SourceTuple::Ptr incoming = SourceTuple::sourceTupleForSource(doc);
        const Placement placement = placeBookFile(*incoming, info.absoluteFilePath());
        if (placement.keep) {
            // An older copy never replaces the newer one installed, nor does another copy of the
            // same revision (a damaged one still opens, short of the text its damage covers): the
            // installed copy is opened instead.
            if (placement.kept != Placement::Kept::SameCopy) {
                Alert alert;
                alert.style = AlertStyle::Informational;
                if (placement.kept == Placement::Kept::Newer) {
                    alert.messageText = QStringLiteral("A newer copy of \"%1\" is already installed.")
                                            .arg(placement.keep->record().name);
                    alert.informativeText = QStringLiteral(
                        "%1 holds an older edition or revision of this book; the installed copy is kept and opened.")
                                                .arg(info.absoluteFilePath());
                } else {
                    alert.style = AlertStyle::Warning;
                    alert.messageText = QStringLiteral(
                        "\"%1\" is already installed, and this copy of it differs from the installed one.")
                                            .arg(placement.keep->record().name);
                    alert.informativeText =
                        QStringLiteral("%1 holds the same edition and revision of this book as %2, but not the same "
                                       "contents: one of them may be damaged. The installed copy is kept and opened; "
                                       "only a newer revision replaces it.")
                            .arg(info.absoluteFilePath(), placement.keep->record().filepath);
                }
                m_environment.alert().runModal(alert);
            }
            openInstalledBook(placement.keep);
            return;
        }
        installed = placement.destination;
        // The copy replaces a file of the same name only when it is the same book at a newer
        // revision (or the same bytes again), and only once it is complete and opens as a book; a
        // copy that replaces an installed book must also read through, every section of it. That
        // takes a second for a large book: it runs on a worker while the window stays live, and the
        // book is replaced and opened once the check has answered.
        if (placement.replaces) {
            if (m_booksBeingReplaced.contains(installed))
                return;  // already on its way: that one opens the book
            m_booksBeingReplaced.insert(installed);
            BookFileInstall::installCopyOnWorker(info.absoluteFilePath(), installed,
                BookFileInstall::Check::ReadsThrough, this,
                [this, source = info.absoluteFilePath(), installed, replaced = placement.replaces](
                    bool ok, const QString& error) {
                    m_booksBeingReplaced.remove(installed);
                    if (ok) {
                        m_environment.books().forgetSourceAtPath(installed);
                        openBookInstalledAt(installed);
                        return;
                    }
                    Alert alert;
                    alert.messageText =
                        QStringLiteral("The installed copy of \"%1\" is kept.").arg(replaced->record().name);
                    alert.informativeText = QStringLiteral(
                        "%1 holds a newer revision of this book, but it cannot replace the installed copy: %2")
                                                .arg(source, error);
                    m_environment.alert().runModal(alert);
                    openInstalledBook(replaced);
                });
            return;
        }
        QString error;
        if (!BookFileInstall::installCopy(info.absoluteFilePath(), installed, &error)) {
            Alert alert;
            alert.messageText = QStringLiteral("The book file could not be copied into the books folder.");
            alert.informativeText = error;
            m_environment.alert().runModal(alert);
            return;
        }
        library.forgetSourceAtPath(installed);
    }
    openBookInstalledAt(installed);
}

void QuillsteadAppController::openBookInstalledAt(const QString& installed)
{
    m_environment.notifications().postNotificationName(
        LibraryNotifications::qsBookFileCopiedToBooksFolder, nullptr, {{QStringLiteral("path"), installed}});
    const SourceTuple::Ptr book = m_environment.books().allSources()->tupleForFile(installed);
    if (!book) {
        Alert alert;
        alert.messageText = QStringLiteral("Unable to open the book after it was installed.");
        alert.style = AlertStyle::Informational;
        m_environment.alert().runModal(alert);
        return;
    }
    openInstalledBook(book);
}

QuillsteadAppController::Placement QuillsteadAppController::placeBookFile(
    const SourceTuple& incoming, const QString& path)
{
    const SourceTupleArray::Ptr all = m_environment.books().allSources();
    const QString books = AppFolders::booksDirectory();
    const auto version = [](const SourceTuple& t) {
        return std::pair(t.record().editionNumber, t.record().revisionNumber);
    };
    Placement placement;
    const SourceTuple::Ptr same = all->tupleForPubID(incoming.record().pubID, incoming.record().bookID);
    if (same && !same->isFakeJournalDoc() && BookFileInstall::isRegularFile(same->record().filepath)) {
        if (version(incoming) < version(*same)) {
            placement.keep = same;
            placement.kept = Placement::Kept::Newer;
            return placement;
        }
        if (version(incoming) == version(*same)) {
            // The same revision is never installed twice and never replaces the installed copy.
            placement.keep = same;
            placement.kept = BookFileInstall::haveSameContents(path, same->record().filepath)
                ? Placement::Kept::SameCopy
                : Placement::Kept::SameRevisionDiffers;
            return placement;
        }
        placement.replaces = same;
    }
    const QString target = QDir(books).filePath(QFileInfo(path).fileName());
    placement.destination = target;
    if (!QFileInfo::exists(target))
        return placement;
    // The file of that name is replaced only by the same book (an update); any other book is
    // installed beside it under a free name.
    const SourceTuple::Ptr there = all->tupleForFile(target);
    if (there && there->isEqual(incoming)) {
        placement.replaces = there;
        return placement;
    }
    placement.destination = BookFileInstall::freePathFor(target);
    return placement;
}

void QuillsteadAppController::openInstalledBook(const SourceTuple::Ptr& book)
{
    m_environment.notifications().postNotificationName(PaneNotifications::UserWantsToOpenThisBookNotification, this,
        {{QStringLiteral("pubid"), book->record().pubID}, {QStringLiteral("bookid"), book->record().bookID},
            {QStringLiteral("edition"), book->record().editionNumber},
            {QStringLiteral("revision"), book->record().revisionNumber}});
}

void QuillsteadAppController::showBookFileProblem(const QString& fileName, const QString& why)
{
    Alert alert;
    alert.style = AlertStyle::Warning;
    alert.messageText = QStringLiteral("The book file \"%1\" could not be opened.").arg(QFileInfo(fileName).fileName());
    alert.informativeText = why;
    m_environment.alert().runModal(alert);
}
