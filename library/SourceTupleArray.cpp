#include "library/SourceTupleArray.h"

#include "platform/KeyedArchive.h"

#include <QCollator>
#include <QDebug>
#include <QFileInfo>
#include <QRandomGenerator>

#include <functional>
#include <optional>

SourceTupleArray::SourceTupleArray()
{
    m_array.reserve(5);
}

SourceTupleArray::Ptr SourceTupleArray::sourceTupleArray()
{
    return std::make_shared<SourceTupleArray>();
}

std::vector<SourceTuple::Ptr> SourceTupleArray::array() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_array;
}

qint64 SourceTupleArray::count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<qint64>(m_array.size());
}

qint64 SourceTupleArray::classification() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_array.empty())
        return 0;
    const qint64 first = m_array.front()->record().classification;
    for (const auto& t : m_array)
        if (t->record().classification != first)
            return 0;
    return first;
}

QString SourceTupleArray::uuid() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_uuid;
}

void SourceTupleArray::setUuid(const QString& uuid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_uuid = uuid;
}

qint64 SourceTupleArray::archiveVersion() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_archiveVersion;
}

namespace {

// The platform's localized, case-insensitive comparison.
int compareLocalized(const QString& a, const QString& b)
{
    thread_local QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator.compare(a, b);
}

}  // namespace

void SourceTupleArray::add(SourceTuple::Ptr tuple, int inOrder)
{
    if (tuple == nullptr)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (inOrder == kOrderSortTitle || inOrder == kOrderAbbreviation) {
        const QString& mine = inOrder == kOrderSortTitle ? tuple->record().sortTitle : tuple->record().abbr;
        // A missing title compares equal to everything, so such a tuple goes to the end.
        if (!mine.isNull()) {
            for (auto it = m_array.begin(); it != m_array.end(); ++it) {
                const QString& theirs = inOrder == kOrderSortTitle ? (*it)->record().sortTitle : (*it)->record().abbr;
                if (theirs.isNull())
                    continue;
                if (compareLocalized(mine, theirs) < 0) {
                    m_array.insert(it, std::move(tuple));
                    return;
                }
            }
        }
    }
    m_array.push_back(std::move(tuple));
}

bool SourceTupleArray::addNoDupes(SourceTuple::Ptr tuple)
{
    if (tuple == nullptr)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& t : m_array)
        if (t->isEqual(*tuple))
            return false;
    m_array.push_back(std::move(tuple));
    return true;
}

void SourceTupleArray::replaceTupleAtIndex(qint64 index, SourceTuple::Ptr withTuple)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (withTuple != nullptr && index >= 0 && index < static_cast<qint64>(m_array.size()))
        m_array[static_cast<size_t>(index)] = std::move(withTuple);
}

void SourceTupleArray::removeAtIndex(qint64 index)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index >= 0 && index < static_cast<qint64>(m_array.size()))
        m_array.erase(m_array.begin() + index);
}

void SourceTupleArray::removeAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_array.clear();
}

void SourceTupleArray::remove(const SourceTuple& tuple)
{
    // Copy the identity first: `tuple` may be one of the listed tuples.
    const qint64 pub = tuple.record().pubID, book = tuple.record().bookID;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::erase_if(
        m_array, [&](const SourceTuple::Ptr& t) { return t->record().pubID == pub && t->record().bookID == book; });
}

template <class Match> qint64 SourceTupleArray::find(Match&& match) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (size_t i = 0; i < m_array.size(); ++i)
        if (match(*m_array[i]))
            return static_cast<qint64>(i);
    return kNotFound;
}

SourceTuple::Ptr SourceTupleArray::at(qint64 index) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index < 0 || index >= static_cast<qint64>(m_array.size()))
        return nullptr;
    return m_array[static_cast<size_t>(index)];
}

qint64 SourceTupleArray::indexForTuple(const SourceTuple& tuple) const
{
    const qint64 pub = tuple.record().pubID, book = tuple.record().bookID;
    return find([&](const SourceTuple& t) { return t.record().pubID == pub && t.record().bookID == book; });
}

qint64 SourceTupleArray::indexForPubID(qint64 pubID, qint64 bookID) const
{
    return find([&](const SourceTuple& t) { return t.record().pubID == pubID && t.record().bookID == bookID; });
}

qint64 SourceTupleArray::indexForPubID(qint64 pubID, qint64 bookID, qint64 edition) const
{
    return find([&](const SourceTuple& t) {
        return t.record().pubID == pubID && t.record().bookID == bookID && t.record().editionNumber == edition;
    });
}

qint64 SourceTupleArray::indexForPubID(qint64 pubID, qint64 bookID, qint64 edition, qint64 revision) const
{
    return find([&](const SourceTuple& t) {
        return t.record().pubID == pubID && t.record().bookID == bookID && t.record().editionNumber == edition &&
            t.record().revisionNumber == revision;
    });
}

qint64 SourceTupleArray::indexForSourceTupleID(const SourceTupleID& id) const
{
    if (id.pubID() < 1 || id.bookID() < 1)
        return kNotFound;
    if (id.editionNumber() < 1)
        return indexForPubID(id.pubID(), id.bookID());
    if (id.revisionNumber() < 1)
        return indexForPubID(id.pubID(), id.bookID(), id.editionNumber());
    return indexForPubID(id.pubID(), id.bookID(), id.editionNumber(), id.revisionNumber());
}

qint64 SourceTupleArray::indexForFile(const QString& path) const
{
    return find([&](const SourceTuple& t) { return t.record().filepath == path; });
}

