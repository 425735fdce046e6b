#include "app/ApplicationBookPaneHooks.h"

#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "panes/environment/WindowEnvironment.h"
#include "platform/AppFolders.h"
#include "platform/ui/ActionRegistry.h"
#include "reports/CopyPassageCopier.h"
#include "reports/ui/CopyPassageWindowController.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace {

// The study services' environment: the shared objects, and the prompt and toast of the main window
// once there is one.
StudyPaneEnvironment studyEnvironment(QuillsteadAppController* controller, const WindowEnvironment& window)
{
    StudyPaneEnvironment env = StudyPaneEnvironment::fromWindow(window);
    const QPointer<QuillsteadAppController> app(controller);
    env.textPrompt = [app](const QVariantMap& options) {
        const QuillsteadWindowController* window = app ? app->mainWindowController() : nullptr;
        return window != nullptr ? window->studyPaneEnvironment().promptForText(options)
                                 : StudyPaneEnvironment().promptForText(options);
    };
    env.toast = [app](const QString& message) {
        if (app)
            app->showToast(message);
    };
    return env;
}

}  // namespace

ApplicationBookPaneHooks::ApplicationBookPaneHooks(QuillsteadAppController* app, const WindowEnvironment& environment)
    : StudyPaneBookPaneHooks(studyEnvironment(app, environment)), m_app(app), m_environment(environment)
{
}

// ---- The passage copier and book images ----

void ApplicationBookPaneHooks::copyPassage(const QVariantMap& request, bool now)
{
    if (now)
        CopyPassageWindowController::copyNow(m_environment, request);
    else
        CopyPassageWindowController::run(m_environment, request,
            m_app && m_app->mainWindowController() ? m_app->mainWindowController()->window() : nullptr);
}

QString ApplicationBookPaneHooks::passagePlainText(
    const SourceTuple::Ptr& book, bool bySection, quint32 start, quint32 end, const PassageOptions& options)
{
    if (!book || start > end)
        return {};
    QString plain;
    if (bySection && book->isABible())
        CopyPassageCopier::clipboardTextForStartSectionFromBible(
            start, end, book, &plain, nullptr, options, CopyPassageProfile::dialog());
    else if (bySection)
        CopyPassageCopier::clipboardTextForStartSection(start, end, book, &plain, nullptr, options);
    else
        CopyPassageCopier::clipboardTextForStartBlock(start, end, book, &plain, nullptr, options);
    return plain.trimmed();
}

QString ApplicationBookPaneHooks::imageCacheFolder(const SourceTuple& book)
{
    return AppFolders::bookImageCache({{AppFolders::AppFoldersPublisherIDKey, book.record().pubID},
        {AppFolders::AppFoldersBookIDKey, book.record().bookID},
        {AppFolders::AppFoldersEditionNumberKey, book.record().editionNumber},
        {AppFolders::AppFoldersRevisionNumberKey, book.record().revisionNumber}});
}

QString ApplicationBookPaneHooks::copyImageToCache(const QString& fileName, const SourceTuple::Ptr& book)
{
    // Only a plain file name of the book: nothing that would leave the cache folder.
    const QString name = QFileInfo(fileName).fileName();
    if (!book || name.isEmpty() || name != fileName || name.startsWith(QLatin1Char('.')))
        return {};
    const QString folder = imageCacheFolder(*book);
    const QString path = QDir(folder).filePath(name);
    if (QFileInfo::exists(path))
        return path;
    QDir().mkpath(folder);
    return book->words().extractImage(name, path) ? path : QString();
}

QString ApplicationBookPaneHooks::patchImageSources(const QString& html, const SourceTuple::Ptr& book)
{
    if (!book)
        return html;
    // Images of the page point at the reader's scheme; copied HTML gets files another program can read.
    static const QRegularExpression source(
        QStringLiteral("(<img\\b[^>]*?\\bsrc\\s*=\\s*)([\"'])([^\"']*)\\2"), QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype last = 0;
    for (auto it = source.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = QUrl(m.captured(3)).fileName();
        const QString file = copyImageToCache(name, book);
        out += html.mid(last, m.capturedStart() - last);
        if (file.isEmpty())
            out += m.captured(0);
        else
            out += m.captured(1) + m.captured(2) + QUrl::fromLocalFile(file).toString() + m.captured(2);
        last = m.capturedEnd();
    }
    out += html.mid(last);
    return out;
}

// ---- The layouts and the window's commands ----

void ApplicationBookPaneHooks::preemptiveSaveState()
{
    if (m_app)
        m_app->preemptiveSaveState();
}

void ApplicationBookPaneHooks::validateToolbar()
{
    if (m_app && m_app->mainWindowController())
        m_app->mainWindowController()->actions().updateStates();
}
