#include "app/preferences/UpdatePreferencesViewController.h"

#include "platform/UserDefaults.h"

#include <QComboBox>
#include <QFormLayout>
#include <QVBoxLayout>

UpdatePreferencesViewController::UpdatePreferencesViewController(const Environment& env, QWidget* parent)
    : PreferencesViewController(env, kIdentity, parent)
{
    auto* top = new QVBoxLayout(this);
    addBox(top, tr("Check for updates automatically"), QStringLiteral("appUpdateAutomatic"));
    auto* form = new QFormLayout;
    m_frequency = addPopUp(form, tr("Check:"), QStringLiteral("checkForUpdatesFrequencyButton"));
    m_frequency->addItem(tr("Daily"), 86400);
    m_frequency->addItem(tr("Weekly"), 604800);
    m_frequency->addItem(tr("Monthly"), 2629800);
    connect(m_frequency, &QComboBox::activated, this, [this] {
        defaults().setInteger(m_frequency->currentData().toLongLong(), QStringLiteral("appUpdateFreqSeconds"));
    });
    top->addLayout(form);
    top->addStretch(1);
    finishConstruction();
}

void UpdatePreferencesViewController::refreshPage()
{
    UserDefaults& d = defaults();
    qint64 seconds = d.integerForKey(QStringLiteral("appUpdateFreqSeconds"));
    if (seconds == 0)
        seconds = 2629800;
    m_frequency->setCurrentIndex(m_frequency->findData(seconds));
    m_frequency->setEnabled(d.boolForKey(QStringLiteral("appUpdateAutomatic")));
}

void UpdatePreferencesViewController::checkBoxDidChange(const QString& key, bool now)
{
    if (key == QLatin1String("appUpdateAutomatic"))
        m_frequency->setEnabled(now);
}
