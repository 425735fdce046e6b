// RefusedBooksNotice: says, without stopping the reader, which book files the library refused and
// moved out of the books folder. The library announces each file it sets aside
// (qsSourceManagerSetAsideBookNotification); the files announced before the event loop next runs (a
// scan of the folder refuses several at once) make one notice, a message window that is not modal,
// which names each file, why it was refused and the folder it is now in. Each file is said once:
// once moved it is no longer in the books folder to be refused again.
//
// Files refused while the reader starts, before its window is shown, are said once the window is
// up, over it. Owned by the application controller; the centre must outlive it. Made and shown on the
// main thread; an announcement from another thread is handed to it.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>

class NotificationCenter;
class Notification;
class QWidget;

class RefusedBooksNotice : public QObject {
    Q_OBJECT
public:
    // The most files a notice names one by one; the rest are counted.
    static constexpr int kNamedFiles = 5;

    // `window` answers the window the notice stands over (null: none yet, the notice waits for it).
    RefusedBooksNotice(NotificationCenter& center, std::function<QWidget*()> window, QObject* parent = nullptr);
    ~RefusedBooksNotice() override;

    // The notice's text for these refusals (each: file name, reason) moved into `folder`.
    static QString messageText(int count);
    static QString informativeText(const QList<std::pair<QString, QString>>& refusals, const QString& folder);

private:
    void bookSetAside(const QVariantMap& info);
    void say();

    NotificationCenter& m_center;
    std::function<QWidget*()> m_window;
    QList<std::pair<QString, QString>> m_pending;  // file name, reason
    QString m_folder;
    bool m_scheduled = false;
    QPointer<QMessageBox> m_shown;
};
