#include "app/preferences/SettingsPages.h"

#include "app/preferences/ColorPreferencesViewController.h"
#include "app/preferences/DisplayPreferencesViewController.h"
#include "app/preferences/GeneralPreferencesViewController.h"
#include "app/preferences/LoginPreferencesViewController.h"
#include "app/preferences/PreferredBooksViewController.h"
#include "app/preferences/SyncPreferencesViewController.h"
#include "app/preferences/UpdatePreferencesViewController.h"
#include "app/preferences/VoicesPreferencesViewController.h"

#include <iterator>

namespace {

using Maker = PreferencesViewController* (*)(const PreferencesViewController::Environment&, QWidget*);

struct Registration {
    const char* identifier;
    Maker make;
};

template <class Page> constexpr Registration page()
{
    return {Page::kIdentity.identifier,
        [](const PreferencesViewController::Environment& env, QWidget* parent) -> PreferencesViewController* {
            return new Page(env, parent);
        }};
}

// The toolbar, left to right.
constexpr Registration kPages[] = {
    page<GeneralPreferencesViewController>(),
    page<DisplayPreferencesViewController>(),
    page<ColorPreferencesViewController>(),
    page<LoginPreferencesViewController>(),
    page<SyncPreferencesViewController>(),
    page<PreferredBooksViewController>(),
    page<UpdatePreferencesViewController>(),
    page<VoicesPreferencesViewController>(),
};

}  // namespace

namespace SettingsPages {

QStringList identifiers()
{
    QStringList ids;
    for (const Registration& r : kPages)
        ids << QString::fromLatin1(r.identifier);
    return ids;
}

int indexOf(const QString& identifier)
{
    for (int i = 0; i < int(std::size(kPages)); ++i)
        if (identifier == QLatin1String(kPages[i].identifier))
            return i;
    return -1;
}

PreferencesViewController* make(
    const PreferencesViewController::Environment& env, const QString& identifier, QWidget* parent)
{
    const int i = indexOf(identifier);
    return i < 0 ? nullptr : kPages[i].make(env, parent);
}

QVector<PreferencesViewController*> makeAll(const PreferencesViewController::Environment& env)
{
    QVector<PreferencesViewController*> pages;
    for (const Registration& r : kPages)
        pages << r.make(env, nullptr);
    return pages;
}

}  // namespace SettingsPages
