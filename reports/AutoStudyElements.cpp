#include "reports/AutoStudyElements.h"

#include "library/SourceTuple.h"
#include "platform/AppFolders.h"
#include "platform/PropertyList.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace {

struct DefaultElement {
    int id;
    const char* text;
    const char* description;
    const char* detail;
    bool checked;
};

const DefaultElement kVerseDefaults[] = {
    {1, "Bibles", "Show verse in other Bibles", "Choose Bibles", true},
    {2, "Bibles with Word Attributes", "Show verse with attributes, e.g. Strong's numbers",
        "Choose Bibles with Word Attributes", true},
    {3, "Commentaries", "Show related commentary articles", "Choose Commentaries", true},
    {4, "Cross References", "Show related cross references", "Choose Cross Reference Resources", true},
    {5, "Dictionaries", "Show definitions of the words", "Choose English Dictionaries", true},
    {6, "Word Attribute Dictionaries", "Show definitions of word attributes, e.g. Strong's numbers",
        "Choose Word Attribute Dictionaries", true},
    {10, "My Notes", "Show my notes", "Nothing to select", true},
};
const DefaultElement kWordDefaults[] = {
    {5, "Dictionary Definitions", "Show definitions from these dictionaries", "Choose Dictionaries", true},
    {1, "Bibles to Search", "Show summary searches from Bibles", "Choose Bibles", true},
    {2, "Bibles with Word Attributes", "Show related attributes, like Strong's numbers",
        "Choose Bibles with Word Attributes", true},
    {6, "Word Attribute Dictionaries", "Show definitions of word attributes, e.g. Strong's numbers",
        "Choose Word Attribute Dictionaries", true},
};
const DefaultElement kTodayDefaults[] = {
    {7, "Devotionals", "Use these devotional books", "Choose Devotionals", true},
    {1, "Bibles", "Show in these translations", "Choose Bibles", true},
};
const DefaultElement kNavigatorDefaults[] = {
    {3, "Commentaries", "Show cross-references and articles", "Choose Commentaries", true},
    {9, "Dictionaries", "Show cross-references in these dictionaries", "Choose Dictionaries", false},
    {8, "Other Books", "Show cross-references in these books", "Choose Other Books", false},
    {7, "Devotionals", "Show cross-references in these devotionals", "Choose Devotionals", false},
    {1, "Bibles", "Show link to verse in these Bibles", "Choose Bibles", false},
};

template <size_t N> AutoStudyElementList makeList(const DefaultElement (&defaults)[N])
{
    AutoStudyElementList list;
    for (const auto& d : defaults)
        list.append({d.id, QString::fromUtf8(d.text), QString::fromUtf8(d.description), QString::fromUtf8(d.detail),
            d.checked, {}});
    return list;
}

// Integers arrive as qint64 from a property list; a hand-edited file may hold reals or strings.
std::optional<qint64> integerValue(const QVariant& v)
{
    if (!v.isValid())
        return std::nullopt;
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

bool boolValue(const QVariant& v, bool fallback)
{
    if (!v.isValid())
        return fallback;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    return integerValue(v).value_or(fallback ? 1 : 0) != 0;
}

QVariantMap bookToMap(const AutoStudyBook& b)
{
    return {{QStringLiteral("pubID"), b.pubID}, {QStringLiteral("bookID"), b.bookID},
        {QStringLiteral("editionNum"), b.editionNum}, {QStringLiteral("revisionNum"), b.revisionNum},
        {AutoStudyElements::checkedKey, b.checked}, {AutoStudyElements::abbreviationKey, b.text},
        {AutoStudyElements::bookNameKey, b.detailText}};
}

AutoStudyBook bookFromMap(const QVariantMap& m)
{
    AutoStudyBook b;
    b.pubID = integerValue(m.value(QStringLiteral("pubID"))).value_or(-1);
    b.bookID = integerValue(m.value(QStringLiteral("bookID"))).value_or(-1);
    b.editionNum = integerValue(m.value(QStringLiteral("editionNum"))).value_or(-1);
    b.revisionNum = integerValue(m.value(QStringLiteral("revisionNum"))).value_or(-1);
    b.checked = boolValue(m.value(AutoStudyElements::checkedKey), true);
    b.text = m.value(AutoStudyElements::abbreviationKey).toString();
    b.detailText = m.value(AutoStudyElements::bookNameKey).toString();
    return b;
}

QVariantMap elementToMap(const AutoStudyElement& e)
{
    QVariantList books;
    for (const auto& b : e.bookArray)
        books.append(bookToMap(b));
    return {{AutoStudyElements::elementIDKey, qint64(e.elementID)}, {AutoStudyElements::elementNameKey, e.text},
        {AutoStudyElements::descriptionKey, e.descriptionText},
        {AutoStudyElements::settingsDescriptionKey, e.detailText}, {AutoStudyElements::checkedKey, e.checked},
        {AutoStudyElements::bookArrayKey, books}};
}

std::optional<AutoStudyElement> elementFromMap(const QVariantMap& m)
{
    const auto id = integerValue(m.value(AutoStudyElements::elementIDKey));
    if (!id || *id < 1 || *id > 10)
        return std::nullopt;
    AutoStudyElement e;
    e.elementID = int(*id);
    e.text = m.value(AutoStudyElements::elementNameKey).toString();
    e.descriptionText = m.value(AutoStudyElements::descriptionKey).toString();
    e.detailText = m.value(AutoStudyElements::settingsDescriptionKey).toString();
    e.checked = boolValue(m.value(AutoStudyElements::checkedKey), true);
    for (const QVariant& v : m.value(AutoStudyElements::bookArrayKey).toList()) {
        if (v.typeId() == QMetaType::QVariantMap)
            e.bookArray.append(bookFromMap(v.toMap()));
    }
    return e;
}

}  // namespace

