// One of the note sub-pane's three pages (StudyPaneNoteViewEditViewController): a web view of the
// book-page profile that loads from the reader's scheme only, runs only the note script (by its nonce)
// and hands its bridge calls to the sub-pane. Links are followed by the page script; the view page
// opens a web link the script did not take in the desktop's browser.
//
// A child of the sub-pane's page stack. Main thread only.
#pragma once

#include "panes/page/BookPageScheme.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <QLoggingCategory>
#include <QUrl>
#include <QWebEngineView>

class StudyPaneNoteViewEditViewController;

// What the note pages and the sub-pane log ("qs.studypane.notes").
Q_DECLARE_LOGGING_CATEGORY(lcNoteEditor)

// One of the three note pages: a web view of the book-page profile (nothing outside the reader is
// loaded) serving its page and answering its bridge calls through the reader's scheme.
class NoteWebView : public QWebEngineView, private BookPageEndpoint {
public:
    NoteWebView(StudyPaneNoteViewEditViewController* owner, bool viewPage, QWidget* parent);
    ~NoteWebView() override;
    // Loads a page with the note script put into its head; its serial must be new.
    void loadPage(quint64 serial, const QString& page, const QString& script);
    // The address the view's page scripts call the reader at, with the view's secret.
    QString bridgeBase();
    quint64 serial() const { return m_serial; }
    // The address of the page last loaded.
    const QUrl& pageUrl() const { return m_url; }
    bool isPageReady() const { return m_ready; }
    // The page's renderer ended: the page is blank until it is loaded again.
    void rendererEnded() { m_ready = false; }
    // Whether a bridge call's argument is a whole number in [0, max] (a serial, a change number, an
    // offset): the pages' script is the reader's own, but what it sends is checked like any input.
    static bool isWholeNumber(const QJsonValue& v, double max = 9007199254740991.0);

private:
    QByteArray pageHtml(quint64 serial) override;
    bool isBridgeSecret(const QString& secret) const override;
    QJsonValue bridgeCall(const QString& name, const QJsonArray& arguments) override;
    QByteArray bookFile(const QString&) override { return {}; }

    StudyPaneNoteViewEditViewController* m_owner;
    QString m_token;
    QString m_bridgeSecret;
    quint64 m_serial = 0;
    QUrl m_url;
    QByteArray m_html;
    bool m_ready = false;
};
