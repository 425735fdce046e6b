// WebViewWindowController: a small floating window with a web page, for links that open inside the
// reader ("apphttps://" links arrive here as "https://"). It uses a web profile of its own, off the
// record, with none of the book page's scheme or script bridge, and the page gets no context
// menu. The window takes the page's title once the page names one.
//
// openURL (and openLocalPage) makes a controller that lives until its window is closed (it deletes itself then); any
// number may be open. Main thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWebEngineProfile;
class QWebEngineView;
class QWidget;

class WebViewWindowController : public QObject {
    Q_OBJECT
public:
    // Shows the page in a new window; the window title is `title` until the page names its own.
    static WebViewWindowController* openURL(const QString& urlString, const QString& title);
    // Shows a page file the reader wrote itself (a log), with scripts off and no remote content; the
    // window title is `title` until the page names its own. Escape closes it.
    static WebViewWindowController* openLocalPage(const QString& path, const QString& title);

    QWidget* window() const { return m_window; }
    QWebEngineView* webView() const { return m_webView; }
    QString urlString() const { return m_urlString; }
    // The close button's action: closes the window and disposes of the controller.
    void onClose();
    // The profile all these windows share: in memory only, separate from the book pages'.
    static QWebEngineProfile* profile();

private:
    explicit WebViewWindowController(const QString& urlString);
    ~WebViewWindowController() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QString m_urlString;
    QPointer<QWidget> m_window;
    QWebEngineView* m_webView = nullptr;
    bool m_closing = false;
};
