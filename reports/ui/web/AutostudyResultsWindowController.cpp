#include "reports/ui/web/AutostudyResultsWindowController.h"

#include "library/GoToLink.h"
#include "library/GoToRequest.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/page/PageRendererWatch.h"
#include "panes/page/WebViewEditMenu.h"
#include "platform/Alerts.h"
#include "platform/AppFolders.h"
#include "platform/FileSave.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "reports/OutputFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusFrame>
#include <QHBoxLayout>
#include <QPageLayout>
#include <QPageRanges>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <algorithm>

namespace {

// The report page loads its own file and the data: URLs it carries, nothing else: no local file or
// address that a book or a synced note names, even where the report's filter would have let one by.
class ReportRequestGuard final : public QWebEngineUrlRequestInterceptor {
public:
    // `report`: the report's file and the copy of it that is printed.
    ReportRequestGuard(QList<QUrl> report, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent), m_report(std::move(report))
    {
    }

    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QUrl url = info.requestUrl();
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("data") || scheme == QLatin1String("about"))
            return;
        if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame &&
            m_report.contains(url.adjusted(QUrl::RemoveFragment)))
            return;
        info.block(true);
    }

private:
    const QList<QUrl> m_report;
};

// The settings of a page that shows a report: no scripts, no plug-ins, no other files.
void makeReportPage(QWebEnginePage* page)
{
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
}

// The report's links to Bible passages go to the passage in the reader's current layout, as the same
// links do on a page; the page itself never leaves the report.
class ReportPage final : public QWebEnginePage {
public:
    ReportPage(QWebEngineProfile* profile, QObject* parent, const WindowEnvironment& env)
        : QWebEnginePage(profile, parent), m_env(env)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (type != NavigationTypeLinkClicked)
            return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
        const QString href = url.toString();
        const Layout* layout = m_env.hasLayoutManager() ? m_env.layoutManager().currentLayout() : nullptr;
        if (GoToLink::classify(href).kind == GoToLink::LinkKind::Bible && layout != nullptr) {
            GoToRequest request;
            request.href = href;
            request.wasHyperlink = true;
            request.activate = true;
            request.sync = true;
            request.layoutUuid = layout->uuidString();
            request.post(m_env.notifications(), this);
        }
        return false;
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

private:
    const WindowEnvironment m_env;
};

}  // namespace

AutostudyResultsWindowController* AutostudyResultsWindowController::runWithFile(
    const WindowEnvironment& env, const QString& filename, const QString& notificationName, const QVariantMap& userInfo)
{
    auto* window = new AutostudyResultsWindowController(env, filename, notificationName, userInfo);
    window->show();
    return window;
}

