#include "panes/layoutview/LocationSyncOptionsWindowController.h"

#include "library/SourceTuple.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/LayoutRegionContentItemState.h"
#include "panes/layout/PaneNotifications.h"
#include "panes/layoutview/LayoutPanes.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A check box named `name`, added to the column of its group.
QCheckBox* addCheckBox(const QString& text, const QString& name, QBoxLayout* column)
{
    auto* box = new QCheckBox(text, column->parentWidget());
    box->setObjectName(name);
    column->addWidget(box);
    return box;
}

// A group of the "does not send" and "does not receive" boxes, added to `layout`; named `name`
// followed by "Options", "SendOption" and "ReceiveOption".
QGroupBox* addSendReceiveGroup(
    const QString& title, const QString& name, QBoxLayout* layout, QCheckBox** send, QCheckBox** receive)
{
    auto* group = new QGroupBox(title, layout->parentWidget());
    group->setObjectName(name + QStringLiteral("Options"));
    auto* column = new QVBoxLayout(group);
    *send = addCheckBox(QStringLiteral("Does not send location sync"), name + QStringLiteral("SendOption"), column);
    *receive =
        addCheckBox(QStringLiteral("Does not receive location sync"), name + QStringLiteral("ReceiveOption"), column);
    layout->addWidget(group);
    return group;
}
}  // namespace

