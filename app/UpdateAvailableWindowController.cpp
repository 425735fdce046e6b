#include "app/UpdateAvailableWindowController.h"
#include "platform/ui/ContentTextDocument.h"
#include "platform/ui/PlainLabel.h"

#include "app/AppUpdateChecker.h"
#include "app/preferences/AppNotifications.h"
#include "platform/NotificationCenter.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// A browser for feed HTML: links open nowhere by themselves, and its document loads no resource but
// data: and qrc: (an unanswered resource would be read by the document from the path it names).
class FeedHtmlView final : public QTextBrowser {
public:
    explicit FeedHtmlView(QWidget* parent) : QTextBrowser(parent)
    {
        setDocument(new ContentTextDocument(this));
        setOpenLinks(false);
    }
};

}  // namespace

std::function<void(const QUrl&)>& UpdateAvailableWindowController::urlOpener()
{
    static std::function<void(const QUrl&)> opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return opener;
}

UpdateAvailableWindowController::UpdateAvailableWindowController(
    const QVariantMap& params, NotificationCenter& center, QWidget* parent)
    : QDialog(parent),
      m_center(center),
      m_params(params),
      m_instructions(params.value(QStringLiteral("instructions")).toString()),
      m_versionHistory(params.value(QStringLiteral("description")).toString()),
      m_label(params.value(QStringLiteral("label")).toString()),
      m_downloadLink(params.value(QStringLiteral("downloadLink")).toString()),
      m_moreInfoLink(params.value(QStringLiteral("moreInfoLink")).toString())
{
    setObjectName(QStringLiteral("UpdateAvailableWindow"));
    setWindowTitle(tr("A New Version of Quillstead Is Available"));
    setModal(true);
    resize(620, 520);

    m_labelField = new PlainLabel(m_label, this);
    m_labelField->setObjectName(QStringLiteral("versionHistoryLabel"));
    m_labelField->setWordWrap(true);
    m_labelField->setTextFormat(Qt::PlainText);
    QFont bold = m_labelField->font();
    bold.setBold(true);
    m_labelField->setFont(bold);

    m_historyView = new FeedHtmlView(this);
    m_historyView->setObjectName(QStringLiteral("versionHistoryWebView"));
    m_historyView->setOpenLinks(false);
    m_historyView->setHtml(m_versionHistory);
    m_instructionsView = new FeedHtmlView(this);
    m_instructionsView->setObjectName(QStringLiteral("installationInstructionsWebView"));
    m_instructionsView->setOpenLinks(false);
    m_instructionsView->setHtml(m_instructions);
    m_instructionsView->setMaximumHeight(140);

    m_moreInfo = new QPushButton(tr("More Info..."), this);
    m_moreInfo->setObjectName(QStringLiteral("moreInfoButton"));
    m_moreInfo->setAutoDefault(false);
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAutoDefault(false);
    m_download = new QPushButton(tr("Download"), this);
    m_download->setObjectName(QStringLiteral("downloadButton"));
    m_download->setDefault(true);
    m_download->setVisible(!m_downloadLink.isEmpty());
    m_moreInfo->setVisible(!m_moreInfoLink.isEmpty());

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_moreInfo);
    buttons->addStretch(1);
    buttons->addWidget(close);
    buttons->addWidget(m_download);
    auto* top = new QVBoxLayout(this);
    top->addWidget(m_labelField);
    top->addWidget(new PlainLabel(tr("What is new:"), this));
    top->addWidget(m_historyView, 1);
    top->addWidget(new PlainLabel(tr("How to install it:"), this));
    top->addWidget(m_instructionsView);
    top->addLayout(buttons);

    connect(close, &QPushButton::clicked, this, &UpdateAvailableWindowController::onClose);
    connect(m_download, &QPushButton::clicked, this, &UpdateAvailableWindowController::onDownload);
    connect(m_moreInfo, &QPushButton::clicked, this, &UpdateAvailableWindowController::onMoreInfo);
}

void UpdateAvailableWindowController::runWithParams(
    const QVariantMap& params, NotificationCenter& center, QWidget* parent)
{
    UpdateAvailableWindowController window(params, center, parent);
    window.exec();
}

void UpdateAvailableWindowController::onClose()
{
    done(QDialog::Rejected);
}

void UpdateAvailableWindowController::onDownload()
{
    QVariantMap info {{QStringLiteral("url"), QUrl(m_downloadLink)}};
    // The feed's size and digest of the file travel with the link, so the download can be checked.
    for (const char* key : {"downloadSize", "downloadSha256"})
        if (m_params.contains(QString::fromLatin1(key)))
            info.insert(QString::fromLatin1(key), m_params.value(QString::fromLatin1(key)));
    m_center.postNotificationName(AppNotifications::UserWantsToDownloadAppUpdateNotification, nullptr, info);
    onClose();
}

void UpdateAvailableWindowController::onMoreInfo()
{
    const QUrl url(m_moreInfoLink);
    // Only web pages are opened from feed text.
    if (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"))
        urlOpener()(url);
}
