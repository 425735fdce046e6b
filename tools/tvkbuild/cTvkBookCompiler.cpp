#include "tools/tvkbuild/cTvkBookCompiler.h"

#include <exception>

#include "engine/bookfile/BkInfoFormat.h"
#include "engine/bookfile/BkSyncFormat.h"
#include "tools/tvkbuild/cTvkContainerWriter.h"

cTvkBookCompiler::cTvkBookCompiler(uint8_t month, uint8_t day) : m_month(month), m_day(day)
{
    info.fileMajor = BkInfoFormat::kCurrentFileMajor;
    info.fileMinor = BkInfoFormat::kCurrentFileMinor;
}

void cTvkBookCompiler::setReadings(const std::vector<uint32_t>& sections, uint8_t month, uint8_t day)
{
    m_readings = sections;
    m_month = month;
    m_day = day;
}

void cTvkBookCompiler::addLookupWord(const std::string& word, uint32_t section)
{
    m_lookupWords[word].insert(section);
}

void cTvkBookCompiler::addVerseLookup(uint32_t key, uint32_t section, uint32_t endKey)
{
    std::string text = BkSyncFormat::verseKeyText(key);
    if (endKey != 0)
        text += BkSyncFormat::verseKeyText(endKey);
    m_verseLookup[text].insert(section);
}

void cTvkBookCompiler::addBibleRefFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    m_bibleRef.emplace_back(name, bytes);
}

TvkEncode::InfoFields cTvkBookCompiler::headerFields(uint8_t bookType) const
{
    TvkEncode::InfoFields fields = info;
    fields.flags = static_cast<uint8_t>((fields.flags & ~(BkInfoFormat::kFlagBible | BkInfoFormat::kBookTypeMask)) |
        (kind == Kind::Bible ? BkInfoFormat::kFlagBible : 0) |
        static_cast<uint8_t>(bookType << BkInfoFormat::kBookTypeShift));
    if (fields.bookName.empty())
        fields.bookName = fields.abbreviatedTitle.empty() ? "Untitled" : fields.abbreviatedTitle;
    if (fields.abbreviatedTitle.empty())
        fields.abbreviatedTitle = fields.bookName;
    // The library lists books by their sort titles; a book given none sorts by its full title.
    if (fields.sortTitle.empty())
        fields.sortTitle = fields.bookName;
    return fields;
}

bool cTvkBookCompiler::writeFile(const std::string& path, std::string* error) const
{
    try {
        if (tvkWriteFile(path, build()))
            return true;
        if (error != nullptr)
            *error = "cannot write " + path;
    } catch (const std::exception& e) {
        if (error != nullptr)
            *error = e.what();
    }
    return false;
}
