// The pages of the settings window, in the order of its toolbar. A page registers here with one row
// (its class, which names itself with kIdentity); neither the page base nor the window knows the
// pages. Main thread only.
#pragma once

#include "app/preferences/PreferencesViewController.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace SettingsPages {

// The identifiers of the registered pages, in toolbar order.
QStringList identifiers();
// The position of a page in the toolbar; -1 for an identifier no page has.
int indexOf(const QString& identifier);
// The page of an identifier, or null when no page has it. The caller owns the page.
PreferencesViewController* make(
    const PreferencesViewController::Environment& env, const QString& identifier, QWidget* parent = nullptr);
// Every registered page, in toolbar order, for the settings window to take.
QVector<PreferencesViewController*> makeAll(const PreferencesViewController::Environment& env);

}  // namespace SettingsPages
