#include "app/HelpCommands.h"

#include "app/AppUpdateChecker.h"
#include "app/QuillsteadWindowController.h"
#include "library/GoToRequest.h"
#include "library/JavaScript.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layoutview/LayoutViewController.h"
#include "platform/AppVersion.h"
#include "platform/ui/ActionRegistry.h"

#include <QMessageBox>

HelpCommands::HelpCommands(
    const WindowEnvironment& environment, QuillsteadWindowController& window, AppUpdateChecker& updates)
    : m_environment(environment), m_window(window), m_updates(updates)
{
    using namespace CommandNames;
    ActionRegistry& actions = *m_environment.actions;
    actions.add(QuillsteadHelp,
        {.text = tr("Quillstead Help"),
            .toolbarLabel = tr("Help"),
            .shortcut = QKeySequence::HelpContents,
            .menu = ActionRegistry::in(Menus::Help, 0, 0),
            .toolbarOrder = 300,
            .toolbarIcon = QStyle::SP_DialogHelpButton},
        this, &HelpCommands::openHelpBook);
    actions.add(CheckForUpdates, {.text = tr("Check for Updates..."), .menu = ActionRegistry::in(Menus::Help, 0, 1)},
        this, [this] { m_updates.onCheckForUpdates(); });
    actions.add(AboutQuillstead,
        {.text = tr("About Quillstead"), .menu = ActionRegistry::in(Menus::Help, 0, 2), .menuRole = QAction::AboutRole},
        this, &HelpCommands::showAbout);
}

void HelpCommands::openHelpBook()
{
    const SourceTuple::Ptr help = m_environment.books().allSources()->tupleForPubID(1, 24);
    if (!help)
        return;
    const Layout* layout = m_environment.layoutManager().currentLayout();
    GoToRequest request;
    request.sourceTuple = help;
    request.activate = true;
    request.layoutUuid = layout != nullptr ? layout->uuidString() : QString();
    request.post(m_environment.notifications(), this);
    // The help is what the reader asked to read: its page takes the keys, so Page Down reads on.
    if (LayoutViewController* panes = m_window.layoutViewController())
        panes->giveKeysToCurrentPane();
}

QString HelpCommands::aboutText()
{
    return QStringLiteral("<p align='center'><b>Quillstead</b></p>"
                          "<p align='center'>Version %1 (build %2)</p>"
                          "<p align='center'>A Bible-study reader.</p>"
                          "<p>&nbsp;</p><p align='center'><b><u>Credits and Acknowledgments</u></b></p>"
                          "<p align='center'>Built with Qt %3 and Qt WebEngine (Chromium), under the GNU LGPL "
                          "version 3.<br/>SQLite (public domain).<br/>libplist, under the GNU LGPL version 2.1.</p>"
                          "<p align='center'>The King James Version and Strong's Hebrew and Greek dictionaries "
                          "that come with the application are in the public domain.</p>"
                          "<p>&nbsp;</p><p align='center'><b><u>System Information</u></b></p>"
                          "<p align='center'>Tavrosen Device ID<br/>%4</p><p align='center'>Release Build</p>")
        .arg(AppVersion::version().toHtmlEscaped(), QString::number(AppVersion::buildNumber()),
            QString::fromLatin1(qVersion()).toHtmlEscaped(), JavaScript::stringWithUniqueDeviceID().toHtmlEscaped());
}

void HelpCommands::showAbout()
{
    QMessageBox::about(m_window.window(), QStringLiteral("About Quillstead"), aboutText());
}
