#include "cloud/store/ui/BookStoreWindowController.h"

#include "cloud/protocol/WebScriptQuery.h"
#include "cloud/store/StoreCredentials.h"
#include "panes/page/PageRendererWatch.h"
#include "platform/Alerts.h"
#include "platform/AppVersion.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

namespace qs::cloud {

// Sees every request of one store page. It may be called on a web-engine thread: it touches nothing
// of the window, only reads the address and posts its finding to the window's thread.
class StoreRequestInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    explicit StoreRequestInterceptor(BookStoreWindowController* window)
        : QWebEngineUrlRequestInterceptor(window), m_window(window)
    {
    }

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QUrl url = info.requestUrl();
        const StoreExitAction action = BookStoreWindowController::exitActionForUrl(url);
        const bool mainFrame = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame;
        if (action.kind == StoreExitAction::Download)
            info.block(true);
        // Queued on the window: dropped if the window is gone by then.
        BookStoreWindowController* window = m_window;
        QMetaObject::invokeMethod(
            window, [window, url, action, mainFrame] { window->requestSeen(url, action, mainFrame); },
            Qt::QueuedConnection);
    }

private:
    BookStoreWindowController* m_window;
};

QWebEngineProfile* BookStoreWindowController::profile()
{
    // Off the record and without a cache: every visit asks the server again. Owned by the
    // application object so it outlives every page.
    static QPointer<QWebEngineProfile> shared;
    if (!shared) {
        shared = new QWebEngineProfile(qApp);
        shared->setHttpCacheType(QWebEngineProfile::NoCache);
        shared->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    }
    return shared;
}

BookStoreWindowController::BookStoreWindowController(
    const StoreContext& context, const QString& initialProductId, QWidget* parent)
    : QDialog(parent), m_context(context), m_initialProductId(initialProductId)
{
    setObjectName(QStringLiteral("BookStoreWindow"));
    setWindowTitle(tr("Bookstore"));
    setWindowModality(parent ? Qt::WindowModal : Qt::NonModal);
    resize(900, 680);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 6);
    m_webView = new QWebEngineView(this);
    m_webView->setObjectName(QStringLiteral("webView"));
    auto* page = new QWebEnginePage(profile(), m_webView);
    m_interceptor = new StoreRequestInterceptor(this);
    page->setUrlRequestInterceptor(m_interceptor);
    m_webView->setPage(page);
    // A store page whose renderer ended loads again.
    new PageRendererWatch(page, nullptr, [view = m_webView] { view->reload(); });
    m_webView->setContextMenuPolicy(Qt::NoContextMenu);
    column->addWidget(m_webView, 1);

    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(8, 0, 8, 0);
    m_loadingIndicator = new QProgressBar(this);
    m_loadingIndicator->setObjectName(QStringLiteral("loadingIndicator"));
    m_loadingIndicator->setRange(0, 0);
    m_loadingIndicator->setMaximumWidth(80);
    m_loadingIndicator->setMaximumHeight(12);
    m_loadingIndicator->hide();
    bottom->addWidget(m_loadingIndicator);
    bottom->addStretch(1);
    auto* open = new QPushButton(tr("Open Book..."), this);
    auto* library = new QPushButton(tr("Cloud Library..."), this);
    auto* done = new QPushButton(tr("Close"), this);
    bottom->addWidget(open);
    bottom->addWidget(library);
    bottom->addWidget(done);
    column->addLayout(bottom);

    connect(open, &QPushButton::clicked, this, [this] { onSwitchToOpenBookWindow(); });
    connect(library, &QPushButton::clicked, this, [this] { onSwitchToCloudLibraryWindow(); });
    connect(done, &QPushButton::clicked, this, [this] { onClose(); });
    connect(page, &QWebEnginePage::loadingChanged, this,
        [this](const QWebEngineLoadingInfo& info) { loadingChanged(info); });
    connect(page, &QWebEnginePage::loadFinished, this, [this] {
        m_loadTimer->stop();
        setLoading(false);
    });
    m_loadTimer = new QTimer(this);
    m_loadTimer->setSingleShot(true);
    connect(m_loadTimer, &QTimer::timeout, this, [this] { loadTimedOut(); });
}

BookStoreWindowController::~BookStoreWindowController()
{
    // The page goes before its interceptor.
    if (m_webView && m_webView->page())
        m_webView->page()->setUrlRequestInterceptor(nullptr);
    delete m_webView;
}

BookStoreWindowController* BookStoreWindowController::factory(const StoreContext& context, QWidget* parent)
{
    return factoryWithProductID(context, QString(), parent);
}

