// The General page of the settings window: which kinds of books follow a pane's moves (location
// sync), how scroll positions are remembered, the toolbar's style and the special-offers notices.
// Main thread only.
#pragma once

#include "app/preferences/PreferencesViewController.h"

class GeneralPreferencesViewController : public PreferencesViewController {
    Q_OBJECT
public:
    // The page in the settings window's toolbar.
    static constexpr Identity kIdentity = {
        "GeneralPreferences", "preferences-system", QT_TRANSLATE_NOOP("PreferencesViewController", "General")};

    explicit GeneralPreferencesViewController(const Environment& env, QWidget* parent = nullptr);

private:
    void refreshPage() override;
};