qint64 SourceTupleArray::indexForFileName(const QString& name) const
{
    return find([&](const SourceTuple& t) {
        const QString& p = t.record().filepath;
        return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1) == name;
    });
}

SourceTuple::Ptr SourceTupleArray::tupleAtIndex(qint64 index) const
{
    return at(index);
}

SourceTuple::Ptr SourceTupleArray::tupleForPubID(qint64 pubID, qint64 bookID) const
{
    return at(indexForPubID(pubID, bookID));
}

SourceTuple::Ptr SourceTupleArray::tupleForPubID(qint64 pubID, qint64 bookID, qint64 edition) const
{
    return at(indexForPubID(pubID, bookID, edition));
}

SourceTuple::Ptr SourceTupleArray::tupleForPubID(qint64 pubID, qint64 bookID, qint64 edition, qint64 revision) const
{
    return at(indexForPubID(pubID, bookID, edition, revision));
}

SourceTuple::Ptr SourceTupleArray::tupleForSourceTupleID(const SourceTupleID* id) const
{
    if (id == nullptr)
        return nullptr;
    return at(indexForSourceTupleID(*id));
}

SourceTuple::Ptr SourceTupleArray::tupleForFile(const QString& path) const
{
    return at(indexForFile(path));
}

SourceTuple::Ptr SourceTupleArray::tupleForFileName(const QString& name) const
{
    return at(indexForFileName(name));
}

SourceTuple::Ptr SourceTupleArray::randomTuple() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_array.empty())
        return nullptr;
    const auto i = QRandomGenerator::global()->bounded(static_cast<quint32>(m_array.size()));
    return m_array[i];
}

void SourceTupleArray::log(const QString& heading) const
{
    const auto items = array();
    qInfo().noquote() << "--- SourceTupleArray Log ---";
    if (!heading.isEmpty())
        qInfo().noquote() << heading;
    qInfo().noquote() << QStringLiteral("count = %1").arg(items.size());
    for (const auto& t : items)
        t->log();
    qInfo().noquote() << "--- End SourceTupleArray Log ---";
}

namespace {

QVariant encodeList(const std::vector<SourceTuple::Ptr>& items, const QString& uuid, qint64 version,
    const std::function<QVariant(const SourceTuple&)>& element)
{
    KeyedArchiver a(SourceTupleArray::kArchiveClassName);
    a.encodeInteger(QStringLiteral("ArchiveVersionKey"), version);
    if (!uuid.isNull())
        a.encodeString(QStringLiteral("uuid"), uuid);
    QVariantList elements;
    elements.reserve(static_cast<qsizetype>(items.size()));
    for (const auto& t : items)
        elements.append(element(*t));
    a.encodeArray(QStringLiteral("ArchiveArrayKey"), elements);
    return a.archivedObject();
}

}  // namespace

QVariant SourceTupleArray::encode(const QString& booksFolder) const
{
    return encodeList(array(), uuid(), kArchiveVersion, [&](const SourceTuple& t) { return t.encode(booksFolder); });
}

QVariant SourceTupleArray::encodeReferences(const QString& booksFolder) const
{
    return encodeList(
        array(), uuid(), kArchiveVersion, [&](const SourceTuple& t) { return t.encodeReference(booksFolder); });
}

namespace {

// What an archived list holds besides its records; nothing when the value is no archived list or a
// field is of the wrong kind.
struct ListFields {
    qint64 version = 0;
    QString uuid;
    QVariantList elements;
};

std::optional<ListFields> listFields(const QVariant& archived)
{
    const KeyedUnarchiver u(archived);
    if (!u.isValid() || u.className() != SourceTupleArray::kArchiveClassName)
        return std::nullopt;
    ListFields fields {
        u.decodeInteger(QStringLiteral("ArchiveVersionKey")), u.decodeString(QStringLiteral("uuid")), {}};
    const QVariant raw = u.decodeValue(QStringLiteral("ArchiveArrayKey"));
    if (u.typeMismatch() || (raw.isValid() && raw.metaType().id() != QMetaType::QVariantList))
        return std::nullopt;
    fields.elements = raw.toList();
    return fields;
}

}  // namespace

SourceTupleArray::Ptr SourceTupleArray::decode(const QVariant& archived, const QString& booksFolder)
{
    const std::optional<ListFields> fields = listFields(archived);
    if (!fields)
        return nullptr;
    auto list = std::make_shared<SourceTupleArray>();
    list->m_archiveVersion = fields->version;
    list->m_uuid = fields->uuid;
    for (const QVariant& element : fields->elements) {
        SourceTuple::Ptr t = SourceTuple::decode(element, booksFolder);
        if (t == nullptr)
            return nullptr;
        list->m_array.push_back(std::move(t));
    }
    return list;
}

SourceTupleArray::Ptr SourceTupleArray::decodeSharing(
    const QVariant& archived, const QString& booksFolder, const QHash<QString, SourceTuple::Ptr>& shared)
{
    const std::optional<ListFields> fields = listFields(archived);
    if (!fields)
        return nullptr;
    auto list = std::make_shared<SourceTupleArray>();
    list->m_archiveVersion = fields->version;
    list->m_uuid = fields->uuid;
    for (const QVariant& element : fields->elements) {
        SourceTupleID identity;
        QString filepath;
        if (!SourceTuple::decodeReference(element, booksFolder, identity, filepath))
            return nullptr;
        SourceTuple::Ptr t = shared.value(filepath);
        if (t == nullptr || t->sourceTupleID() != identity)
            return nullptr;
        list->m_array.push_back(std::move(t));
    }
    return list;
}
