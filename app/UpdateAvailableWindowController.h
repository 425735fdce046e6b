// The window that offers a newer build: the label naming both versions, the version history and the
// installation instructions (HTML from the update feed, shown without loading anything remote), and
// the Download, More Info and Close buttons. Download posts "userWantsToDownloadAppUpdate" with the
// link; More Info opens the version's web page in the browser and leaves the window open.
//
// Runs modally (runWithParams); main thread only.
#pragma once

#include <QDialog>
#include <QUrl>
#include <QVariantMap>

#include <functional>

class NotificationCenter;
class QLabel;
class QPushButton;
class QTextBrowser;

class UpdateAvailableWindowController : public QDialog {
    Q_OBJECT
public:
    // Download asks for the file by posting UserWantsToDownloadAppUpdateNotification on `center`.
    UpdateAvailableWindowController(const QVariantMap& params, NotificationCenter& center, QWidget* parent = nullptr);

    static void runWithParams(const QVariantMap& params, NotificationCenter& center, QWidget* parent = nullptr);
    // How More Info opens its page (the desktop's browser unless a test replaces it).
    static std::function<void(const QUrl&)>& urlOpener();

    QString instructions() const { return m_instructions; }
    QString label() const { return m_label; }
    QString downloadLink() const { return m_downloadLink; }
    QString moreInfoLink() const { return m_moreInfoLink; }
    QTextBrowser* installationInstructionsWebView() const { return m_instructionsView; }
    QTextBrowser* versionHistoryWebView() const { return m_historyView; }
    QLabel* versionHistoryLabel() const { return m_labelField; }
    QPushButton* downloadButton() const { return m_download; }
    QPushButton* moreInfoButton() const { return m_moreInfo; }

    void onClose();
    void onDownload();
    void onMoreInfo();

private:
    NotificationCenter& m_center;
    QVariantMap m_params;
    QString m_instructions;
    QString m_versionHistory;
    QString m_label;
    QString m_downloadLink;
    QString m_moreInfoLink;
    QTextBrowser* m_instructionsView = nullptr;
    QTextBrowser* m_historyView = nullptr;
    QLabel* m_labelField = nullptr;
    QPushButton* m_download = nullptr;
    QPushButton* m_moreInfo = nullptr;
};
