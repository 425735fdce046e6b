#include "studypane/StudyPaneRecentSearches.h"

#include "platform/UserDefaults.h"

#include <QMenu>

QStringList StudyPaneRecentSearches::list() const
{
    QStringList out;
    if (m_defaults == nullptr)
        return out;
    for (const QVariant& v : m_defaults->value(m_key)) {
        if (out.size() >= kMaxRecentSearches)
            break;
        if (v.typeId() != QMetaType::QString)
            continue;
        const QString text = v.toString().trimmed().left(1000);
        if (!text.isEmpty() && !out.contains(text))
            out.append(text);
    }
    return out;
}

void StudyPaneRecentSearches::remember(const QString& text)
{
    const QString trimmed = text.trimmed().left(1000);
    if (m_defaults == nullptr || trimmed.isEmpty())
        return;
    QStringList recents = list();
    recents.removeAll(trimmed);
    recents.prepend(trimmed);
    while (recents.size() > kMaxRecentSearches)
        recents.removeLast();
    QVariantList out;
    for (const QString& r : recents)
        out.append(r);
    m_defaults->set(m_key, out);
}

void StudyPaneRecentSearches::clear()
{
    if (m_defaults != nullptr)
        m_defaults->remove(m_key);
}

void StudyPaneRecentSearches::fill(QMenu* menu, const std::function<void(const QString&)>& chosen)
{
    if (menu == nullptr)
        return;
    for (QAction* a : menu->actions()) {
        const int tag = a->data().toInt();
        if (tag >= kTitleTag && tag <= kNoneTag)
            delete a;
    }
    const QStringList recents = list();
    if (recents.isEmpty()) {
        QAction* none = menu->addAction(QStringLiteral("No Recent Searches"));
        none->setData(kNoneTag);
        none->setEnabled(false);
        return;
    }
    QAction* title = menu->addAction(QStringLiteral("Recent Searches"));
    title->setData(kTitleTag);
    title->setEnabled(false);
    for (const QString& text : recents) {
        QAction* a = menu->addAction(text);
        a->setData(kItemTag);
        QObject::connect(a, &QAction::triggered, menu, [chosen, text] {
            if (chosen)
                chosen(text);
        });
    }
    menu->addSeparator()->setData(kClearTag);
    QAction* clearItem = menu->addAction(QStringLiteral("Clear Recent Searches"));
    clearItem->setData(kClearTag);
    QObject::connect(clearItem, &QAction::triggered, menu, [this, menu, chosen] {
        clear();
        fill(menu, chosen);
    });
}
