#include "panes/bookpane/WebViewWindowController.h"

#include "panes/page/PageRendererWatch.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

QWebEngineProfile* WebViewWindowController::profile()
{
    // Off the record: nothing of these pages is written to disk. Made once, owned by the
    // application object so it outlives every page.
    static QPointer<QWebEngineProfile> shared;
    if (!shared)
        shared = new QWebEngineProfile(qApp);
    return shared;
}

WebViewWindowController* WebViewWindowController::openURL(const QString& urlString, const QString& title)
{
    auto* controller = new WebViewWindowController(urlString);
    controller->m_window->setWindowTitle(title);
    controller->m_window->show();
    return controller;
}

WebViewWindowController* WebViewWindowController::openLocalPage(const QString& path, const QString& title)
{
    auto* controller = new WebViewWindowController(QString());
    QWebEngineSettings* settings = controller->m_webView->page()->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    const QUrl url = QUrl::fromLocalFile(path);
    controller->m_urlString = url.toString();
    controller->m_webView->load(url);
    controller->m_window->setWindowTitle(title);
    // A page of the reader's own (the sync history) is read and put away: Escape closes it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), controller->m_window);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, controller, &WebViewWindowController::onClose);
    controller->m_window->show();
    return controller;
}

WebViewWindowController::WebViewWindowController(const QString& urlString) : m_urlString(urlString)
{
    m_window = new QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    m_window->setAttribute(Qt::WA_DeleteOnClose, false);
    m_window->resize(800, 600);
    auto* column = new QVBoxLayout(m_window);
    column->setContentsMargins(0, 0, 0, 0);
    m_webView = new QWebEngineView(m_window);
    m_webView->setPage(new QWebEnginePage(profile(), m_webView));
    // A page whose renderer ended loads again.
    new PageRendererWatch(m_webView->page(), nullptr, [view = m_webView] { view->reload(); });
    m_webView->setContextMenuPolicy(Qt::NoContextMenu);
    column->addWidget(m_webView);
    connect(m_webView, &QWebEngineView::titleChanged, this, [this](const QString& title) {
        if (!title.isEmpty() && m_window)
            m_window->setWindowTitle(title);
    });
    m_window->installEventFilter(this);
    // The floating window steps aside while the reader is not the active application.
    connect(qApp, &QApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (!m_window)
            return;
        if (state == Qt::ApplicationActive)
            m_window->show();
        else
            m_window->hide();
    });
    const QUrl url(m_urlString);
    if (url.isValid() && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")))
        m_webView->load(url);
}

WebViewWindowController::~WebViewWindowController()
{
    if (m_window)
        m_window->removeEventFilter(this);
    delete m_window.data();
}

bool WebViewWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Close && !m_closing) {
        // The window's close button: the window and its controller go.
        onClose();
    }
    return QObject::eventFilter(watched, event);
}

void WebViewWindowController::onClose()
{
    if (m_closing)
        return;
    m_closing = true;
    if (m_window) {
        m_window->removeEventFilter(this);
        m_window->hide();
    }
    deleteLater();
}
