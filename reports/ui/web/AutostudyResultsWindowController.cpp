#include "reports/ui/web/AutostudyResultsWindowController.h"

#include "platform/Alerts.h"
#include "platform/FileSave.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

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

    m_profile = new QWebEngineProfile(this);  // off the record: nothing of the report is kept
    auto* page = new QWebEnginePage(m_profile, this);
    QWebEngineSettings* settings = page->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    m_view = new QWebEngineView(this);
    m_view->setPage(page);

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

    const QByteArray frame = m_env.settings().dataForKey(frameKey);
    if (frame.isEmpty() || !restoreGeometry(frame))
        resize(760, 860);
    m_view->load(QUrl::fromLocalFile(m_filename));
}

AutostudyResultsWindowController::~AutostudyResultsWindowController()
{
    // The page must go before its profile.
    QWebEnginePage* page = m_view->page();
    delete m_view;
    delete page;
}

void AutostudyResultsWindowController::closeEvent(QCloseEvent* event)
{
    if (!m_closing) {
        m_closing = true;
        m_env.settings().setObject(saveGeometry(), frameKey);
        if (!m_filename.isEmpty())
            QFile::remove(m_filename);  // errors ignored: the cache is the system's to clean
    }
    event->accept();
}

void AutostudyResultsWindowController::onClose()
{
    close();
}

void AutostudyResultsWindowController::onPrint()
{
    auto* printer = new QPrinter(QPrinter::HighResolution);
    QPrintDialog dialog(printer, this);
    if (dialog.exec() != QDialog::Accepted) {
        delete printer;
        return;
    }
    connect(
        m_view, &QWebEngineView::printFinished, this, [printer](bool) { delete printer; }, Qt::SingleShotConnection);
    m_view->print(printer);
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
    QString why;
    QFile source(m_filename);
    FileSave target(path, QString(), FileSave::Reporting::CallerTells);
    if (!source.open(QIODevice::ReadOnly))
        why = source.errorString();
    else if (!target.open(FileSave::Folder::MustExist))
        why = target.errorString();
    else {
        while (why.isEmpty() && !source.atEnd()) {
            const QByteArray chunk = source.read(1 << 16);
            if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
                why = source.errorString();
            else if (!target.write(chunk))
                why = target.errorString();
        }
        if (why.isEmpty() && !target.commit())
            why = target.errorString();
    }
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
    QFileDialog dialog(this, QStringLiteral("Save Autostudy"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(suggestedSaveName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    saveCopyTo(dialog.selectedFiles().first());
}

void AutostudyResultsWindowController::onChangeOptions()
{
    const QString name = m_notificationName;
    const QVariantMap info = m_userInfo;
    NotificationCenter& center = m_env.notifications();
    close();  // deletes the report file; this object goes at the next event-loop turn
    center.postNotificationName(name, nullptr, info);
}
