#include "app/preferences/GeneralPreferencesViewController.h"

#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

GeneralPreferencesViewController::GeneralPreferencesViewController(const Environment& env, QWidget* parent)
    : PreferencesViewController(env, kIdentity, parent)
{
    auto* top = new QVBoxLayout(this);
    auto* sync = new QGroupBox(tr("When a pane moves to a new passage, move along"), this);
    auto* syncLayout = new QVBoxLayout(sync);
    addBox(syncLayout, tr("Bibles and commentaries"), SettingsKeys::SyncBiblesComm);
    addBox(syncLayout, tr("Devotionals (to today's reading)"), SettingsKeys::SyncDevotionals);
    addBox(syncLayout, tr("Dictionaries"), SettingsKeys::SyncDictionaries);
    top->addWidget(sync);
    auto* form = new QFormLayout;
    // What a click in the track of a book pane's scroller (above or below its knob) does.
    QComboBox* scroll =
        addPopUp(form, tr("A click in the scroller's track:"), QStringLiteral("scrollTrackIntervalPopUpButton"));
    scroll->addItem(tr("Pages the text"), 1);
    scroll->addItem(tr("Steps by chapter, reading or section"), 2);
    connect(scroll, &QComboBox::activated, this, [this, scroll] {
        const int tag = scroll->currentData().toInt();
        if (tag == 1 || tag == 2)
            defaults().set(
                SettingsKeys::ScrollTrackInterval, tag == 2 ? QStringLiteral("perbook") : QStringLiteral("page"));
    });
    QComboBox* toolbar = addPopUp(form, tr("Toolbar style:"), QStringLiteral("toolbarStylePopUpButton"));
    toolbar->addItem(tr("Icons and labels"), 1);
    toolbar->addItem(tr("Compact"), 2);
    toolbar->addItem(tr("Icons only"), 3);
    toolbar->addItem(tr("Labels only"), 4);
    connect(toolbar, &QComboBox::activated, this, [this, toolbar] {
        // Tag -> stored style: 1 icons and labels, 3 compact, 2 icons only, 4 labels only.
        static const int stored[] = {0, 1, 3, 2, 4};
        const int tag = toolbar->currentData().toInt();
        if (tag < 1 || tag > 4)
            return;
        defaults().set(SettingsKeys::MainWindowToolbarStyle, stored[tag]);
        notifyOthersDisplaySettingsChanged();
    });
    top->addLayout(form);
    addBox(top, tr("Tell me about special offers"), SettingsKeys::MyOffersNotifications);
    top->addStretch(1);
    finishConstruction();
}

void GeneralPreferencesViewController::refreshPage()
{
    UserDefaults& d = defaults();
    if (QComboBox* scroll = popUp(QStringLiteral("scrollTrackIntervalPopUpButton")))
        scroll->setCurrentIndex(
            scroll->findData(d.value(SettingsKeys::ScrollTrackInterval) == QLatin1String("perbook") ? 2 : 1));
    if (QComboBox* toolbar = popUp(QStringLiteral("toolbarStylePopUpButton"))) {
        const qint64 style = d.value(SettingsKeys::MainWindowToolbarStyle);
        toolbar->setCurrentIndex(toolbar->findData(style == 3 ? 2 : style == 2 ? 3 : style == 4 ? 4 : 1));
    }
}
