#include "app/AboutThisBookWindowController.h"

#include "library/SourceTuple.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "platform/ui/ContentTextDocument.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QVBoxLayout>

AboutThisBookWindowController::AboutThisBookWindowController(
    std::shared_ptr<SourceTuple> book, const UserDefaults& defaults, QWidget* parent)
    : QDialog(parent), m_book(std::move(book))
{
    setObjectName(QStringLiteral("AboutThisBookWindow"));
    setWindowTitle(m_book ? tr("About %1").arg(m_book->record().name) : tr("About This Book"));
    resize(520, 560);
    auto* webView = new QTextBrowser(this);
    webView->setObjectName(QStringLiteral("webView"));
    webView->setOpenLinks(false);
    webView->setOpenExternalLinks(false);
    // The book's text loads no file it names.
    webView->setDocument(new ContentTextDocument(webView));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* copy = buttons->addButton(tr("Copy Bibliography"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("copyBibliographyButton"));
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    connect(copy, &QPushButton::clicked, this, &AboutThisBookWindowController::onCopyBibliography);
    connect(close, &QPushButton::clicked, this, &AboutThisBookWindowController::onClose);
    auto* column = new QVBoxLayout(this);
    column->addWidget(webView, 1);
    column->addWidget(buttons);
    if (m_book)
        webView->setHtml(pageHtml(*m_book, defaults));
}

AboutThisBookWindowController::~AboutThisBookWindowController()
{
    m_book.reset();
}

QString AboutThisBookWindowController::pageHtml(SourceTuple& book, const UserDefaults& defaults)
{
    // The family goes into a style attribute: characters that would end the declaration or the
    // attribute are left out.
    QString family = defaults.value(SettingsKeys::BodyFont);
    family.remove(QRegularExpression(QStringLiteral("[\"'<>;{}\\\\&]")));
    // html-safe: the family lost every character that could leave the declaration; the contents are built with their texts escaped
    return QStringLiteral("<html><body style='margin:3px; font:normal %1pt %2;'>%3</body></html>")
        .arg(QString::number(SettingsRegistry::clampedInteger(defaults, SettingsKeys::BaseFontSize)), family,
            book.aboutThisBookContents());
}

void AboutThisBookWindowController::runWithSourceTuple(
    const std::shared_ptr<SourceTuple>& book, const UserDefaults& defaults, QWidget* parent)
{
    if (!book)
        return;
    AboutThisBookWindowController window(book, defaults, parent);
    window.exec();
}

void AboutThisBookWindowController::onCopyBibliography()
{
    if (m_book)
        QApplication::clipboard()->setText(m_book->bibliographicCitation());
}

void AboutThisBookWindowController::onClose()
{
    done(0);
}
