// The General page of the settings window: which kinds of books follow a pane's moves (location
// sync), how scroll positions are remembered, the toolbar's style and the special-offers notices.
// Main thread only.
#pragma once

#include "app/preferences/PreferencesViewController.h"

class GeneralPreferencesViewController : public PreferencesViewController {
    Q_OBJECT
public:
    explicit GeneralPreferencesViewController(const Environment& env, QWidget* parent = nullptr);

private:
    void refreshPage() override;
};
