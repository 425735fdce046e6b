// The recent searches of a study sub-pane's search field: the texts searched, newest first, each
// once, at most ten, kept in the user defaults under the pane's own key, and the part of the search
// menu that lists them ("No Recent Searches", or "Recent Searches", the texts and "Clear Recent
// Searches"). The defaults file is the user's to edit: only texts count when it is read back.
//
// Owned by its sub-pane. Main thread only.
#pragma once

#include "platform/UserDefaults.h"

#include <QString>
#include <QStringList>

#include <functional>

class QMenu;
class UserDefaults;

class StudyPaneRecentSearches {
public:
    static constexpr int kMaxRecentSearches = 10;
    // The tags of the menu items, the platform's recent-search placeholders.
    static constexpr int kTitleTag = 1000;
    static constexpr int kItemTag = 1001;
    static constexpr int kClearTag = 1002;
    static constexpr int kNoneTag = 1003;

    StudyPaneRecentSearches(UserDefaults* defaults, const SettingKey<QVariantList>& key)
        : m_defaults(defaults), m_key(key)
    {
    }

    QStringList list() const;
    void remember(const QString& text);
    void clear();
    // Replaces the menu's recent-search items (those with the tags above) by the current list; a
    // chosen text goes to `chosen`.
    void fill(QMenu* menu, const std::function<void(const QString&)>& chosen);

private:
    UserDefaults* m_defaults;
    SettingKey<QVariantList> m_key;
};
