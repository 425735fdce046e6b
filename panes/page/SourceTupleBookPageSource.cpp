#include "panes/page/SourceTupleBookPageSource.h"

#include "documents/cBookDoc.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkEmbeddedFiles.h"
#include "engine/bookfile/cPlatformMemPtr.h"
#include "engine/foundation/SimpleDate.h"
#include "engine/references/BibleRef.h"

SourceTupleBookPageSource::SourceTupleBookPageSource(SourceTuple::Ptr tuple) : m_tuple(std::move(tuple))
{
}

QString SourceTupleBookPageSource::identityString() const
{
    return QStringLiteral("%1:%2:%3:%4")
        .arg(m_tuple->record().pubID)
        .arg(m_tuple->record().bookID)
        .arg(m_tuple->record().editionNumber)
        .arg(m_tuple->record().revisionNumber);
}

bool SourceTupleBookPageSource::passageKeysForReference(const QString& text, quint32& startKey, quint32& endKey)
{
    startKey = endKey = 0;
    if (!m_tuple->isABible())
        return false;
    BibleRef reference;
    if (!reference.parse(text) || !reference.mapToTranslation(m_tuple->record().abbr))
        return false;
    startKey = reference.bibleKey();
    endKey = reference.endBibleKey();
    return startKey != 0 && endKey != 0;
}

qint64 SourceTupleBookPageSource::tocLevelForSection(quint32 section)
{
    return m_tuple->locations().tocForSection(section).value(SourceTupleLocations::QSTOCLevelNumberKey).toLongLong();
}

QByteArray SourceTupleBookPageSource::embeddedFile(const QString& name)
{
    const std::shared_ptr<cBookDoc> doc = m_tuple->bookDoc();
    cBkBookFile* file = doc ? doc->bookFile() : nullptr;
    if (file == nullptr || file->images() == nullptr || name.isEmpty())
        return QByteArray();
    cPlatformMemPtr buffer;
    if (file->images()->readIntoMemory(name.toUtf8().toStdString(), buffer) != 0 || buffer.data() == nullptr)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(buffer.data()), static_cast<qsizetype>(buffer.size()));
}

quint32 SourceTupleBookPageSource::readingNumberForToday()
{
    return m_tuple->readings().readingNumberForDate(SimpleDate());
}

QString SourceTupleBookPageSource::readingDateText(quint32 reading)
{
    return m_tuple->readings().dateForReadingNumber(reading).stringWithStyle(1);
}
