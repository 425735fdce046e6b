#include "studypane/StudyPaneEnvironment.h"
#include "platform/ui/PlainLabel.h"

#include "panes/environment/WindowEnvironment.h"
#include "platform/Alerts.h"

#include <QDebug>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QStandardPaths>

StudyPaneEnvironment StudyPaneEnvironment::fromWindow(const WindowEnvironment& window)
{
    StudyPaneEnvironment env;
    env.center = window.hasNotifications() ? &window.notifications() : nullptr;
    env.defaults = window.hasSettings() ? &window.settings() : nullptr;
    env.layoutManager = window.hasLayoutManager() ? &window.layoutManager() : nullptr;
    env.library = window.hasBooks() ? &window.books() : nullptr;
    env.alerts = window.hasAlert() ? &window.alert() : nullptr;
    env.notes = window.notes();
    env.highlights = window.highlights();
    env.linkPreview = window.linkPreview;
    return env;
}

int StudyPaneEnvironment::ask(const Alert& alert) const
{
    return alerts != nullptr ? alerts->runModal(alert) : 0;
}

std::optional<QString> StudyPaneEnvironment::promptForText(const QVariantMap& options) const
{
    if (textPrompt)
        return textPrompt(options);
    QString label = options.value(QStringLiteral("prompt")).toString();
    const QString detail = options.value(QStringLiteral("detailPrompt")).toString();
    if (!detail.isEmpty())
        label += QStringLiteral("\n\n") + detail;
    QString text;
    const bool ok = PlainLabel::getText(nullptr, options.value(QStringLiteral("title")).toString(), label,
        options.value(QStringLiteral("default")).toString(), &text);
    return ok ? std::optional<QString>(text) : std::nullopt;
}

void StudyPaneEnvironment::showToast(const QString& message) const
{
    if (toast)
        toast(message);
    else
        qInfo().noquote() << message;
}

QString StudyPaneEnvironment::askForSaveFile(const QString& suggestedName) const
{
    if (chooseSaveFile)
        return chooseSaveFile(suggestedName);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileDialog::getSaveFileName(nullptr, QString(), QDir(folder).filePath(suggestedName));
}

int StudyPaneEnvironment::runModal(QDialog& dialog) const
{
    return runDialog ? runDialog(dialog) : dialog.exec();
}
