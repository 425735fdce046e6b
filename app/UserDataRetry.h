// UserDataRetry: what could not be read from the user-data database while another program held it is
// read again once the database answers. Every second it looks whether a statement failed for want of
// the lock since the pages last read (cSQLiteDbBase::lockFailures) or a document of the notes and
// highlights is still closed (it could not be opened at the start); if so it opens what is closed and
// tries one small read, and once that goes through it posts that the highlights and the notes have
// changed, so every page and the study pane show them as the database holds them. A look costs
// nothing while all is well, and at most the window thread's short wait for the lock while it is not.
//
// Owned by the application controller; main thread only.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

class NotificationCenter;

class UserDataRetry : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 1000;

    // `openDocuments` opens the notes and highlight documents that are closed and answers whether both
    // are open (cBookUserData::install).
    UserDataRetry(NotificationCenter& center, std::function<bool()> openDocuments, QObject* parent = nullptr);

    // One look (the timer's): answers whether the pages were told to read again.
    bool look();
    // Whether a read is owed (tests).
    bool owed() const;

private:
    NotificationCenter& m_center;
    std::function<bool()> m_openDocuments;
    QTimer m_timer;
    std::uint64_t m_seenFailures = 0;
    bool m_documentsOpen = true;
};
