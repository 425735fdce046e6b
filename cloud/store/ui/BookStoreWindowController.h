// BookStoreWindowController: the store pages in a web view, in a sheet over the main window. The
// page is told who the customer is by one scrambled value (the store customer block) and ends the
// visit by loading a page named "exit.asp", whose query says what the window does next:
//   v1=message&v2=<text>   show the text in an alert, then close
//   v1=download            load nothing and switch to the Cloud Library sheet
//   anything else          close
//
// The pages run in a web profile of their own (off the record, nothing cached), with none of the
// book pages' scheme or script bridge and no context menu. Every request the page makes passes
// through a request interceptor, which may run on a web-engine thread: it only reads the request's
// address, blocks a download exit, and hands what it found to the window on the main thread by a
// queued call. Load failures (other than a cancelled or blocked load) are shown in an alert and
// close the window.
//
// The shell makes it with factory() / factoryWithProductID() over the main window (it deletes itself
// when closed) and connects switchToOpenBook / switchToCloudLibrary. Main thread only.
#pragma once

#include "cloud/protocol/StoreCustomerBlock.h"
#include "cloud/store/ui/StoreContext.h"

#include <QDialog>
#include <QUrl>

class QProgressBar;
class QTimer;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;

namespace qs::cloud {

class StoreRequestInterceptor;

// What a request of the store page asks of the window.
struct StoreExitAction {
    enum Kind { None, Message, Download, Close };
    Kind kind = None;
    QString message;
};

class BookStoreWindowController : public QDialog {
    Q_OBJECT
public:
    // The product that opens the store on the customer's special offers.
    static inline const QString kMyOffersProductId = QStringLiteral("_MYOFFERS_");
    // Time between an exit page and the window's next step.
    static constexpr int kExitDelayMs = 100;
    // A page that has not loaded after this long is given up as failed.
    static constexpr int kLoadTimeoutMs = 60000;

    BookStoreWindowController(
        const StoreContext& context, const QString& initialProductId = QString(), QWidget* parent = nullptr);
    ~BookStoreWindowController() override;

    // Sheets over `parent` that delete themselves when closed; the page is loading.
    static BookStoreWindowController* factory(const StoreContext& context, QWidget* parent);
    static BookStoreWindowController* factoryWithProductID(
        const StoreContext& context, const QString& productId, QWidget* parent);

    // The exit protocol: None unless the address's last path component is "exit.asp" (any case);
    // the query's parts that split at "=" into exactly two pieces are decoded, later ones winning.
    static StoreExitAction exitActionForUrl(const QUrl& url);

    StoreCustomerBlock customerBlock() const;
    // The first page: the store pages' address with "v1=<scrambled customer block>".
    QUrl storeUrl() const;
    void populateWebView();
    void onClose();
    void onSwitchToOpenBookWindow();
    void onSwitchToCloudLibraryWindow();
    void setLoadTimeoutMs(int ms) { m_loadTimeoutMs = ms; }
    // The profile every store window shares.
    static QWebEngineProfile* profile();

signals:
    void switchToOpenBook();
    void switchToCloudLibrary();
    // The window has closed (after onClose).
    void closed();

private:
    friend class StoreRequestInterceptor;
    // On the main thread, for each request the interceptor saw.
    void requestSeen(const QUrl& url, const StoreExitAction& action, bool mainFrame);
    void loadingChanged(const QWebEngineLoadingInfo& info);
    void setLoading(bool on);
    void closeSoon();
    void loadTimedOut();

    StoreContext m_context;
    QString m_initialProductId;
    QWebEngineView* m_webView = nullptr;
    StoreRequestInterceptor* m_interceptor = nullptr;
    QProgressBar* m_loadingIndicator = nullptr;
    QUrl m_blockedUrl;
    QTimer* m_loadTimer = nullptr;
    int m_loadTimeoutMs = kLoadTimeoutMs;
    bool m_closing = false;
};

}  // namespace qs::cloud
