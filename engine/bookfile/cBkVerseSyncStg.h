// cBkVerseSyncStg: the "SYNC" storage, Bible keys to sections (layout in BkSyncFormat.h).
// Every operation takes the container mutex around its reads.
//
// Moving a reference to the next chapter or book, and mapping it into a translation, belongs to the
// Bible references; they are reached through cBkVerseKeyNavigator, which the application installs at start-up
// (the default keeps keys unmapped and steps chapter + 1 / book + 1). The navigator is called with the
// book's container mutex held, so it must not read this book.

#pragma once

#include "engine/bookfile/BkSyncFormat.h"
#include "engine/bookfile/cBkSubstorageSupport.h"
#include "engine/foundation/cStartupHook.h"

class cBkVerseKeyNavigator : public cStartupHook<cBkVerseKeyNavigator> {
public:
    virtual ~cBkVerseKeyNavigator() = default;
    // The key as the translation numbers it.
    virtual uint32_t mapIntoTranslation(uint32_t key, int32_t translation);
    // Verse 1 of the next chapter / chapter 1 verse 1 of the next book; false when there is none.
    virtual bool nextChapter(uint32_t& key, int32_t translation);
    virtual bool nextBook(uint32_t& key, int32_t translation);
};

class cBkVerseSyncStg : public cBkSubstorageSupport {
public:
    cBkVerseSyncStg();
    uint32_t open(cBkStreamFile* container) override;
    // Old files (major < 2 and minor < 26) have a 50-byte header and no values.
    virtual uint32_t openVersioned(cBkStreamFile* container, uint8_t fileMajor, uint8_t fileMinor);

    uint32_t recordCount() const { return bkGetLE32(m_hdr + BkSyncFormat::kRecordCount); }
    uint8_t keyWidth() const { return m_hdr[BkSyncFormat::kKeyWidth]; }
    uint8_t valueWidth() const
    {
        return m_headerLength < BkSyncFormat::kHeaderSize ? 0 : m_hdr[BkSyncFormat::kValueWidth];
    }

    // Key bytes into `keyBytes` (room for keyWidth(), at most 4) and the value; i >= R leaves both.
    void readRecord(uint32_t i, uint8_t* keyBytes, uint32_t& value);
    // The key of record i as a number; 0 when i >= R.
    uint32_t keyOfRecord(uint32_t i);
    // Record i's key and value; false when it cannot be read (past R, or past the stream's end).
    bool recordAt(uint32_t i, uint32_t& key, uint32_t& value);
    // The matching record (0 when none) and its value.
    void sectionForKey(uint32_t key, uint32_t& record, uint32_t& value);
    // For keys whose verse or chapter byte is 254 (the last verse of the chapter, last chapter of the
    // book): the last record that agrees with the key.
    void lastSectionForAmbiguousKey(uint32_t key, int32_t translation, uint32_t& record, uint32_t& value);
    // The first record of the key's chapter (its group); 0 when the book holds no such chapter.
    uint32_t firstRecordOfChapter(uint32_t key);

private:
    uint32_t finishOpen(uint32_t r);
    // The caller holds the container mutex.
    bool readRecordUnlocked(uint32_t i, uint32_t& key, uint32_t& value);
    uint32_t groupFirstRecord(uint32_t key);
    void findKey(uint32_t key, uint32_t& record, uint32_t& value);

    uint8_t m_hdr[BkSyncFormat::kHeaderSize] = {};
    uint32_t m_bases[4] = {};
    uint32_t m_counts[4] = {};
};

class cBkDateSyncStg : public cBkSubstorageSupport {
public:
    cBkDateSyncStg();
    uint32_t open(cBkStreamFile* container) override;

    uint32_t readingCount() const { return bkGetLE32(m_hdr + BkSyncFormat::kDateCount); }
    // The section of reading index r (0-based); 0xFFFFFFFF past the table.
    uint32_t sectionOfReading(uint32_t r);
    // The reading index whose sections include s; -1 when none.
    int32_t readingForSection(uint32_t s);
    void defaultStart(uint8_t& month, uint8_t& day, uint8_t& third) const;

private:
    uint8_t m_hdr[BkSyncFormat::kDateHeaderSize] = {};
    uint32_t m_bases[4] = {};
    uint32_t m_counts[4] = {};
};
