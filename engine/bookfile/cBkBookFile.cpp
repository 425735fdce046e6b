#include "engine/bookfile/cBkBookFile.h"

#include <algorithm>

#include "engine/bookfile/BkText.h"
#include "engine/foundation/cMsgBox.h"

using namespace BkInfoFormat;

cBkBookFile::cBkBookFile() : m_wordList(bkTag("WRDS")), m_concordance(bkTag("CONC"))
{
}

cBkBookFile::~cBkBookFile()
{
    // Owned storages and the embedded files go first; the container is the last member destroyed.
    m_prefixes.reset();
    m_attributeWords.clear();
    m_attributeConcordances.clear();
    m_images.reset();
    m_bibleRef.reset();
}

void cBkBookFile::openPair(cBkStreamFile* container, cBkWordListPair& pair, const char* words, const char* conc)
{
    auto w = std::make_unique<cBkWordListStg>(bkTag(words));
    auto c = std::make_unique<cBkConcordStg>(bkTag(conc));
    if (w->open(container) == 0 && c->open(container) == 0) {
        pair.words = std::move(w);
        pair.concordance = std::move(c);
    }
}

void cBkBookFile::reportDamage(int32_t id)
{
    if (!m_damageReported.exchange(true))
        cMsgBox().show(id);
}

uint32_t cBkBookFile::open(const char* utf8Path, uint8_t, int)
{
    m_damageReported = false;
    lastRenderedSection = BkResult::kNone;
    lastRenderedValue = 0;
    if (uint32_t r = m_container.open(utf8Path))
        return r;
    cBkStreamFile* c = &m_container;
    if (uint32_t r = m_genInfo.open(c))
        return r;

    const uint8_t readerMajor = m_genInfo.minimumReaderMajor(), readerMinor = m_genInfo.minimumReaderMinor();
    const uint8_t major = m_genInfo.fileMajor(), minor = m_genInfo.fileMinor();
    if (readerMajor > kReaderMajor || (readerMajor == kReaderMajor && readerMinor > kReaderMinor))
        return BkResult::kNeedsNewerReader;
    if (minor < 20)
        return BkResult::kFormatTooOld;
    if (m_genInfo.headerFlag0() && minor < 27)
        return BkResult::kFormatTooOld;

    if (uint32_t r = m_concordance.open(c))
        return r;
    m_punctuation = std::make_unique<cBkWordListStg>(bkTag("PUNC"));
    if (uint32_t r = m_punctuation->open(c))
        return r;
    if (uint32_t r = m_sections.open(c))
        return r;
    if (uint32_t r = m_textIndex.open(c))
        return r;
    if (uint32_t r = m_text.open(c))
        return r;
    // Sections end where the next begins and the last at the text end: none may start past it.
    if (m_sections.sectionCount() > 0 && m_sections.lastTextOffset() > m_text.textSize())
        return BkResult::kMalformed;
    if (uint32_t r = m_toc.open(c))
        return r;
    if (uint32_t r = m_verseSync.openVersioned(c, major, minor))
        return r;
    if (uint32_t r = m_wordList.open(c))
        return r;

    if (uint32_t id = m_container.streamIdForName("IMAGES")) {
        m_images = std::make_unique<cBkEmbeddedFiles>();
        if (uint32_t r = m_images->open(c, id))
            return r;
    }
    if (uint32_t id = m_container.streamIdForName("BIBLEREF")) {
        m_bibleRef = std::make_unique<cBkEmbeddedFiles>();
        if (uint32_t r = m_bibleRef->open(c, id))
            return r;
    }

    m_dateSync.open(c);
    m_nodes.open(c);

    const bool v2 = major >= 2;
    if (minor >= 5 || v2) {
        openPair(c, m_verseIndex, "VIDX", "VCON");
        openPair(c, m_syncWords, "WSYN", "WSCN");
    }
    if (minor >= 7 || v2)
        openPair(c, m_verseSyncWords, "VSYN", "VSCN");
    if (minor >= 8 || v2) {
        openPair(c, m_strongsHebrew, "SHEA", "SHCN");
        openPair(c, m_strongsGreek, "SGRK", "SGCN");
    }
    if (minor >= 32 || v2) {
        openPair(c, m_stemmed, "STEM", "STMC");
        openPair(c, m_phonetic, "PHON", "PHNC");
    }
    if ((minor >= 34 || v2) && m_genInfo.hasWordAttributeDefs()) {
        const cBkWordAttributeDefs& defs = m_genInfo.wordAttributeDefs();
        for (int32_t i = 0; i < defs.definitionCount(); ++i) {
            auto w = std::make_unique<cBkWordListStg>(0);
            auto cc = std::make_unique<cBkConcordStg>(0);
            const std::string key = defs.key(i);
            if (w->openNamed(c, (key + "WL").c_str()) == 0 && cc->openNamed(c, (key + "CONC").c_str()) == 0) {
                m_attributeWords.push_back(std::move(w));
                m_attributeConcordances.push_back(std::move(cc));
            } else {
                m_attributeWords.push_back(nullptr);
                m_attributeConcordances.push_back(nullptr);
            }
        }
        auto prefixes = std::make_unique<cBkWordListStg>(bkTag("PXSX"));
        if (prefixes->open(c) == 0)
            m_prefixes = std::move(prefixes);
    }
    // Concordance entries name sections of this book, so none decodes more than it has.
    const uint32_t sections = m_sections.sectionCount();
    m_concordance.setSectionLimit(sections);
    for (cBkWordListPair* pair :
        {&m_stemmed, &m_phonetic, &m_strongsHebrew, &m_strongsGreek, &m_syncWords, &m_verseIndex, &m_verseSyncWords})
        if (pair->concordance)
            pair->concordance->setSectionLimit(sections);
    for (auto& c : m_attributeConcordances)
        if (c)
            c->setSectionLimit(sections);
    m_path = BkText::utf8ToUtf16(utf8Path != nullptr ? utf8Path : "");
    return BkResult::kOK;
}