LocationSyncOptionsWindowController::LocationSyncOptionsWindowController(
    LayoutBookPane* pane, const WindowEnvironment& window, std::function<void()> saveState, QWidget* parent)
    : QDialog(parent),
      m_pane(pane),
      m_defaults(window.settings()),
      m_center(window.notifications()),
      m_alerts(window.alert()),
      m_saveState(std::move(saveState))
{
    setObjectName(QStringLiteral("LocationSyncOptionsWindowController"));
    setWindowTitle(QStringLiteral("Location Sync Options"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    auto* kinds = new QGroupBox(QStringLiteral("Books that follow location sync"), this);
    auto* kindsLayout = new QVBoxLayout(kinds);
    m_bibleCommentary =
        addCheckBox(QStringLiteral("Bibles and commentaries"), QStringLiteral("bibleCommentarySync"), kindsLayout);
    m_dictionary = addCheckBox(QStringLiteral("Dictionaries"), QStringLiteral("dictionarySync"), kindsLayout);
    m_devotional = addCheckBox(QStringLiteral("Devotionals"), QStringLiteral("devotionalSync"), kindsLayout);
    layout->addWidget(kinds);
    m_paneGroup =
        addSendReceiveGroup(QStringLiteral("This pane"), QStringLiteral("pane"), layout, &m_paneSend, &m_paneReceive);
    m_bookGroup = addSendReceiveGroup(
        QStringLiteral("The current book in this pane"), QStringLiteral("book"), layout, &m_bookSend, &m_bookReceive);

    auto* buttons = new QHBoxLayout();
    auto* reset = new QPushButton(QStringLiteral("Reset All"), this);
    reset->setObjectName(QStringLiteral("resetAllButton"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setDefault(true);
    buttons->addWidget(reset);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(m_bibleCommentary, &QCheckBox::clicked, this, [this] { onBibleCommentarySyncCheckBox(); });
    connect(m_dictionary, &QCheckBox::clicked, this, [this] { onDictionarySyncCheckBox(); });
    connect(m_devotional, &QCheckBox::clicked, this, [this] { onDevotionalSyncCheckBox(); });
    connect(m_paneSend, &QCheckBox::clicked, this, [this] { onPaneSendOptionCheckBox(); });
    connect(m_paneReceive, &QCheckBox::clicked, this, [this] { onPaneReceiveOptionCheckBox(); });
    connect(m_bookSend, &QCheckBox::clicked, this, [this] { onBookSendOptionCheckBox(); });
    connect(m_bookReceive, &QCheckBox::clicked, this, [this] { onBookReceiveOptionCheckBox(); });
    connect(reset, &QPushButton::clicked, this, [this] { onResetAllButton(); });
    connect(close, &QPushButton::clicked, this, [this] { onClose(); });

    updateWindowFields();
}

void LocationSyncOptionsWindowController::run(
    LayoutBookPane* pane, const WindowEnvironment& window, std::function<void()> saveState, QWidget* parent)
{
    LocationSyncOptionsWindowController dialog(pane, window, std::move(saveState), parent);
    dialog.exec();
}

void LocationSyncOptionsWindowController::updateWindowFields()
{
    m_bibleCommentary->setChecked(m_defaults.value(SettingsKeys::SyncBiblesComm));
    m_devotional->setChecked(m_defaults.value(SettingsKeys::SyncDevotionals));
    m_dictionary->setChecked(m_defaults.value(SettingsKeys::SyncDictionaries));
    LayoutRegionContentItemState* state = m_pane ? m_pane->currentSourceState() : nullptr;
    if (!state) {
        m_paneGroup->hide();
        m_bookGroup->hide();
        adjustSize();
        return;
    }
    m_paneGroup->show();
    m_bookGroup->show();
    m_paneSend->setChecked(m_pane->paneDoesNotSendLocationSync());
    m_paneReceive->setChecked(m_pane->paneDoesNotReceiveLocationSync());
    m_bookSend->setChecked(state->doesNotSendLocationSync());
    m_bookReceive->setChecked(state->doesNotReceiveLocationSync());
    const auto book = m_pane->currentSourceTuple();
    m_bookSend->setEnabled(book && book->isABible());
}

void LocationSyncOptionsWindowController::onBibleCommentarySyncCheckBox()
{
    m_defaults.set(SettingsKeys::SyncBiblesComm, m_bibleCommentary->isChecked());
}

void LocationSyncOptionsWindowController::onDictionarySyncCheckBox()
{
    m_defaults.set(SettingsKeys::SyncDictionaries, m_dictionary->isChecked());
}

void LocationSyncOptionsWindowController::onDevotionalSyncCheckBox()
{
    m_defaults.set(SettingsKeys::SyncDevotionals, m_devotional->isChecked());
}

void LocationSyncOptionsWindowController::onPaneSendOptionCheckBox()
{
    if (m_pane)
        m_pane->setPaneDoesNotSendLocationSync(m_paneSend->isChecked());
}

void LocationSyncOptionsWindowController::onPaneReceiveOptionCheckBox()
{
    if (m_pane)
        m_pane->setPaneDoesNotReceiveLocationSync(m_paneReceive->isChecked());
}

void LocationSyncOptionsWindowController::onBookSendOptionCheckBox()
{
    if (LayoutRegionContentItemState* state = m_pane ? m_pane->currentSourceState() : nullptr)
        state->setDoesNotSendLocationSync(m_bookSend->isChecked());
}

void LocationSyncOptionsWindowController::onBookReceiveOptionCheckBox()
{
    if (LayoutRegionContentItemState* state = m_pane ? m_pane->currentSourceState() : nullptr)
        state->setDoesNotReceiveLocationSync(m_bookReceive->isChecked());
}

void LocationSyncOptionsWindowController::onResetAllButton()
{
    Alert alert;
    alert.messageText = kResetMessage;
    alert.informativeText = kResetInformative;
    alert.buttons = {QStringLiteral("Yes"), QStringLiteral("No")};
    alert.defaultButton = 1;  // Return keeps the panes' own settings
    alert.style = AlertStyle::Informational;
    if (m_alerts.runModal(alert) != AlertFirstButtonReturn)
        return;
    m_center.postNotificationName(PaneNotifications::resetLocationSyncToDefaultsNotification);
    updateWindowFields();
}

bool LocationSyncOptionsWindowController::windowShouldClose()
{
    if (!m_closing) {
        m_closing = true;
        if (m_saveState)
            m_saveState();
    }
    return true;
}

void LocationSyncOptionsWindowController::onClose()
{
    windowShouldClose();
    done(QDialog::Accepted);
}

void LocationSyncOptionsWindowController::reject()
{
    windowShouldClose();
    QDialog::reject();
}

void LocationSyncOptionsWindowController::closeEvent(QCloseEvent* event)
{
    windowShouldClose();
    QDialog::closeEvent(event);
}