BookStoreWindowController* BookStoreWindowController::factoryWithProductID(
    const StoreContext& context, const QString& productId, QWidget* parent)
{
    auto* window = new BookStoreWindowController(context, productId, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->populateWebView();
    return window;
}

StoreExitAction BookStoreWindowController::exitActionForUrl(const QUrl& url)
{
    StoreExitAction action;
    const QString last = url.path().section(QLatin1Char('/'), -1).toLower();
    if (last != QLatin1String("exit.asp"))
        return action;
    QMap<QString, QString> values;
    for (const QString& part : url.query(QUrl::FullyEncoded).split(QLatin1Char('&'))) {
        const QStringList pieces = part.split(QLatin1Char('='));
        if (pieces.size() != 2)
            continue;
        values.insert(urlDecodedQueryItemValue(pieces[0]), urlDecodedQueryItemValue(pieces[1]));
    }
    const QString v1 = values.value(QStringLiteral("v1"));
    if (v1 == QLatin1String("message")) {
        action.kind = StoreExitAction::Message;
        action.message = values.value(QStringLiteral("v2"));
    } else if (v1 == QLatin1String("download")) {
        action.kind = StoreExitAction::Download;
    } else {
        action.kind = StoreExitAction::Close;
    }
    return action;
}

StoreCustomerBlock BookStoreWindowController::customerBlock() const
{
    StoreCustomerBlock block;
    block.customerIdNumber = QString::number(m_context.window.settings().value(SettingsKeys::CustomerIDNum));
    block.clearPassword = StoreCredentials::clearPassword(m_context.window.settings(), m_context.passwordFolder);
    block.version = AppVersion::version();
    block.applicationName = QCoreApplication::applicationName();
    block.initialProductId = m_initialProductId;
    return block;
}

QUrl BookStoreWindowController::storeUrl() const
{
    QUrl url = m_context.storePagesUrl();
    url.setQuery(QStringLiteral("v1=") + customerBlock().scrambled());
    return url;
}

void BookStoreWindowController::populateWebView()
{
    if (!m_webView)
        return;
    setLoading(true);
    m_webView->load(storeUrl());
}

void BookStoreWindowController::setLoading(bool on)
{
    if (m_loadingIndicator)
        m_loadingIndicator->setVisible(on);
}

void BookStoreWindowController::requestSeen(const QUrl& url, const StoreExitAction& action, bool mainFrame)
{
    if (m_closing)
        return;
    switch (action.kind) {
    case StoreExitAction::None:
        if (mainFrame)
            setLoading(true);
        return;
    case StoreExitAction::Message: {
        Alert alert;
        alert.messageText = action.message;
        alert.style = AlertStyle::Informational;
        m_context.window.alert().runModal(alert);
        closeSoon();
        return;
    }
    case StoreExitAction::Download:
        m_blockedUrl = url;
        QTimer::singleShot(kExitDelayMs, this, [this] { onSwitchToCloudLibraryWindow(); });
        return;
    case StoreExitAction::Close:
        closeSoon();
        return;
    }
}

void BookStoreWindowController::closeSoon()
{
    QTimer::singleShot(kExitDelayMs, this, [this] { onClose(); });
}

void BookStoreWindowController::loadingChanged(const QWebEngineLoadingInfo& info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        setLoading(true);
        m_loadTimer->start(m_loadTimeoutMs);
        return;
    }
    m_loadTimer->stop();
    setLoading(false);
    if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus || m_closing)
        return;
    // A cancelled load, the download exit we blocked, or an HTTP error page the server sent (shown
    // as it stands) are no failures of the window.
    constexpr int kAborted = -3;
    constexpr int kBlockedByClient = -20;
    if (info.errorCode() == kAborted || info.errorCode() == kBlockedByClient || info.url() == m_blockedUrl ||
        info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
        return;
    // Failures before the page could begin (no connection, no host, a bad certificate) are the
    // provisional ones.
    const bool provisional = info.errorDomain() == QWebEngineLoadingInfo::ConnectionErrorDomain ||
        info.errorDomain() == QWebEngineLoadingInfo::CertificateErrorDomain ||
        info.errorDomain() == QWebEngineLoadingInfo::DnsErrorDomain;
    Alert alert;
    alert.style = AlertStyle::Warning;
    if (info.errorString().isEmpty()) {
        alert.messageText = provisional ? QStringLiteral("Provisional Load Failed") : QStringLiteral("Load Failed");
        alert.informativeText = QStringLiteral("No further information available");
    } else {
        alert.messageText = info.errorString();
        alert.informativeText = info.url().toDisplayString();
    }
    m_context.window.alert().runModal(alert);
    closeSoon();
}

void BookStoreWindowController::loadTimedOut()
{
    if (m_closing)
        return;
    m_webView->stop();
    setLoading(false);
    Alert alert;
    alert.messageText = QStringLiteral("Load Failed");
    alert.informativeText = QStringLiteral("The store did not answer in time.");
    alert.style = AlertStyle::Warning;
    m_context.window.alert().runModal(alert);
    closeSoon();
}

void BookStoreWindowController::onClose()
{
    if (m_closing)
        return;
    m_closing = true;
    m_loadTimer->stop();
    if (m_webView && m_webView->page()) {
        m_webView->page()->setUrlRequestInterceptor(nullptr);
        m_webView->page()->disconnect(this);
        m_webView->stop();
    }
    setLoading(false);
    emit closed();
    close();
}

void BookStoreWindowController::onSwitchToOpenBookWindow()
{
    onClose();
    emit switchToOpenBook();
}

void BookStoreWindowController::onSwitchToCloudLibraryWindow()
{
    onClose();
    emit switchToCloudLibrary();
}

}  // namespace qs::cloud
