// What the tests of the settings window share: the page it shows, found among its widgets as the
// user sees it (the window hides every page but the one its toolbar has chosen).
#pragma once

#include "app/preferences/PreferencesViewController.h"

#include <QWidget>

namespace settings_test {

// The page the settings window shows, as a `Page`; null when it shows none or another kind.
template <class Page = PreferencesViewController> Page* shownPage(const QWidget* settings)
{
    if (settings == nullptr)
        return nullptr;
    for (auto* page : settings->findChildren<PreferencesViewController*>())
        if (!page->isHidden())
            return qobject_cast<Page*>(page);
    return nullptr;
}

}  // namespace settings_test
