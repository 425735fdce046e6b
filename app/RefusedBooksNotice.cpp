#include "app/RefusedBooksNotice.h"

#include "library/LibraryNotifications.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/PlainLabel.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

RefusedBooksNotice::RefusedBooksNotice(NotificationCenter& center, std::function<QWidget*()> window, QObject* parent)
    : QObject(parent), m_center(center), m_window(std::move(window))
{
    m_center.addObserver(this, LibraryNotifications::qsSourceManagerSetAsideBookNotification,
        [this](Notification& n) { bookSetAside(n.userInfo); });
}

RefusedBooksNotice::~RefusedBooksNotice()
{
    m_center.removeObserver(this);
    if (m_shown)
        m_shown->deleteLater();
}

QString RefusedBooksNotice::messageText(int count)
{
    return count == 1 ? QStringLiteral("A book file in your books folder could not be used.")
                      : QStringLiteral("%1 book files in your books folder could not be used.").arg(count);
}

QString RefusedBooksNotice::informativeText(const QList<std::pair<QString, QString>>& refusals, const QString& folder)
{
    QStringList lines;
    for (qsizetype i = 0; i < refusals.size() && i < kNamedFiles; ++i)
        lines.append(QStringLiteral("\u201C%1\u201D: %2.").arg(refusals[i].first, refusals[i].second));
    if (refusals.size() > kNamedFiles)
        lines.append(QStringLiteral("and %1 more.").arg(refusals.size() - kNamedFiles));
    lines.append(QString());
    lines.append(refusals.size() == 1 ? QStringLiteral("It was moved to %1").arg(QDir::toNativeSeparators(folder))
                                      : QStringLiteral("They were moved to %1").arg(QDir::toNativeSeparators(folder)));
    return lines.join(QLatin1Char('\n'));
}

void RefusedBooksNotice::bookSetAside(const QVariantMap& info)
{
    // The library may work on another thread: the notice is made on this object's.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, info] { bookSetAside(info); }, Qt::QueuedConnection);
        return;
    }
    const QString path = info.value(QStringLiteral("path")).toString();
    const QString folder = info.value(QStringLiteral("folder")).toString();
    if (path.isEmpty())
        return;
    // One refused-books folder per library: a notice names it once.
    if (!m_pending.isEmpty() && folder != m_folder)
        say();
    m_folder = folder;
    m_pending.append({QFileInfo(path).fileName(), info.value(QStringLiteral("reason")).toString()});
    if (!m_scheduled) {
        m_scheduled = true;
        QTimer::singleShot(0, this, [this] {
            m_scheduled = false;
            say();
        });
    }
}

void RefusedBooksNotice::say()
{
    if (m_pending.isEmpty())
        return;
    QWidget* window = m_window ? m_window() : nullptr;
    if (window == nullptr || !window->isVisible()) {
        // The reader is starting: the notice waits for its window.
        if (!m_scheduled) {
            m_scheduled = true;
            QTimer::singleShot(200, this, [this] {
                m_scheduled = false;
                say();
            });
        }
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Books Set Aside"),
        messageText(int(m_pending.size())), QMessageBox::Ok, window);
    box->setObjectName(QStringLiteral("refusedBooksNotice"));
    box->setInformativeText(informativeText(m_pending, m_folder));
    box->setWindowModality(Qt::NonModal);
    box->setModal(false);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The reader keeps the keys: a key typed as the notice appears goes on to the page or the note.
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    PlainLabel::makePlain(box);
    m_pending.clear();
    m_shown = box;
    box->show();
}
