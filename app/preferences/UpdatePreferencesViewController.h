// The Updates page of the settings window: whether and how often the reader looks for a new
// version. Main thread only.
#pragma once

#include "app/preferences/PreferencesViewController.h"

class UpdatePreferencesViewController : public PreferencesViewController {
    Q_OBJECT
public:
    // The page in the settings window's toolbar.
    static constexpr Identity kIdentity = {
        "UpdatePreferences", "system-software-update", QT_TRANSLATE_NOOP("PreferencesViewController", "Updates")};

    explicit UpdatePreferencesViewController(const Environment& env, QWidget* parent = nullptr);

private:
    void refreshPage() override;
    void checkBoxDidChange(const QString& key, bool now) override;

    QComboBox* m_frequency = nullptr;
};