AutostudyResultsWindowController::AutostudyResultsWindowController(
    const WindowEnvironment& env, const QString& filename, const QString& notificationName, const QVariantMap& userInfo)
    : QWidget(nullptr, Qt::Tool),
      m_env(env),
      m_filename(filename),
      m_notificationName(notificationName),
      m_userInfo(userInfo)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Autostudy %1").arg(userInfo.value(QStringLiteral("windowTitle")).toString()));

    const QFileInfo report(m_filename);
    m_printFilename = report.dir().filePath(report.completeBaseName() + QStringLiteral("-print.htm"));
    m_profile = new QWebEngineProfile(this);  // off the record: nothing of the report is kept
    m_profile->setUrlRequestInterceptor(
        new ReportRequestGuard({QUrl::fromLocalFile(m_filename), QUrl::fromLocalFile(m_printFilename)}, m_profile));
    auto* page = new ReportPage(m_profile, this, m_env);
    makeReportPage(page);
    m_view = new QWebEngineView(this);
    m_view->setPage(page);
    WebViewEditMenu::attach(m_view);
    // A report whose renderer ended loads again.
    new PageRendererWatch(page, &m_env.notifications(), [view = m_view] { view->reload(); });

    auto* print = new QPushButton(QStringLiteral("Print…"), this);
    auto* save = new QPushButton(QStringLiteral("Save As…"), this);
    auto* options = new QPushButton(QStringLiteral("Change Options…"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    print->setObjectName(QStringLiteral("printButton"));
    save->setObjectName(QStringLiteral("saveButton"));
    options->setObjectName(QStringLiteral("changeOptionsButton"));
    close->setObjectName(QStringLiteral("closeButton"));
    connect(print, &QPushButton::clicked, this, &AutostudyResultsWindowController::onPrint);
    connect(save, &QPushButton::clicked, this, &AutostudyResultsWindowController::onSave);
    connect(options, &QPushButton::clicked, this, &AutostudyResultsWindowController::onChangeOptions);
    connect(close, &QPushButton::clicked, this, &AutostudyResultsWindowController::onClose);
    // The window's keys, wherever the keys are in it: Escape closes it, the Save key saves a copy.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &AutostudyResultsWindowController::onClose);
    auto* saveKey = new QShortcut(QKeySequence::Save, this);
    connect(saveKey, &QShortcut::activated, this, &AutostudyResultsWindowController::onSave);
    // Tab goes from the report through the buttons as they stand, and the button with the keys is
    // framed in the text colour (the style's own hint of it is a faint tint of its border).
    QWidget::setTabOrder(m_view, options);
    QWidget::setTabOrder(options, print);
    QWidget::setTabOrder(print, save);
    QWidget::setTabOrder(save, close);
    // The report has the keys when the window opens: Page Down and the arrows read on at once.
    m_view->setFocus(Qt::OtherFocusReason);
    auto* focusFrame = new QFocusFrame(this);
    focusFrame->setObjectName(QStringLiteral("buttonFocusFrame"));
    connect(qApp, &QApplication::focusChanged, focusFrame,
        [focusFrame, buttons = QList<QWidget*> {options, print, save, close}](QWidget*, QWidget* now) {
            // (Compared by address: the focus may be the web engine's item.)
            const qsizetype at = buttons.indexOf(now);
            focusFrame->setWidget(at >= 0 ? buttons[at] : nullptr);
        });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(options);
    buttons->addStretch(1);
    buttons->addWidget(print);
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(m_view, 1);
    auto* row = new QWidget(this);
    row->setLayout(buttons);
    layout->addWidget(row);

    const QByteArray frame = m_env.settings().value(SettingsKeys::AutostudyResultsWindowFrame);
    if (frame.isEmpty() || !restoreGeometry(frame))
        resize(760, 860);
    m_view->load(QUrl::fromLocalFile(m_filename));
}

AutostudyResultsWindowController::~AutostudyResultsWindowController()
{
    // The pages must go before their profile.
    for (QWebEngineView* view : {m_view, m_printView.data()}) {
        if (view == nullptr)
            continue;
        QWebEnginePage* page = view->page();
        delete view;
        delete page;
    }
}

void AutostudyResultsWindowController::closeEvent(QCloseEvent* event)
{
    if (!m_closing) {
        m_closing = true;
        m_env.settings().set(SettingsKeys::AutostudyResultsWindowFrame, saveGeometry());
        // Errors ignored: the cache is the system's to clean.
        if (!m_filename.isEmpty())
            QFile::remove(m_filename);
        if (!m_printFilename.isEmpty())
            QFile::remove(m_printFilename);
    }
    event->accept();
}

void AutostudyResultsWindowController::onClose()
{
    close();
}

void AutostudyResultsWindowController::onPrint()
{
    if (m_printer)
        return;  // one printout at a time
    m_printer = std::make_unique<QPrinter>(QPrinter::PrinterResolution);
    m_printer->setDocName(QFileInfo(suggestedSaveName()).completeBaseName());
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // No printer on this desktop: the dialog offers a PDF file, named after the report.
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setOutputFileName(
            QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                .filePath(QFileInfo(suggestedSaveName()).completeBaseName() + QStringLiteral(".pdf")));
    }
    QPrintDialog dialog(m_printer.get(), this);
    if (dialog.exec() != QDialog::Accepted) {
        m_printer.reset();
        return;
    }
    if (m_printer->outputFormat() == QPrinter::PdfFormat && !m_printer->outputFileName().isEmpty()) {
        printToPdfFile(m_printer->outputFileName(), m_printer->pageLayout(), m_printer->pageRanges());
        m_printer.reset();
        return;
    }
    // A printer takes pictures of the pages from the web engine: at the printer's own resolution (not
    // the 1200 dpi of a high-resolution printer, pictures of hundreds of megabytes).
    m_printer->setResolution(std::min(m_printer->resolution(), kPrintDotsPerInch));
    withPrintableView([this](QWebEngineView* view) {
        if (view == nullptr) {
            m_printer.reset();
            reportPrintFailure(QStringLiteral("The report could not be laid out for printing."));
            return;
        }
        connect(
            view, &QWebEngineView::printFinished, this,
            [this](bool ok) {
                m_printer.reset();
                if (!ok)
                    reportPrintFailure(QStringLiteral("The printer did not accept the report."));
            },
            Qt::SingleShotConnection);
        view->print(m_printer.get());
    });
}