namespace {

struct OpenBookFiles {
    std::mutex mutex;
    std::vector<cBkBookFile*> files;

    OpenBookFiles() { files.reserve(100); }
    ~OpenBookFiles()
    {
        for (auto it = files.rbegin(); it != files.rend(); ++it)
            delete *it;
    }
};

OpenBookFiles& openBookFiles()
{
    static OpenBookFiles cache;
    return cache;
}

}  // namespace

uint32_t acquireBookFile(const std::u16string& path, cBkBookFile*& bookFile, uint8_t option)
{
    bookFile = nullptr;
    OpenBookFiles& cache = openBookFiles();
    std::lock_guard<std::mutex> lock(cache.mutex);
    for (cBkBookFile* f : cache.files) {
        if (f->path() == path) {
            f->addReference(1);
            bookFile = f;
            return BkResult::kOK;
        }
    }
    auto f = std::make_unique<cBkBookFile>();
    if (uint32_t r = f->open(BkText::utf16ToUtf8(path).c_str(), option, 1))
        return r;
    f->addReference(1);
    bookFile = f.release();
    cache.files.push_back(bookFile);
    return BkResult::kOK;
}

void releaseBookFile(cBkBookFile*& bookFile)
{
    OpenBookFiles& cache = openBookFiles();
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto it = std::find(cache.files.begin(), cache.files.end(), bookFile);
    if (it != cache.files.end()) {
        (*it)->addReference(-1);
        if ((*it)->referenceCount() == 0) {
            delete *it;
            cache.files.erase(it);
        }
    }
    bookFile = nullptr;
}

size_t openBookFileCount()
{
    OpenBookFiles& cache = openBookFiles();
    std::lock_guard<std::mutex> lock(cache.mutex);
    return cache.files.size();
}
