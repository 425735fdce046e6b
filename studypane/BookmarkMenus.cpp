#include "studypane/BookmarkMenus.h"

#include "platform/Alerts.h"
#include "platform/ui/MenuText.h"

#include <QMenu>

namespace {

using namespace BookmarkMenus;

QAction* addItem(QMenu* menu, const QVariantMap& payload, const MenuHandler& onChosen)
{
    QAction* a = menu->addAction(MenuText::asWritten(payload.value(kTitle).toString()));
    a->setData(payload);
    if (onChosen)
        QObject::connect(a, &QAction::triggered, menu, [onChosen, payload] { onChosen(payload); });
    return a;
}

QVariantMap payload(const QString& title, const QString& searchTitle, quint32 id)
{
    return {{kTitle, title}, {kSearchTitle, searchTitle}, {kCategoryID, id}};
}

void appendCategories(
    QMenu* menu, const BookmarkStore& store, const std::vector<quint16>& ids, int options, const MenuHandler& onChosen)
{
    if (ids.empty())
        return;
    if ((options & kOptionAll) != 0 || ((options & kOptionAllWhenSeveral) != 0 && ids.size() >= 2)) {
        addItem(menu, payload(BookmarkStore::allCategoriesName(), QStringLiteral("*"), BookmarkStore::kAllCategories),
            onChosen);
        menu->addSeparator();
    }
    for (quint16 id : ids) {
        if (const std::optional<QString> name = store.categoryNameForId(id))
            addItem(menu, payload(*name, *name, id), onChosen);
    }
}

}  // namespace

void BookmarkMenus::populate(QMenu* menu, const BookmarkStore& store, int options, const MenuHandler& onChosen)
{
    if (menu == nullptr)
        return;
    menu->clear();
    if ((options & kOptionCreateNew) != 0) {
        QVariantMap create =
            payload(QStringLiteral("Create New Category"), QStringLiteral("*"), BookmarkStore::kAllCategories);
        create.insert(kIsCreateNew, true);
        addItem(menu, create, onChosen);
        menu->addSeparator();
    }
    if ((options & kOptionAll) != 0)
        addItem(menu, payload(QStringLiteral("All Bookmarks"), QStringLiteral("*"), BookmarkStore::kAllCategories),
            onChosen);
    if ((options & kOptionNoCategory) != 0)
        addItem(menu,
            payload(BookmarkStore::noCategoryName(), BookmarkStore::noCategoryName(), BookmarkStore::kNoCategory),
            onChosen);
    for (const BookmarkStore::Category& category : store.categories())
        addItem(menu, payload(category.name, category.name, category.id), onChosen);
}

void BookmarkMenus::populateFromVerse(
    QMenu* menu, const BookmarkStore& store, quint32 key, int options, const MenuHandler& onChosen)
{
    if (menu != nullptr)
        appendCategories(menu, store, store.categoriesOnVerse(key), options, onChosen);
}

void BookmarkMenus::populateFromBlock(QMenu* menu, const BookmarkStore& store, quint32 block,
    const SourceTuple::Ptr& book, int options, const MenuHandler& onChosen)
{
    if (menu != nullptr)
        appendCategories(menu, store, store.categoriesOnBlock(block, book), options, onChosen);
}

void BookmarkMenus::alertWithError(const StudyPaneEnvironment& env, const BookmarkError& error)
{
    Alert alert;
    alert.messageText = error.description;
    QStringList informative;
    if (!error.reason.isEmpty())
        informative << error.reason;
    if (!error.suggestion.isEmpty())
        informative << error.suggestion;
    alert.informativeText = informative.join(QStringLiteral("\n\n"));
    alert.style = AlertStyle::Warning;
    env.ask(alert);
}