void AutostudyResultsWindowController::withPrintableView(const std::function<void(QWebEngineView*)>& then)
{
    // What is printed is the report with its references as text: on paper, or in a PDF file read
    // outside the reader, a link into the reader leads nowhere. The copy is made and loaded once, in a
    // view of its own that is never shown.
    if (m_printView != nullptr && m_printViewReady) {
        then(m_printView);
        return;
    }
    if (m_printView == nullptr) {
        QString why;
        QFile source(m_filename);
        QByteArray report;
        if (!source.open(QIODevice::ReadOnly))
            why = source.errorString();
        else if (report = source.readAll(); source.error() != QFileDevice::NoError)
            why = source.errorString();
        else if (!FileSave::writeFile(m_printFilename, OutputFile::withReaderLinksAsText(report), QString(), &why,
                     FileSave::Reporting::CallerTells))
            why = why.isEmpty() ? QStringLiteral("The printable copy could not be written.") : why;
        if (!why.isEmpty()) {
            qWarning().noquote() << "Autostudy: no printable copy of" << m_filename << why;
            then(nullptr);
            return;
        }
        auto* page = new ReportPage(m_profile, this, m_env);
        makeReportPage(page);
        m_printView = new QWebEngineView(this);
        m_printView->setObjectName(QStringLiteral("printableReport"));
        m_printView->setPage(page);
        m_printView->hide();
        m_printView->load(QUrl::fromLocalFile(m_printFilename));
    }
    QPointer<QWebEngineView> view = m_printView;
    connect(
        m_printView, &QWebEngineView::loadFinished, this,
        [this, view, then](bool ok) {
            m_printViewReady = ok && view != nullptr;
            if (!m_printViewReady && view != nullptr) {
                // The next print makes the copy again.
                QWebEnginePage* page = view->page();
                view->deleteLater();
                page->deleteLater();
                m_printView = nullptr;
            }
            then(m_printViewReady ? view.data() : nullptr);
        },
        Qt::SingleShotConnection);
}

void AutostudyResultsWindowController::printToPdfFile(
    const QString& path, const QPageLayout& layout, const QPageRanges& ranges)
{
    QPointer<AutostudyResultsWindowController> self(this);
    withPrintableView([self, path, layout, ranges](QWebEngineView* view) {
        if (self)
            self->printViewToPdfFile(view, path, layout, ranges);
    });
}

