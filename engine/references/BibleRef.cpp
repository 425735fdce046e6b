#include "engine/references/BibleRef.h"

BibleRef::BibleRef() : m_bibleRef(std::make_unique<cBibleRef>())
{
}

BibleRef::BibleRef(const BibleRef& other)
    : m_bibleRef(other.m_bibleRef ? std::make_unique<cBibleRef>(*other.m_bibleRef) : nullptr)
{
}

BibleRef& BibleRef::operator=(const BibleRef& other)
{
    if (this != &other)
        m_bibleRef = other.m_bibleRef ? std::make_unique<cBibleRef>(*other.m_bibleRef) : nullptr;
    return *this;
}

BibleRef::~BibleRef() = default;

BibleRef BibleRef::bibleRefWithStartKey(packedBibleKey startKey, packedBibleKey endKey)
{
    BibleRef ref;
    bibleRefRange* r = ref.m_bibleRef->appendRange();
    r->startBook = bibleKeyBook(startKey);
    r->startChapter = bibleKeyChapter(startKey);
    r->startVerse = bibleKeyVerse(startKey);
    r->endBook = bibleKeyBook(endKey);
    r->endChapter = bibleKeyChapter(endKey);
    r->endVerse = bibleKeyVerse(endKey);
    ref.m_bibleRef->formatSpelling(0);
    return ref;
}

BibleRef BibleRef::bibleRefWithcBibleRef(const cBibleRef& source)
{
    BibleRef ref;
    *ref.m_bibleRef = source;
    return ref;
}

BibleRef BibleRef::bibleRefWithLinkString(const QString& link)
{
    return bibleRefWithLinkString(link, QString());
}

BibleRef BibleRef::bibleRefWithLinkString(const QString& link, const QString& translation)
{
    BibleRef ref;
    ref.m_bibleRef->parseLinkString(link.toUtf8().constData(), translation.toUtf8().constData());
    return ref;
}

std::int32_t BibleRef::loadBookNameListsFromFile(std::FILE* english, std::FILE* spanish)
{
    return cBibleRefTables::loadBookNameLists(english, spanish);
}
std::int32_t BibleRef::loadBookNumToNameNumFromFile(std::FILE* f)
{
    return cBibleRefTables::loadBookNumToNameNum(f);
}
std::int32_t BibleRef::loadTransListFromFile(std::FILE* f)
{
    return cBibleRefTables::loadTranslationList(f);
}
std::int32_t BibleRef::loadBibleBooksFromFile(std::FILE* f)
{
    return cBibleRefTables::loadBibleBooks(f);
}
std::int32_t BibleRef::loadNameNumberToBookCategoriesFromFile(std::FILE* f)
{
    return cBibleRefTables::loadNameNumberToBookCategories(f);
}
std::int32_t BibleRef::loadFromVerseMapFromFile(std::FILE* f)
{
    return cBibleRefTables::loadVerseMap(f);
}
std::int32_t BibleRef::loadTotalOrderOnBookNumberFromFile(std::FILE* f)
{
    return cBibleRefTables::loadTotalOrderOnBookNumber(f);
}
std::int32_t BibleRef::loadFixUpRefMapFromFile(std::FILE* f)
{
    return cBibleRefTables::loadFixUpRefMap(f);
}
std::int32_t BibleRef::loadGetKeyMapFromFile(std::FILE* f)
{
    return cBibleRefTables::loadGetKeyMap(f);
}
std::int32_t BibleRef::loadDoMapSpecialCasesMapFromFile(std::FILE* f)
{
    return cBibleRefTables::loadDoMapSpecialCasesMap(f);
}
std::int32_t BibleRef::loadGetChapterNumberSpellingMapFromFile(std::FILE* f)
{
    return cBibleRefTables::loadGetChapterNumberSpellingMap(f);
}
std::int32_t BibleRef::loadIsOneChapterBookListFromFile(std::FILE* f)
{
    return cBibleRefTables::loadIsOneChapterBookList(f);
}

std::uint32_t BibleRef::bookNameListVersion()
{
    return cBibleRefTables::version(BibleRefTable::BookNames);
}
std::uint32_t BibleRef::bookNumToNameNumVersion()
{
    return cBibleRefTables::version(BibleRefTable::BookNumToNameNum);
}
std::uint32_t BibleRef::transListVersion()
{
    return cBibleRefTables::version(BibleRefTable::TranslationList);
}
std::uint32_t BibleRef::bibleBooksVersion()
{
    return cBibleRefTables::version(BibleRefTable::BibleBooks);
}
std::uint32_t BibleRef::nameNumberToBookCategoriesVersion()
{
    return cBibleRefTables::version(BibleRefTable::NameNumberToBookCategories);
}
std::uint32_t BibleRef::verseMapVersion()
{
    return cBibleRefTables::version(BibleRefTable::VerseMap);
}
std::uint32_t BibleRef::totalOrderOnBookNumberVersion()
{
    return cBibleRefTables::version(BibleRefTable::TotalOrderOnBookNumber);
}
std::uint32_t BibleRef::fixUpRefMapVersion()
{
    return cBibleRefTables::version(BibleRefTable::FixUpRefMap);
}
std::uint32_t BibleRef::getKeyMapVersion()
{
    return cBibleRefTables::version(BibleRefTable::GetKeyMap);
}
std::uint32_t BibleRef::doMapSpecialCasesMapVersion()
{
    return cBibleRefTables::version(BibleRefTable::DoMapSpecialCasesMap);
}
std::uint32_t BibleRef::getChapterNumberSpellingMapVersion()
{
    return cBibleRefTables::version(BibleRefTable::GetChapterNumberSpellingMap);
}
std::uint32_t BibleRef::isOneChapterBookListVersion()
{
    return cBibleRefTables::version(BibleRefTable::IsOneChapterBookList);
}