AutoStudyElements AutoStudyElements::autoStudyElementsFromDefaultFile()
{
    return autoStudyElementsWithContentsOfFile(defaultFilename());
}

AutoStudyElements AutoStudyElements::autoStudyElementsWithContentsOfFile(const QString& path)
{
    AutoStudyElements set;
    set.m_filename = path;
    set.load();
    return set;
}

QString AutoStudyElements::defaultFilenamePath()
{
    return AppFolders::privateDataDirectory() + QStringLiteral("/Autostudy");
}

QString AutoStudyElements::defaultFilename()
{
    return defaultFilenamePath() + QStringLiteral("/AutoStudyElements.v1.xml");
}

void AutoStudyElements::setVersion(qint64 v)
{
    m_version = v;
    m_dataChanged = true;
}

QVariantMap AutoStudyElements::toPropertyList() const
{
    QVariantMap root = m_otherKeys;
    if (m_version)
        root.insert(versionKey, *m_version);
    if (m_format)
        root.insert(fileFormatKey, *m_format);
    for (int i = 0; i < numAutostudies; ++i) {
        if (!m_lists[i])
            continue;
        QVariantList list;
        for (const auto& e : *m_lists[i])
            list.append(elementToMap(e));
        root.insert(studyKeyAtIndex(i), list);
    }
    return root;
}

bool AutoStudyElements::fromPropertyList(const QVariant& root, QString* message)
{
    auto refuse = [&](const QString& why) {
        if (message)
            *message = why;
        return false;
    };
    if (root.typeId() != QMetaType::QVariantMap)
        return refuse(QStringLiteral("the file's root is not a dictionary"));
    QVariantMap map = root.toMap();
    const auto version = integerValue(map.value(versionKey));
    const auto format = integerValue(map.value(fileFormatKey));
    if (version.value_or(0) <= 0)
        return refuse(QStringLiteral("the file has no version above 0"));
    if (format.value_or(0) <= 2)
        return refuse(QStringLiteral("the file's format %1 is older than 3").arg(format.value_or(0)));
    m_version = version;
    m_format = format;
    map.remove(versionKey);
    map.remove(fileFormatKey);
    for (int i = 0; i < numAutostudies; ++i) {
        m_lists[i].reset();
        const QString key = studyKeyAtIndex(i);
        if (!map.contains(key))
            continue;
        const QVariant value = map.take(key);
        if (value.typeId() != QMetaType::QVariantList)
            continue;  // not a list: the getter installs the default
        AutoStudyElementList list;
        for (const QVariant& v : value.toList()) {
            if (v.typeId() != QMetaType::QVariantMap)
                continue;
            if (auto e = elementFromMap(v.toMap()))
                list.append(*e);
        }
        m_lists[i] = list;
    }
    m_otherKeys = map;
    return true;
}

