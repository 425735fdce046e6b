// The Preferred Books page of the settings window: the Bible, devotional and dictionaries that
// links and look-ups naming no book open. The pop-ups list the installed books of each kind (Strong's
// dictionaries first for the Greek and Hebrew ones) and are rebuilt as books come and go. Main
// thread only.
#pragma once

#include "app/preferences/PreferencesViewController.h"

class PreferredBooksViewController : public PreferencesViewController {
    Q_OBJECT
public:
    // The page in the settings window's toolbar.
    static constexpr Identity kIdentity = {
        "PreferredBooks", "accessories-dictionary", QT_TRANSLATE_NOOP("PreferencesViewController", "Preferred Books")};

    explicit PreferredBooksViewController(const Environment& env, QWidget* parent = nullptr);

    // The pop-ups whose list a change of books of that classification touches (0: all) rebuild
    // from the library.
    void rebuildPreferredBookMenus(qint64 classification = 0);

private:
    void refreshPage() override;
    // The pop-up of the row at `index` of the page's rows, and the keys that row stores.
    void rebuildPreferredBookMenu(QComboBox* popUp, int index);
};