int BibleRef::addCustomTranslation(const QString& abbreviation, const QString& name, const QString& books)
{
    return cBibleRefTables::addCustomTranslation(
        abbreviation.toUtf8().toStdString(), name.toUtf8().toStdString(), books.toUtf8().toStdString());
}

void BibleRef::appendBibleRef(const BibleRef& other)
{
    if (!m_bibleRef || !other.m_bibleRef)
        return;
    const cBibleRef source(*other.m_bibleRef);  // a copy, so appending to itself is safe
    for (const bibleRefRange* r = source.firstRange(); r; r = r->next)
        m_bibleRef->appendRangeCopy(*r);
}

bool BibleRef::parse(const QString& text)
{
    return parse(text, QString());
}

bool BibleRef::parse(const QString& text, const QString& abbreviation)
{
    if (!m_bibleRef)
        return false;
    const QByteArray utf8 = text.toUtf8();
    const QByteArray name = abbreviation.toUtf8();
    if (text.startsWith(QLatin1String("bible:"))) {
        m_bibleRef->parseLinkString(utf8.constData(), name.constData());
        return m_bibleRef->hasRanges();
    }
    m_bibleRef->mapToTranslationNamed(name.constData());
    std::int32_t position = 0;
    const int result = m_bibleRef->parseInEitherLanguage(utf8.constData(), position);
    return result == 0 || position >= utf8.size();
}

bool BibleRef::mapToTranslation(const QString& abbreviation)
{
    if (!m_bibleRef || !m_bibleRef->hasRanges())
        return false;
    return m_bibleRef->mapToTranslationNamed(abbreviation.toUtf8().constData());
}

QList<BibleRef> BibleRef::arrayOfRefsFromRanges() const
{
    QList<BibleRef> out;
    if (!m_bibleRef)
        return out;
    for (const bibleRefRange* r = m_bibleRef->firstRange(); r; r = r->next) {
        BibleRef one;
        *one.m_bibleRef = cBibleRef(r);
        one.m_bibleRef->setLanguage(m_bibleRef->language());
        one.m_bibleRef->setTranslation(static_cast<int>(m_bibleRef->translation()));
        out.append(std::move(one));
    }
    return out;
}

QString BibleRef::spelling(std::uint32_t flags)
{
    if (!m_bibleRef)
        return QString();
    m_bibleRef->formatSpelling(flags);
    return QString::fromUtf8(m_bibleRef->spellingText());
}

QString BibleRef::spellingUsingAbbreviatedBookName(
    bool abbreviated, bool includeTranslation, bool abbreviateTranslation)
{
    std::uint32_t flags = abbreviated ? 0x2 : 0x3;
    if (includeTranslation)
        flags = (abbreviated ? 0x22 : 0x23) | (abbreviateTranslation ? 0x10 : 0x40);
    return spelling(flags);
}

QString BibleRef::fullSpelling()
{
    return spelling(0x3);
}
QString BibleRef::bookSpelling()
{
    return spelling(0x1003);
}
QString BibleRef::chapterSpelling()
{
    return spelling(0x2002);
}
QString BibleRef::verseSpelling()
{
    return spelling(0x4002);
}

void BibleRef::setLanguage(int language)
{
    if (m_bibleRef)
        m_bibleRef->setLanguage(language);
}

int BibleRef::language() const
{
    if (!m_bibleRef)
        return kLanguageEnglish;
    return m_bibleRef->nameListLanguage();
}

QString BibleRef::translation() const
{
    return QString::number(m_bibleRef ? static_cast<int>(m_bibleRef->translation()) : 0);
}

bool BibleRef::isBookOnly() const
{
    if (!m_bibleRef || m_bibleRef->rangeCount() != 1)
        return false;
    const bibleRefRange* r = m_bibleRef->firstRange();
    if (r->startBook != r->endBook || r->startVerse != -1 || r->endVerse != -2)
        return false;
    if (r->startChapter == -1 && r->endChapter == -2)
        return true;
    return cBibleRef::isOneChapterBook(r->startBook) && r->startChapter == 1 && r->endChapter == 1;
}

bool BibleRef::isBookChapterOnly() const
{
    if (!m_bibleRef || m_bibleRef->rangeCount() != 1)
        return false;
    const bibleRefRange* r = m_bibleRef->firstRange();
    return r->startVerse == -1 && r->endVerse == -2;
}

bool BibleRef::isValid() const
{
    return m_bibleRef && m_bibleRef->hasRanges();
}
packedBibleKey BibleRef::bibleKey() const
{
    return m_bibleRef ? m_bibleRef->startKey() : 0;
}
packedBibleKey BibleRef::endBibleKey() const
{
    return m_bibleRef ? m_bibleRef->endKey() : 0;
}

void BibleRef::setBibleKey(packedBibleKey key)
{
    if (m_bibleRef)
        m_bibleRef->setFromKey(key);
}

bool BibleRef::isFrontOrBack() const
{
    return m_bibleRef && m_bibleRef->hasRanges() && m_bibleRef->generalCategory() == 0;
}

bool BibleRef::isOneChapterBook() const
{
    return m_bibleRef && m_bibleRef->hasRanges() && cBibleRef::isOneChapterBook(m_bibleRef->firstRange()->startBook);
}

int BibleRef::numRanges() const
{
    return m_bibleRef ? m_bibleRef->rangeCount() : 0;
}
int BibleRef::detailedCategory() const
{
    return m_bibleRef ? m_bibleRef->detailedCategory() : 255;
}
int BibleRef::generalCategory() const
{
    return m_bibleRef ? m_bibleRef->generalCategory() : 255;
}