void AutoStudyElements::load()
{
    if (m_filename.isEmpty())
        m_filename = defaultFilename();
    m_version.reset();
    m_format.reset();
    for (auto& l : m_lists)
        l.reset();
    m_otherKeys.clear();
    m_dataChanged = false;

    PropertyList::Error error;
    const QVariant root = PropertyList::readFile(m_filename, &error);
    QString why;
    if (!root.isValid())
        why = error.status == PropertyList::Status::FileNotFound ? QStringLiteral("there is no file") : error.message;
    else if (fromPropertyList(root, &why))
        return;
    if (error.status != PropertyList::Status::FileNotFound)
        qWarning().noquote() << QStringLiteral(
            "The autostudy choices in \"%1\" could not be used (%2); the defaults are used.")
                                    .arg(m_filename, why);
    reset();
}

bool AutoStudyElements::save()
{
    if (!m_dataChanged || version() <= 0)
        return true;
    if (m_filename.isEmpty())
        m_filename = defaultFilename();
    PropertyList::Error error;
    if (!PropertyList::writeFile(
            m_filename, toPropertyList(), &error, QStringLiteral("your autostudy and navigator choices"))) {
        qWarning().noquote() << "The autostudy choices could not be saved:" << error.message;
        return false;
    }
    m_dataChanged = false;
    return true;
}

void AutoStudyElements::reset()
{
    for (auto& l : m_lists)
        l.reset();
    m_otherKeys.clear();
    m_dataChanged = true;
    m_version = 1;
    m_format = 3;
    save();
}

QString AutoStudyElements::studyKeyAtIndex(int index)
{
    switch (index) {
    case VerseStudy:
        return verseStudyElementsKey;
    case WordStudy:
        return wordStudyElementsKey;
    case TodayStudy:
        return todayStudyElementsKey;
    case NavigatorStudy:
        return navigatorStudyElementsKey;
    default:
        return {};
    }
}

AutoStudyElementList& AutoStudyElements::studyElementsAtIndex(int index)
{
    Q_ASSERT(index >= 0 && index < numAutostudies);
    index = qBound(0, index, numAutostudies - 1);
    auto& list = m_lists[index];
    const bool unusable = !list || (index == VerseStudy ? list->size() < 6 : list->isEmpty());
    if (unusable)
        return insert(defaultDataForStudy(index), index);
    return *list;
}

AutoStudyElementList AutoStudyElements::defaultDataForStudy(int index)
{
    switch (index) {
    case VerseStudy:
        return makeList(kVerseDefaults);
    case WordStudy:
        return makeList(kWordDefaults);
    case TodayStudy:
        return makeList(kTodayDefaults);
    case NavigatorStudy:
        return makeList(kNavigatorDefaults);
    default:
        return {};
    }
}

std::optional<AutoStudyElement> AutoStudyElements::defaultDataForStudy(int index, int elementID)
{
    for (const auto& e : defaultDataForStudy(index))
        if (e.elementID == elementID)
            return e;
    return std::nullopt;
}

AutoStudyElementList& AutoStudyElements::insert(const AutoStudyElementList& defaults, int index)
{
    AutoStudyElementList fresh;
    for (const auto& d : defaults)
        fresh.append({d.elementID, d.text, d.descriptionText, d.detailText, d.checked, {}});
    m_lists[index] = fresh;
    m_dataChanged = true;
    return *m_lists[index];
}

AutoStudyElement* AutoStudyElements::elementDictionaryForID(int elementID, AutoStudyElementList& list)
{
    for (auto& e : list)
        if (e.elementID == elementID)
            return &e;
    return nullptr;
}

AutoStudyBook* AutoStudyElements::bookDictionaryForSourceTupleID(const SourceTupleID& id, AutoStudyElement& element)
{
    for (auto& b : element.bookArray)
        if (b.pubID == id.pubID() && b.bookID == id.bookID())
            return &b;
    return nullptr;
}

std::optional<SourceTupleID> AutoStudyElements::sourceTupleIDForBook(const AutoStudyBook& book)
{
    const SourceTupleID id = book.sourceTupleID();
    return id.isValid() ? std::optional<SourceTupleID>(id) : std::nullopt;
}

AutoStudyBook AutoStudyElements::bookForSourceTuple(const SourceTuple& tuple)
{
    AutoStudyBook b;
    b.pubID = tuple.record().pubID;
    b.bookID = tuple.record().bookID;
    b.editionNum = tuple.record().editionNumber;
    b.revisionNum = tuple.record().revisionNumber;
    b.checked = true;
    b.text = tuple.record().abbr;
    const QString subtitle =
        tuple.record().subtitle.isEmpty() ? QString() : QStringLiteral(": %1").arg(tuple.record().subtitle);
    b.detailText = QStringLiteral("%1%2 (%3)").arg(tuple.record().name, subtitle, tuple.record().abbr);
    return b;
}
