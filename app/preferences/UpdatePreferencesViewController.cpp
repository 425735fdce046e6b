#include "app/preferences/UpdatePreferencesViewController.h"

#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QComboBox>
#include <QFormLayout>
#include <QVBoxLayout>

UpdatePreferencesViewController::UpdatePreferencesViewController(const Environment& env, QWidget* parent)
    : PreferencesViewController(env, kIdentity, parent)
{
    auto* top = new QVBoxLayout(this);
    addBox(top, tr("Check for updates automatically"), SettingsKeys::AppUpdateAutomatic, BoxStores::Toggle);
    auto* form = new QFormLayout;
    m_frequency = addPopUp(form, tr("Check:"), QStringLiteral("checkForUpdatesFrequencyButton"));
    m_frequency->addItem(tr("Daily"), 86400);
    m_frequency->addItem(tr("Weekly"), 604800);
    m_frequency->addItem(tr("Monthly"), 2629800);
    connect(m_frequency, &QComboBox::activated, this,
        [this] { defaults().set(SettingsKeys::AppUpdateFreqSeconds, m_frequency->currentData().toLongLong()); });
    top->addLayout(form);
    top->addStretch(1);
    finishConstruction();
}

void UpdatePreferencesViewController::refreshPage()
{
    UserDefaults& d = defaults();
    qint64 seconds = d.value(SettingsKeys::AppUpdateFreqSeconds);
    if (seconds == 0)
        seconds = 2629800;
    m_frequency->setCurrentIndex(m_frequency->findData(seconds));
    m_frequency->setEnabled(d.value(SettingsKeys::AppUpdateAutomatic));
}

void UpdatePreferencesViewController::checkBoxDidChange(const QString& key, bool now)
{
    if (key == SettingsKeys::AppUpdateAutomatic.name)
        m_frequency->setEnabled(now);
}