void AutostudyResultsWindowController::printViewToPdfFile(
    QWebEngineView* view, const QString& path, const QPageLayout& layout, const QPageRanges& ranges)
{
    QPointer<AutostudyResultsWindowController> self(this);
    if (view == nullptr) {
        reportPrintFailure(QStringLiteral("The report could not be laid out for printing."));
        emit printedToFile(path, false);
        return;
    }
    // The web engine writes the report as text and vector pages; the file is written beside the
    // target, checked and renamed over it, so a full disk leaves an older file as it was.
    view->page()->printToPdf(
        [self, path](const QByteArray& pdf) {
            if (!self)
                return;
            QString why;
            if (pdf.isEmpty())
                why = QStringLiteral("The report could not be laid out for printing.");
            else {
                // The user chose the folder: a folder that has gone is a failure, not one to make.
                FileSave save(path, QString(), FileSave::Reporting::CallerTells);
                if (!save.open(FileSave::Folder::MustExist) || !save.write(pdf) || !save.commit())
                    why = save.errorString();
            }
            if (!why.isEmpty())
                self->reportPrintFailure(why);
            emit self->printedToFile(path, why.isEmpty());
        },
        layout, ranges);
}

void AutostudyResultsWindowController::reportPrintFailure(const QString& why)
{
    Alert alert;
    alert.messageText = QStringLiteral("The autostudy could not be printed.");
    alert.informativeText = why;
    m_env.alert().runModal(alert);
}

QString AutostudyResultsWindowController::suggestedSaveName() const
{
    QString hint = m_userInfo.value(QStringLiteral("saveAsHint")).toString();
    hint.replace(QLatin1Char(':'), QLatin1Char('_')).replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("Quillstead Autostudy %1.%2").arg(hint, QFileInfo(m_filename).suffix());
}

bool AutostudyResultsWindowController::saveCopyTo(const QString& path)
{
    qInfo().noquote() << QStringLiteral("copyItemAtPath:%1 toPath:%2").arg(m_filename, path);
    // The save panel has already asked before replacing a file: the copy is written beside the
    // target and renamed over it, so a failed copy leaves an existing file as it was.
    // The copy is read outside the reader: its references to places in books are written as text.
    QString why;
    QFile source(m_filename);
    FileSave target(path, QString(), FileSave::Reporting::CallerTells);
    QByteArray report;
    if (!source.open(QIODevice::ReadOnly))
        why = source.errorString();
    else if (report = source.readAll(); source.error() != QFileDevice::NoError)
        why = source.errorString();
    else if (!target.open(FileSave::Folder::MustExist))
        why = target.errorString();
    else if (!target.write(OutputFile::withReaderLinksAsText(report)) || !target.commit())
        why = target.errorString();
    if (why.isEmpty())
        return true;
    Alert alert;
    alert.messageText = QStringLiteral("The autostudy could not be saved.");
    alert.informativeText = why;
    m_env.alert().runModal(alert);
    return false;
}

void AutostudyResultsWindowController::onSave()
{
    // The dialog starts where the last report was saved, else in the user's documents folder (never
    // in whatever folder the reader was started from), and is wide enough for its columns.
    static QString lastFolder;
    const QString folder =
        !lastFolder.isEmpty() && QFileInfo(lastFolder).isDir() ? lastFolder : AppFolders::publicDataDirectory();
    QFileDialog dialog(this, QStringLiteral("Save Autostudy"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDirectory(folder);
    dialog.selectFile(QDir(folder).filePath(suggestedSaveName()));
    QSize size(860, 540);
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    dialog.resize(size);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().first();
    if (saveCopyTo(chosen))
        lastFolder = QFileInfo(chosen).absolutePath();
}

void AutostudyResultsWindowController::onChangeOptions()
{
    const QString name = m_notificationName;
    const QVariantMap info = m_userInfo;
    NotificationCenter& center = m_env.notifications();
    close();  // deletes the report file; this object goes at the next event-loop turn
    center.postNotificationName(name, nullptr, info);
}
