#include "platform/ui/PopupMenu.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include <vector>

namespace {

// The items of a menu being shown, their signals held until this goes. Submenus are held as they
// are found and again each time they open, after their owners have filled them.
class HeldItems : public QObject {
public:
    ~HeldItems() override
    {
        for (const Held& held : m_items)
            if (held.item)
                held.item->blockSignals(held.wasBlocked);
    }

    void hold(QMenu* menu)
    {
        for (QAction* item : menu->actions()) {
            if (!isHeld(item))
                m_items.push_back({item, item->blockSignals(true)});
            QMenu* submenu = item->menu();
            if (submenu == nullptr || isWatched(submenu))
                continue;
            m_menus.emplace_back(submenu);
            connect(submenu, &QMenu::aboutToShow, this, [this, submenu] { hold(submenu); });
            hold(submenu);
        }
    }

    void watch(QMenu* menu)
    {
        m_menus.emplace_back(menu);
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { hold(menu); });
        hold(menu);
    }

private:
    struct Held {
        QPointer<QAction> item;
        bool wasBlocked = false;
    };

    bool isHeld(const QAction* item) const
    {
        for (const Held& held : m_items)
            if (held.item == item)
                return true;
        return false;
    }
    bool isWatched(const QMenu* menu) const
    {
        for (const QPointer<QMenu>& watched : m_menus)
            if (watched == menu)
                return true;
        return false;
    }

    std::vector<Held> m_items;
    std::vector<QPointer<QMenu>> m_menus;
};

}  // namespace

void PopupMenu::exec(QMenu* menu, const QPoint& globalPos, Afterwards afterwards)
{
    if (menu == nullptr)
        return;
    QPointer<QMenu> guard(menu);
    QPointer<QAction> chosen;
    {
        HeldItems held;
        held.watch(menu);
        chosen = menu->exec(globalPos);
    }
    // The item runs on the closed menu (its handlers may belong to the menu or a submenu); a menu
    // made for this showing goes afterwards, unless the item took it away with its owner.
    if (chosen && chosen->isEnabled()) {
        const QPointer<QAction> item(chosen);
        if (item->isCheckable())
            emit item->toggled(item->isChecked());
        if (item)
            emit item->triggered(item->isChecked());
    }
    if (afterwards == Afterwards::DeleteMenu)
        delete guard.data();
}
