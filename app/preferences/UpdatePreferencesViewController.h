// The Updates page of the settings window: whether and how often the reader looks for a new
// version. Main thread only.
#pragma once

#include "app/preferences/PreferencesViewController.h"

class UpdatePreferencesViewController : public PreferencesViewController {
    Q_OBJECT
public:
    explicit UpdatePreferencesViewController(const Environment& env, QWidget* parent = nullptr);

private:
    void refreshPage() override;
    void checkBoxDidChange(const QString& key, bool now) override;

    QComboBox* m_frequency = nullptr;
};
