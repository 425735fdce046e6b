#include "app/preferences/PreferredBooksViewController.h"
#include "platform/ui/PlainLabel.h"

#include "library/LibraryNotifications.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "library/SourceTupleArray.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

struct PreferredRow {
    const char* name;
    const char* label;
    const SettingKey<qint64>* pubKey;
    const SettingKey<qint64>* bookKey;
    const char* placeholder;
    int list;  // 0 Bibles, 1 devotionals, 2 dictionaries
    bool strongsFirst;
};
const PreferredRow kPreferred[5] = {
    {"prefBiblePopUpButton", "Bible:", &SettingsKeys::PreferredBiblePubId, &SettingsKeys::PreferredBibleBookId,
        "--- Select a Bible ---", 0, false},
    {"prefDevotionalPopUpButton", "Devotional:", &SettingsKeys::PreferredDevotionalPubId,
        &SettingsKeys::PreferredDevotionalBookId, "--- Select a Devotional ---", 1, false},
    {"prefGreekDictionaryPopUpButton", "Greek dictionary:", &SettingsKeys::PreferredGreekDictionaryPubId,
        &SettingsKeys::PreferredGreekDictionaryBookId, "--- Select a Dictionary ---", 2, true},
    {"prefHebrewDictionaryPopUpButton", "Hebrew dictionary:", &SettingsKeys::PreferredHebrewDictionaryPubId,
        &SettingsKeys::PreferredHebrewDictionaryBookId, "--- Select a Dictionary ---", 2, true},
    {"prefDictionaryPopUpButton", "Dictionary:", &SettingsKeys::PreferredDictionaryPubId,
        &SettingsKeys::PreferredDictionaryBookId, "--- Select a Dictionary ---", 2, false},
};
SourceTupleArray::Ptr listFor(SourceManager& sm, int list)
{
    return list == 0 ? sm.bibleSources() : list == 1 ? sm.devotionalSources() : sm.dictionarySources();
}
}  // namespace

PreferredBooksViewController::PreferredBooksViewController(const Environment& env, QWidget* parent)
    : PreferencesViewController(env, kIdentity, parent)
{
    auto* top = new QVBoxLayout(this);
    top->addWidget(new PlainLabel(tr("Links and look-ups that name no book open these:"), this));
    auto* form = new QFormLayout;
    for (const PreferredRow& row : kPreferred) {
        QComboBox* popUp = addPopUp(form, tr(row.label), QString::fromLatin1(row.name));
        popUp->setMinimumWidth(320);
        connect(popUp, &QComboBox::activated, this, [this, popUp, &row] {
            const QVariant data = popUp->currentData();
            if (!data.isValid())
                return;  // the placeholder stores nothing
            const QVariantList ids = data.toList();
            defaults().set(*row.pubKey, ids.value(0).toLongLong());
            defaults().set(*row.bookKey, ids.value(1).toLongLong());
        });
    }
    top->addLayout(form);
    top->addStretch(1);
    auto changed = [this](Notification& n) {
        const auto tuple = n.userInfo.value(QStringLiteral("tuple")).value<std::shared_ptr<SourceTuple>>();
        rebuildPreferredBookMenus(tuple ? tuple->record().classification : 0);
    };
    NotificationCenter& nc = environment().window.notifications();
    nc.addObserver(this, LibraryNotifications::qsSourceManagerAddedBookNotification, changed);
    nc.addObserver(this, LibraryNotifications::qsSourceManagerRemovedBookNotification, changed);
    finishConstruction();
}

void PreferredBooksViewController::refreshPage()
{
    rebuildPreferredBookMenus(0);
}

void PreferredBooksViewController::rebuildPreferredBookMenu(QComboBox* popUp, int index)
{
    const PreferredRow* row = &kPreferred[index];
    SourceTupleArray::Ptr list = listFor(environment().window.books(), row->list);
    qint64 pub = defaults().value(*row->pubKey);
    qint64 book = defaults().value(*row->bookKey);
    if (!list || !list->tupleForPubID(pub, book))
        pub = book = 0;
    popUp->clear();
    if (pub == 0 || book == 0)
        popUp->addItem(QString::fromLatin1(row->placeholder));
    if (!list)
        return;
    QList<SourceTuple::Ptr> first, rest;
    for (const SourceTuple::Ptr& t : list->array()) {
        if (!t)
            continue;
        (row->strongsFirst && t->kind() == 6 ? first : rest).append(t);
    }
    auto add = [&](const SourceTuple::Ptr& t) {
        popUp->addItem(QStringLiteral("%1 (%2)").arg(t->record().name, t->record().abbr),
            QVariantList {t->record().pubID, t->record().bookID});
        if (t->record().pubID == pub && t->record().bookID == book)
            popUp->setCurrentIndex(popUp->count() - 1);
    };
    for (const SourceTuple::Ptr& t : first)
        add(t);
    if (!first.isEmpty() && !rest.isEmpty())
        popUp->insertSeparator(popUp->count());
    for (const SourceTuple::Ptr& t : rest)
        add(t);
    if (pub == 0 || book == 0)
        popUp->setCurrentIndex(0);
}

void PreferredBooksViewController::rebuildPreferredBookMenus(qint64 c)
{
    for (int i = 0; i < 5; ++i) {
        const PreferredRow& row = kPreferred[i];
        QComboBox* popUp = this->popUp(QString::fromLatin1(row.name));
        const bool affected = row.list == 0 ? c < 2 : row.list == 1 ? (c == 0 || c == 4) : (c == 0 || c == 5);
        if (affected && popUp != nullptr)
            rebuildPreferredBookMenu(popUp, i);
    }
}
