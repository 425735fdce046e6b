#include "studypane/StudyPaneNoteWebView.h"

#include "panes/page/BookPageHtml.h"
#include "panes/page/WebViewEditMenu.h"
#include "studypane/StudyPaneNoteEditor.h"
#include "studypane/StudyPaneNoteViewEditViewController.h"

#include <QDesktopServices>
#include <QRandomGenerator>
#include <QWebEnginePage>

#include <cmath>

Q_LOGGING_CATEGORY(lcNoteEditor, "qs.studypane.notes")

namespace {

// The note pages load from the reader's scheme only; links are followed by the page script.
class NoteWebPage : public QWebEnginePage {
public:
    NoteWebPage(QWebEngineProfile* profile, QObject* parent, bool viewPage)
        : QWebEnginePage(profile, parent), m_viewPage(viewPage)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (type == NavigationTypeLinkClicked) {
            // The view page opens a web link it did not hand to the script in the browser.
            const QString scheme = url.scheme().toLower();
            if (m_viewPage && (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
                QDesktopServices::openUrl(url);
            return false;
        }
        const bool ours = url.scheme() == QLatin1String(BookPageScheme::kScheme) &&
            url.host() == QLatin1String(BookPageScheme::kHost);
        return isMainFrame && ours && type != NavigationTypeFormSubmitted && type != NavigationTypeBackForward;
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    void javaScriptConsoleMessage(
        JavaScriptConsoleMessageLevel, const QString& message, int line, const QString&) override
    {
        qCInfo(lcNoteEditor).noquote() << QStringLiteral("note page, line %1: %2").arg(line).arg(message.left(500));
    }

private:
    bool m_viewPage;
};

}  // namespace

NoteWebView::NoteWebView(StudyPaneNoteViewEditViewController* owner, bool viewPage, QWidget* parent)
    : QWebEngineView(parent), m_owner(owner)
{
    setPage(new NoteWebPage(BookPageScheme::profile(), this, viewPage));
    m_token = BookPageScheme::registerEndpoint(this);
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) { m_ready = ok; });
    WebViewEditMenu::attach(this);
}

NoteWebView::~NoteWebView()
{
    BookPageScheme::unregisterEndpoint(m_token);
}

void NoteWebView::loadPage(quint64 serial, const QString& page, const QString& script)
{
    // The page runs the note script only, by its nonce, and calls the reader only at the view's
    // bridge address.
    const QString nonce = QString::number(QRandomGenerator::global()->generate64(), 16);
    // html-safe: the nonce and the serial are numbers, the bridge address a script string literal, the script the program's own
    const QString head =
        QStringLiteral("<meta charset=\"UTF-8\"><meta http-equiv=\"Content-Security-Policy\" content=\"default-src "
                       "'none'; script-src 'nonce-%1'; style-src 'unsafe-inline'; img-src data:; "
                       "connect-src qsbook://bridge; form-action 'none'; base-uri 'none'\"><script "
                       "nonce=\"%1\">var qsPageSerial = %2;\nvar qsBridgeBase = %3;\n")
            .arg(nonce)
            .arg(serial)
            .arg(StudyPaneNoteEditor::scriptString(bridgeBase())) +
        script + QStringLiteral("</script>");
    QString html = page;
    html.remove(QStringLiteral("<script language=\"javascript\"></script>"));
    const qsizetype at = html.indexOf(QStringLiteral("<head>"));
    if (at >= 0)
        html.insert(at + 6, head);
    else
        // html-safe: the head built above
        html.replace(QStringLiteral("<html>"), QStringLiteral("<html><head>") + head + QStringLiteral("</head>"));
    m_serial = serial;
    m_html = html.toUtf8();
    m_ready = false;
    m_url = BookPageScheme::pageUrl(m_token, serial);
    setUrl(m_url);
}

QString NoteWebView::bridgeBase()
{
    // One secret for the view's pages: the last calls of a page being replaced (the editor's final
    // text) still arrive.
    if (m_bridgeSecret.isEmpty())
        m_bridgeSecret = BookPageHtml::newKey();
    return BookPageScheme::bridgeBase(m_token, m_bridgeSecret);
}

bool NoteWebView::isBridgeSecret(const QString& secret) const
{
    return !m_bridgeSecret.isEmpty() && secret == m_bridgeSecret;
}

QByteArray NoteWebView::pageHtml(quint64 serial)
{
    return serial == m_serial ? m_html : QByteArray();
}

QJsonValue NoteWebView::bridgeCall(const QString& name, const QJsonArray& arguments)
{
    return m_owner != nullptr ? m_owner->bridgeCall(this, name, arguments) : QJsonValue();
}

bool NoteWebView::isWholeNumber(const QJsonValue& v, double max)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    return d >= 0 && d <= max && std::floor(d) == d;
}
