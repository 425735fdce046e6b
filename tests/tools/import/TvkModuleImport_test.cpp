// Importing exported modules: the Bible model (words of Christ, added words, notes, headings,
// paragraphs, Strong's numbers), the checks that skip entries, commentary ranges, dictionary
// headwords, the daily readings and the authored source form.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "engine/bookfile/BkSyncFormat.h"
#include "engine/bookfile/cBkEmbeddedFiles.h"
#include "engine/bookfile/cBkVerseSyncStg.h"
#include "engine/references/cBibleRefDefaults.h"
#include "engine/references/cBibleRefTableReader.h"
#include "tests/tools/import/BookReading.h"
#include "tools/tvkbuild/import/TvkAuthoredSource.h"
#include "tools/tvkbuild/import/TvkModuleImport.h"

namespace {

std::vector<TvkImpEntry> entries(std::initializer_list<std::pair<const char*, const char*>> list)
{
    std::vector<TvkImpEntry> out;
    for (const auto& [k, t] : list)
        out.push_back({k, t});
    return out;
}

struct OpenedBook {
    std::string path;
    cBkBookFile file;
    explicit OpenedBook(const cTvkRichBook& book)
    {
        char name[] = "/tmp/importbookXXXXXX";
        close(mkstemp(name));
        path = name;
        std::string error;
        EXPECT_TRUE(book.writeFile(path, &error)) << error;
        EXPECT_EQ(file.open(path.c_str()), 0u);
    }
    ~OpenedBook() { std::remove(path.c_str()); }
};

const char* kGenesis0 = "<div osisID=\"Gen\" sID=\"g1\" type=\"book\"/> <milestone n=\"Génesis\" type=\"x-usfm-h\"/> "
                        "<title type=\"main\">The First Book</title>";
const char* kGenesis1 =
    "<div type=\"x-milestone\" subType=\"x-preverse\" sID=\"pv1\"/><div sID=\"p1\" type=\"x-p\"/>In the "
    "<w lemma=\"strong:H07225 strong:H99999\">beginning</w> God <transChange type=\"added\">was</transChange>."
    "<note placement=\"foot\"><reference type=\"annotateRef\">1.1 </reference>Heb. first</note>"
    "<note type=\"crossReference\"><reference>John 1:1</reference></note>";
const char* kGenesis2 = "And he said, <q marker=\"\" who=\"Jesus\"><w lemma=\"strong:G3004\">Let</w> it be.</q> Amen."
                        "<l eID=\"l1\"/> <l sID=\"l2\"/>Second line.";

// Every number of a lemma tags its word; runs written against each other are one word, with the
// numbers of both; a word of the run before keeps its own numbers alone.
TEST(TvkModuleImport, EveryNumberOfAWordAndWordsCutByMarkup)
{
    TvkImportReport report;
    const auto model =
        tvkParseBible(entries({{"Genesis 1:0", "<chapter n=\"1\" osisID=\"Gen.1\" sID=\"Gen.1\"/>"},
                          {"Genesis 1:1",
                              "<w lemma=\"strong:G2424 G5547 lemma.TR:x\">de Jesucristo</w> <w "
                              "lemma=\"strong:G1909\">in</w>asmuch, a <w lemma=\"strong:G4521\">day</w>\u2019<w "
                              "lemma=\"strong:G2192\">s</w> way; <w lemma=\"strong:H1\">y</w><transChange "
                              "type=\"added\">nos</transChange><w lemma=\"strong:H2\">otros</w> <w "
                              "lemma=\"strong:H3\">los ca</w><w lemma=\"strong:H4\">llados</w>."}}),
            report);
    cTvkRichBook book;
    TvkBookIdentity id;
    id.title = "Test";
    tvkCompileBible(model, id, book);
    OpenedBook b(book);
    bookreading::Reader r(b.file);
    const auto v = r.section(3);
    std::vector<std::string> words;
    for (const auto& w : v.words)
        words.push_back(w.text);
    EXPECT_EQ(words,
        (std::vector<std::string> {
            "de", "Jesucristo", "inasmuch", "a", "day\u2019s", "way", "ynosotros", "los", "callados"}));
    ASSERT_EQ(v.words.size(), 9u);
    EXPECT_EQ(v.words[1].strongs, (std::vector<std::string> {"G2424", "G5547"}));  // written after the run
    EXPECT_EQ(v.words[2].strongs, (std::vector<std::string> {"G1909"}));
    EXPECT_EQ(v.words[4].strongs, (std::vector<std::string> {"G4521", "G2192"}));
    EXPECT_EQ(v.words[6].strongs, (std::vector<std::string> {"H1", "H2"}));
    EXPECT_EQ(v.words[7].strongs, (std::vector<std::string> {"H3"}));
    EXPECT_EQ(v.words[8].strongs, (std::vector<std::string> {"H3", "H4"}));
    EXPECT_EQ(v.text.find("Jesucristo inasmuch, a day\u2019s way; ynosotros los callados.") != std::string::npos, true)
        << v.text;
}

TEST(TvkModuleImport, BibleModelKeepsMarkup)
{
    TvkImportReport report;
    const auto model = tvkParseBible(entries({{"[ Module Heading ]", ""}, {"Genesis 0:0", kGenesis0},
                                         {"Genesis 1:0", "<chapter n=\"1\" osisID=\"Gen.1\" sID=\"Gen.1\"/>"},
                                         {"Genesis 1:1", kGenesis1}, {"Genesis 1:2", kGenesis2}}),
        report);
    EXPECT_EQ(report.entries, 5u);
    EXPECT_EQ(report.imported, 3u);
    EXPECT_EQ(report.empty, 2u);
    EXPECT_TRUE(report.skipped.empty());
    ASSERT_EQ(model.books.size(), 1u);
    const TvkBibleBook& gen = model.books[0];
    EXPECT_EQ(gen.name, "Génesis");
    ASSERT_EQ(gen.headings.size(), 1u);
    EXPECT_EQ(tvkPlainText({gen.headings[0]}), "The First Book");
    ASSERT_EQ(gen.verses.size(), 2u);
    EXPECT_TRUE(gen.verses[0].paragraph);
    EXPECT_FALSE(gen.verses[1].paragraph);
    EXPECT_EQ(tvkPlainText(gen.verses[0].inlines), "In the beginning God was.");
    EXPECT_EQ(tvkPlainText(gen.verses[0].inlines, true), "In the beginning God was.Heb. first");
    EXPECT_EQ(tvkPlainText(gen.verses[1].inlines), "And he said, Let it be. Amen.   Second line.");
    EXPECT_EQ(gen.verses[1].inlines.size(), 5u);  // text, words of Christ, text, line break, text
    EXPECT_EQ(gen.verses[1].inlines[3].tag, TvkTag::kBr);

    cTvkRichBook book;
    TvkBookIdentity id;
    id.title = "Test";
    tvkCompileBible(model, id, book);
    OpenedBook b(book);
    bookreading::Reader r(b.file);
    ASSERT_EQ(r.sectionCount(), 5u);  // root, book, chapter, two verses
    const auto v1 = r.section(3);
    EXPECT_EQ(v1.verseKey, 0x010101u);
    EXPECT_EQ(v1.blockTags, (std::vector<uint8_t> {TvkTag::kP}));
    ASSERT_EQ(v1.words.size(), 7u);                                        // five verse words and two of the footnote
    EXPECT_EQ(v1.words[2].strongs, (std::vector<std::string> {"H7225"}));  // the unknown number is dropped
    EXPECT_TRUE(v1.words[3].text == "God" && !v1.words[3].inItalic);
    EXPECT_TRUE(v1.words[4].inItalic);
    EXPECT_EQ(v1.notes, "Heb. first");
    const auto v2 = r.section(4);
    EXPECT_EQ(v2.blockTags, (std::vector<uint8_t> {TvkTag::kDiv}));
    EXPECT_FALSE(v2.words[2].inWoc);
    EXPECT_TRUE(v2.words[3].inWoc);
    EXPECT_EQ(v2.words[3].strongs, (std::vector<std::string> {"G3004"}));
    EXPECT_FALSE(v2.words.back().inWoc);
    EXPECT_EQ(r.section(1).text, "The First Book ");
    EXPECT_EQ(r.section(2).text, "Génesis 1 ");
}

// A preface the export files under Genesis 0:0 becomes a section of its own before Genesis, keyed 0;
// every later section keeps its own key. A front division that is never closed stays where it is.
TEST(TvkModuleImport, FrontMatterIsASectionOfItsOwnBeforeTheFirstBook)
{
    const char* genesis0 = "<div sID=\"g2\" type=\"front\"/> <title type=\"main\">Preface</title> "
                           "<div sID=\"g3\" type=\"x-p\"/>God is love.<div eID=\"g3\" type=\"x-p\"/> "
                           "<div eID=\"g2\" type=\"front\"/> <div osisID=\"Gen\" sID=\"g4\" type=\"book\"/> "
                           "<title type=\"main\">Genesis</title>";
    TvkImportReport report;
    const auto model = tvkParseBible(
        entries({{"Genesis 0:0", genesis0}, {"Genesis 1:0", "<chapter n=\"1\" osisID=\"Gen.1\" sID=\"Gen.1\"/>"},
            {"Genesis 1:1", kGenesis1}}),
        report);
    EXPECT_TRUE(report.skipped.empty());
    EXPECT_EQ(model.frontMatterTitle, "Preface");
    ASSERT_EQ(model.frontMatter.size(), 2u);  // its title and its text
    EXPECT_EQ(model.frontMatter[0].tag, TvkTag::kH2);
    EXPECT_EQ(tvkPlainText({model.frontMatter[0]}), "Preface");
    EXPECT_NE(tvkPlainText({model.frontMatter[1]}).find("God is love."), std::string::npos);
    ASSERT_EQ(model.books.size(), 1u);
    EXPECT_EQ(tvkPlainText(model.books[0].headings), "Genesis");

    cTvkRichBook book;
    TvkBookIdentity id;
    id.title = "Test";
    tvkCompileBible(model, id, book);
    OpenedBook b(book);
    bookreading::Reader r(b.file);
    ASSERT_EQ(r.sectionCount(), 5u);  // root, preface, book, chapter, verse
    EXPECT_EQ(r.section(1).text.rfind("Preface ", 0), 0u) << r.section(1).text;
    EXPECT_TRUE(r.section(1).text.ends_with(" God is love. ")) << r.section(1).text;
    EXPECT_EQ(r.section(2).text, "Genesis ");
    // The reader takes a section's key from the sync record of the same number.
    const std::uint32_t keys[] = {0, 0, 0x010000, 0x010100, 0x010101};
    for (std::uint32_t s = 0; s < 5; ++s)
        EXPECT_EQ(b.file.verseSync().keyOfRecord(s) & 0xFFFFFF, keys[s]) << s;

    // Unclosed: nothing is cut, the text stays with the book's heading.
    TvkImportReport unclosed;
    const auto kept =
        tvkParseBible(entries({{"Genesis 0:0", "<div sID=\"g2\" type=\"front\"/> <title>Preface</title> God is love."},
                          {"Genesis 1:1", kGenesis1}}),
            unclosed);
    EXPECT_TRUE(kept.frontMatter.empty());
    ASSERT_EQ(kept.books.size(), 1u);
    EXPECT_NE(tvkPlainText(kept.books[0].headings).find("God is love."), std::string::npos);

    // A section without a key after the first book has no place in the verse sync.
    book.addSection(TvkSection {"Back matter", 1, 0, {TvkNode::element(TvkTag::kP, {TvkNode::text("End.")})}});
    EXPECT_THROW(book.build(), std::invalid_argument);
}

TEST(TvkModuleImport, WordsOfChristMilestonesSpanVerses)
{
    TvkImportReport report;
    const auto model = tvkParseBible(entries({{"John 3:16", "For God <q who=\"Jesus\" sID=\"q1\"/>so loved"},
                                         {"John 3:17", "the world<q who=\"Jesus\" eID=\"q1\"/> that"}}),
        report);
    ASSERT_EQ(model.books.size(), 1u);
    cTvkRichBook book;
    tvkCompileBible(model, TvkBookIdentity {}, book);
    OpenedBook b(book);
    bookreading::Reader r(b.file);
    const auto v16 = r.section(3), v17 = r.section(4);
    EXPECT_FALSE(v16.words[1].inWoc);
    EXPECT_TRUE(v16.words[2].inWoc);
    EXPECT_TRUE(v17.words[1].inWoc);
    EXPECT_FALSE(v17.words[2].inWoc);
}

TEST(TvkModuleImport, BadEntriesAreSkippedAndReported)
{
    TvkImportReport report;
    const auto model =
        tvkParseBible(entries({{"Genesis 1:1", "good"}, {"Genesis 1:3", "broken <w lemma=\"x\" markup"},
                          {"Genesis 1:4", "bad \xC3 bytes"}, {"Genesis 1:5", "<chapter osisID=\"Hos.1\"/>leaked text"},
                          {"Genesis 1:6", "<div type=\"x-p\"/> "}, {"Genesis 1:7", "good again"},
                          {"Genesis 1:2", "out of order"}, {"Genesis 51:1", "no such chapter"},
                          {"Hezekiah 1:1", "no such book"}, {"Tobit 1:1", "kept: a deuterocanonical book"}}),
            report);
    EXPECT_EQ(report.imported, 3u);
    EXPECT_EQ(report.empty, 1u);
    ASSERT_EQ(report.skipped.size(), 6u) << ::testing::PrintToString(report.skipped);
    EXPECT_NE(report.skipped[0].find("Genesis 1:3: malformed attribute"), std::string::npos) << report.skipped[0];
    EXPECT_NE(report.skipped[1].find("not clean UTF-8"), std::string::npos);
    EXPECT_NE(report.skipped[2].find("another book (Hos)"), std::string::npos);
    EXPECT_NE(report.skipped[3].find("out of order"), std::string::npos);
    EXPECT_NE(report.skipped[4].find("Genesis 51:1"), std::string::npos);
    EXPECT_NE(report.skipped[5].find("Hezekiah"), std::string::npos);
    ASSERT_EQ(model.books.size(), 2u);
    EXPECT_EQ(model.books[1].number, 95);  // books ascend by number
}

TEST(TvkModuleImport, DamagedMarkupNeverBreaksTheImport)
{
    // Fragments of real markup, cut and joined at random: every entry is either compiled or reported.
    const std::vector<std::string> pieces = {"<w lemma=\"strong:H0430\">", "</w>", "<q who=\"Jesus\">", "</q>",
        "<q who=\"Jesus\" sID=\"a\"/>", "<q who=\"Jesus\" eID=\"a\"/>", "<note placement=\"foot\">", "</note>",
        "<title>", "</title>", "<transChange type=\"added\">", "</transChange>", "<div type=\"x-p\" sID=\"p\"/>",
        "<l eID=\"l\"/>", "<reference osisRef=\"Gen.1.1\">", "</reference>", "word ", "“quoted,” ", "&amp;", "&bad;",
        "<", ">", "\"", "\xC3", "<div eID=\"b\" type=\"book\"/>", "<hi type=\"italic\">", "</hi>"};
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    std::vector<TvkImpEntry> bible, prose;
    for (int v = 1; v <= 600; ++v) {
        std::string text;
        const int n = static_cast<int>(next() % 12);
        for (int k = 0; k < n; ++k)
            text += pieces[next() % pieces.size()];
        const std::string key = "Genesis " + std::to_string(1 + (v - 1) / 30) + ":" + std::to_string(1 + (v - 1) % 30);
        bible.push_back({key, text});
        prose.push_back({key, text});
    }
    std::string deep;
    for (int k = 0; k < 100000; ++k)
        deep += "<hi>";
    bible.push_back({"Exodus 1:1", deep});
    prose.push_back({"Exodus 1:1", deep});
    TvkImportReport report;
    const auto model = tvkParseBible(bible, report);
    EXPECT_EQ(report.imported + report.empty + report.skipped.size(), bible.size());
    EXPECT_NE(report.skipped.back().find("nested too deeply"), std::string::npos);
    cTvkRichBook book;
    tvkCompileBible(model, TvkBookIdentity {}, book);
    EXPECT_FALSE(book.build().empty());
    TvkImportReport proseReport;
    cTvkRichBook commentary;
    tvkImportCommentary(prose, TvkBookIdentity {}, commentary, proseReport);
    EXPECT_EQ(proseReport.imported + proseReport.empty + proseReport.skipped.size(), prose.size());
    EXPECT_FALSE(commentary.build().empty());
}

TEST(TvkModuleImport, KeysAndReferences)
{
    EXPECT_EQ(tvkVerseKeyFromExportKey("Genesis 1:1"), 0x010101u);
    EXPECT_EQ(tvkVerseKeyFromExportKey("Revelation of John 22:21"), 0x421615u);
    EXPECT_EQ(tvkVerseKeyFromExportKey("Psalms 3:0"), 0x130300u);
    EXPECT_EQ(tvkVerseKeyFromExportKey("Genesis 0:0"), 0x010000u);
    EXPECT_EQ(tvkVerseKeyFromExportKey("III John 1:15"), 0x40010Fu);  // beyond the King James count
    for (const char* bad : {"Genesis 0:1", "Genesis 51:1", "Genesis", "Genesis 1", "Genesis a:1", "Genesis 1:256", ""})
        EXPECT_EQ(tvkVerseKeyFromExportKey(bad), 0u) << bad;
    EXPECT_EQ(tvkVerseKeyFromOsisRef("Exod.6.16"), 0x020610u);
    EXPECT_EQ(tvkVerseKeyFromOsisRef("1Chr.24"), 0x0D1801u);
    EXPECT_EQ(tvkVerseKeyFromOsisRef("Gen"), 0x010101u);
    for (const char* bad : {"Exod.41.1", "Nope.1.1", "Gen.x", "Gen.1.0", "Gen.1.1.1"})
        EXPECT_EQ(tvkVerseKeyFromOsisRef(bad), 0u) << bad;
    // Book numbers of the deuterocanonical books are the ones the reference tables name.
    for (const TvkBookName& b : tvkBookNames())
        EXPECT_EQ(tvkBookByNumber(b.number), &b);
}

TEST(TvkModuleImport, CommentaryEntriesCoverTheirVerses)
{
    TvkImportReport report;
    cTvkRichBook book;
    TvkBookIdentity id;
    id.title = "Notes";
    tvkImportCommentary(entries({{"Genesis 1:1",
                                     "<div sID=\"a\" type=\"x-p\"/>First note, see "
                                     "<reference osisRef=\"Exod.6.16-Exod.6.20\">Ex 6:16-20</reference>."
                                     "<div eID=\"a\" type=\"x-p\"/>"},
                            {"Genesis 1:3",
                                "<title type=\"x-s\">Light</title> Second <hi type=\"italic\">note</hi>, "
                                "<reference osisRef=\"mt 19:4-6\">Matthew 19:4-6</reference>; "
                                "<reference osisRef=\"zz 1:1\">nowhere</reference>"},
                            {"Genesis 2:0", "<chapter/>"}, {"Genesis 2:4", "Third"}, {"Exodus 1:1", "Fourth"},
                            {"Genesis 3:1", "out of order"}, {"Genesis 3:2", "<hi type=\"bold\">unclosed"},
                            {"Tobit 1:1", "not in the canon"}}),
        id, book, report);
    EXPECT_EQ(report.imported, 4u);
    EXPECT_EQ(report.empty, 1u);
    // Out of order (after Exodus), the entry after it likewise, and Tobit.
    EXPECT_EQ(report.skipped.size(), 3u) << ::testing::PrintToString(report.skipped);
    EXPECT_EQ(report.references, 2u);
    EXPECT_EQ(report.unreadReferences, 1u);
    OpenedBook b(book);
    ASSERT_NE(b.file.verseSyncWords(), nullptr);
    auto range = [&](const char* text) {
        return bookreading::concordanceSections(
            *b.file.verseSyncWords()->words, *b.file.verseSyncWords()->concordance, text);
    };
    // Genesis heading section 1, entries 2, 3, 4, then the Exodus heading 5 and entry 6.
    EXPECT_EQ(range("010101010102"), (std::set<uint32_t> {2}));
    EXPECT_EQ(range("010103010203"), (std::set<uint32_t> {3}));  // to the verse before 2:4
    EXPECT_EQ(range("01020401321a"), (std::set<uint32_t> {4}));  // to the end of Genesis (50:26)
    EXPECT_EQ(range("020101022826"), (std::set<uint32_t> {6}));
    ASSERT_NE(b.file.verseIndex(), nullptr);
    EXPECT_EQ(
        bookreading::concordanceSections(*b.file.verseIndex()->words, *b.file.verseIndex()->concordance, "020610"),
        (std::set<uint32_t> {2}));
    bookreading::Reader r(b.file);
    const auto e2 = r.section(3);
    EXPECT_EQ(e2.text, "Genesis 1:3 Light Second note, <ref>; nowhere ");
    EXPECT_EQ(r.section(2).text, "Genesis 1:1 First note, see <ref>. ");
}

TEST(TvkModuleImport, DictionariesLookUpByHeadword)
{
    TvkImportReport report;
    cTvkRichBook hebrew;
    tvkImportDictionary(entries({{"00001",
                                     "<entryFree n=\"1\"><orth>אב</orth><lb/><def>father <ref "
                                     "target=\"StrongsHebrew:24\">H24</ref></def></entryFree>"},
                            {"08674", "<entryFree><def>last</def></entryFree>"}, {"x12", "<def>bad key</def>"},
                            {"00002", "<def>open <b></def>"}, {"00003", ""}}),
        TvkDictionaryKind::StrongsHebrew, TvkBookIdentity {}, hebrew, report);
    EXPECT_EQ(report.imported, 3u);
    EXPECT_EQ(report.empty, 1u);
    ASSERT_EQ(report.skipped.size(), 1u);
    EXPECT_NE(report.skipped[0].find("not a Strong's number"), std::string::npos);
    OpenedBook b(hebrew);
    ASSERT_NE(b.file.syncWords(), nullptr);
    auto entry = [&](const char* w) {
        return bookreading::concordanceSections(*b.file.syncWords()->words, *b.file.syncWords()->concordance, w);
    };
    EXPECT_EQ(entry("H1"), (std::set<uint32_t> {1}));
    EXPECT_EQ(entry("H8674"), (std::set<uint32_t> {2}));
    bookreading::Reader r(b.file);
    EXPECT_EQ(r.section(1).text, "H1 אב father H24 ");
    EXPECT_EQ(r.section(1).blockTags, (std::vector<uint8_t> {TvkTag::kH3, TvkTag::kP, TvkTag::kP}));

    TvkImportReport topical;
    cTvkRichBook nave;
    tvkImportDictionary(
        entries({{"AARON", "<entryFree><def>→ Sons <ref osisRef=\"Exod.6.23\">Ex 6:23</ref></def></entryFree>"}}),
        TvkDictionaryKind::Topical, TvkBookIdentity {}, nave, topical);
    EXPECT_EQ(topical.references, 1u);
    OpenedBook n(nave);
    ASSERT_NE(n.file.verseIndex(), nullptr);
    EXPECT_EQ(
        bookreading::concordanceSections(*n.file.verseIndex()->words, *n.file.verseIndex()->concordance, "020617"),
        (std::set<uint32_t> {1}));
}

TEST(TvkModuleImport, DictionaryEntriesShowWordsNotTheirSourceEncodings)
{
    // The Greek headword's beta code (its writing form) is left out; the transliteration stays.
    TvkImportReport report;
    cTvkRichBook greek;
    tvkImportDictionary(entries({{"00444",
                            "<entryFree n=\"00444\"> <orth>ἄνθρωπος</orth> <orth type=\"writing\">A)/NQRWPOS</orth>  "
                            "<orth rend=\"bold\" type=\"trans\">ánthrōpos</orth> <def>man-faced</def></entryFree>"}}),
        TvkDictionaryKind::StrongsGreek, TvkBookIdentity {}, greek, report);
    ASSERT_EQ(report.imported, 1u);
    OpenedBook g(greek);
    const std::string text = bookreading::Reader(g.file).section(1).text;
    EXPECT_EQ(text.find("NQRWPOS"), std::string::npos) << text;
    EXPECT_NE(text.find("ἄνθρωπος ánthrōpos"), std::string::npos) << text;

    // The Hebrew dictionary's braces are its italics: gone as characters, the words in italics. An
    // entry whose braces do not pair keeps them.
    cTvkRichBook hebrew;
    tvkImportDictionary(entries({{"06629",
                                     "<entryFree><def>a {flock} that {is} from {<ref "
                                     "target=\"StrongsHebrew:14\">H14</ref>} ({[-less]})</def></entryFree>"},
                            {"06630", "<entryFree><def>odd {brace</def></entryFree>"}}),
        TvkDictionaryKind::StrongsHebrew, TvkBookIdentity {}, hebrew, report);
    OpenedBook h(hebrew);
    bookreading::Reader r(h.file);
    const bookreading::SectionText entry = r.section(1);
    EXPECT_EQ(entry.text, "H6629 a flock that is from H14 ([-less]) ");
    std::vector<std::string> italic;
    for (const bookreading::Word& w : entry.words)
        if (w.inItalic)
            italic.push_back(w.text);
    EXPECT_EQ(italic, (std::vector<std::string> {"flock", "is", "H14", "less"}));
    EXPECT_EQ(r.section(2).text, "H6630 odd {brace ");
}

// A footnote the source puts right between two words (or after a sentence's end) keeps the words
// apart once notes are hidden; before closing punctuation, after a dash or beside blanks it adds none.
TEST(TvkModuleImport, FootnotesBetweenWordsKeepTheWordsApart)
{
    TvkImportReport report;
    const auto model = tvkParseBible(
        entries({{"John 3:16",
                     "<q marker=\"\" who=\"Jesus\"><w lemma=\"strong:G3439\">only</w> born</q><note "
                     "placement=\"foot\"><reference type=\"annotateRef\">3:16 </reference>a “note”</note><q "
                     "marker=\"\" who=\"Jesus\"><w lemma=\"strong:G5207\">Son</w>, that</q>"},
            {"John 3:17",
                "God<note placement=\"foot\">n1</note><w>created</w> it.<note>n2</note>They<note>n3</note>” "
                "and<note>n4</note>, end—<note>n5</note>word <note>n6</note> spaced<note>n7</note> "
                "after<note>n8</note>"}}),
        report);
    ASSERT_TRUE(report.skipped.empty());
    ASSERT_EQ(model.books.size(), 1u);
    ASSERT_EQ(model.books[0].verses.size(), 2u);
    EXPECT_EQ(tvkPlainText(model.books[0].verses[0].inlines), "only born Son, that");
    EXPECT_EQ(tvkPlainText(model.books[0].verses[1].inlines), "God created it. They” and, end—word  spaced after");
    // The notes themselves are kept, in their place.
    EXPECT_EQ(tvkPlainText(model.books[0].verses[0].inlines, true), "only borna “note” Son, that");
    // The compiled verse keeps the blank.
    cTvkRichBook book;
    tvkCompileBible(model, TvkBookIdentity {}, book);
    OpenedBook b(book);
    bookreading::Reader r(b.file);
    EXPECT_EQ(r.section(3).text.rfind("only born", 0), 0u) << r.section(3).text;
    EXPECT_NE(r.section(3).text.find(" Son, that"), std::string::npos) << r.section(3).text;
}

// A reference that continues the one before it ("Ge 11:26,27") is spelled short, as the source
// writes it; references that name their book stay apart.
TEST(TvkModuleImport, ContinuationReferencesKeepTheShortForm)
{
    TvkImportReport report;
    cTvkRichBook nave;
    tvkImportDictionary(entries({{"ABRAHAM",
                            "<entryFree n=\"ABRAHAM\"><def><lb/>→ Son of Terah <ref osisRef=\"Gen.11.26\">Ge "
                            "11:26</ref>,<ref osisRef=\"Gen.11.27\">27</ref> <lb/>→ Haran <ref "
                            "osisRef=\"Gen.11.31\">Ge 11:31</ref>; <ref osisRef=\"Gen.12.4\">12:4</ref>; <ref "
                            "osisRef=\"Neh.9.7\">Ne 9:7</ref></def></entryFree>"}}),
        TvkDictionaryKind::Topical, TvkBookIdentity {}, nave, report);
    EXPECT_EQ(report.references, 5u);
    OpenedBook n(nave);
    bookreading::Reader r(n.file);
    const std::string text = r.section(1).text;
    // Two joined references and one of its own: three reference runs, the separators between the
    // joined ones gone.
    EXPECT_NE(text.find("Son of Terah <ref> → Haran <ref>; <ref>"), std::string::npos) << text;
    // Every verse stays indexed.
    for (const char* key : {"010b1a", "010b1b", "010c04", "100907"})
        EXPECT_EQ(bookreading::concordanceSections(*n.file.verseIndex()->words, *n.file.verseIndex()->concordance, key),
            (std::set<uint32_t> {1}))
            << key;
}

// A topical index links a verse of a one-chapter book to its chapter and leaves the verses as text
// ("<ref osisRef=\"Jude.1.1\">Jude 1</ref>:9,10"): the link takes the verses, which leave the text.
TEST(TvkModuleImport, ChapterOnlyLinksIntoOneChapterBooksTakeTheirVerses)
{
    TvkImportReport report;
    cTvkRichBook nave;
    tvkImportDictionary(entries({{"ANGEL",
                            "<entryFree><def>Contend <ref osisRef=\"Jude.1.1\">Jude 1</ref>:9,10; "
                            "<ref osisRef=\"2John.1.1\">2Jo  1</ref>:8-13 <ref osisRef=\"Obad.1.1\">Ob 1</ref>:1"
                            "<lb/>Kept <ref osisRef=\"Phlm.1.1\">Phm 1</ref>:1-2,4,6-7; "
                            "<ref osisRef=\"Jude.1.1\">Jude 1</ref>:99; <ref osisRef=\"Gen.1.1\">Ge 1</ref>:5; "
                            "<ref osisRef=\"Jude.1.1\">Jude 1:1</ref>:2</def></entryFree>"}}),
        TvkDictionaryKind::Topical, TvkBookIdentity {}, nave, report);
    EXPECT_EQ(report.references, 7u);
    EXPECT_EQ(report.repairedReferences, 4u);
    OpenedBook n(nave);
    bookreading::Reader r(n.file);
    const std::string text = r.section(1).text;
    // The verses went into the links; a verse the book does not have, a book of many chapters and a
    // link that already names its verse keep the text after them.
    EXPECT_NE(text.find("Contend <ref>; <ref> <ref> Kept <ref>; <ref>:99; <ref>:5; <ref>:2"), std::string::npos)
        << text;
    const auto sections = [&](const char* key) {
        return bookreading::concordanceSections(*n.file.verseIndex()->words, *n.file.verseIndex()->concordance, key);
    };
    for (const char* key : {"410109", "41010a", "3f0108", "3f010d", "1f0101", "390101", "390102", "390104", "390106",
             "390107", "410101", "010101"})
        EXPECT_EQ(sections(key), (std::set<uint32_t> {1})) << key;
    for (const char* key : {"41010b", "3f0107", "390103", "390105", "1f0102"})
        EXPECT_TRUE(sections(key).empty()) << key;
}

TEST(TvkModuleImport, DevotionalHas365ReadingsInOrder)
{
    std::vector<TvkImpEntry> list;
    for (int c = 1; c <= 2; ++c)
        for (int v = 1; v <= 6; ++v)
            list.push_back(
                {"Psalms " + std::to_string(c) + ":" + std::to_string(v), "Verse " + std::to_string(c * 10 + v)});
    TvkImportReport report;
    const auto model = tvkParseBible(list, report);
    cTvkRichBook book;
    TvkBookIdentity id;
    id.title = "Daily";
    tvkCompileDevotional(model, {19}, id, book);
    OpenedBook b(book);
    ASSERT_EQ(b.file.dateSync().readingCount(), 365u);
    uint8_t month, day, third;
    b.file.dateSync().defaultStart(month, day, third);
    EXPECT_EQ(month, 1);
    EXPECT_EQ(day, 1);
    // Every verse is read exactly once, in order, across the year.
    bookreading::Reader r(b.file);
    std::string all;
    uint32_t previous = 0;
    for (uint32_t i = 0; i < 365; ++i) {
        const uint32_t s = b.file.dateSync().sectionOfReading(i);
        EXPECT_GT(s, previous);
        previous = s;
        all += r.section(s).text;
    }
    EXPECT_NE(all.find("Psalms 1:1 Verse 11"), std::string::npos);
    EXPECT_NE(all.find("Psalms 2:6 Verse 26"), std::string::npos);
    EXPECT_LT(all.find("Verse 16"), all.find("Verse 21"));
    EXPECT_EQ(r.section(b.file.dateSync().sectionOfReading(364)).text.rfind("December 31", 0), 0u);
    // The verse index finds each verse's reading, and only it; a verse no reading reads, nothing.
    ASSERT_NE(b.file.verseIndex(), nullptr);
    const auto indexed = [&](const std::string& key) {
        return bookreading::concordanceSections(*b.file.verseIndex()->words, *b.file.verseIndex()->concordance, key);
    };
    for (int c = 1; c <= 2; ++c)
        for (int v = 1; v <= 6; ++v) {
            const std::string shown = "Psalms " + std::to_string(c) + ":" + std::to_string(v) + " Verse";
            std::set<uint32_t> readers;
            for (uint32_t i = 0; i < 365; ++i) {
                const uint32_t s = b.file.dateSync().sectionOfReading(i);
                if (r.section(s).text.find(shown) != std::string::npos)
                    readers.insert(s);
            }
            const std::string key = BkSyncFormat::verseKeyText((19u << 16) | (uint32_t(c) << 8) | uint32_t(v));
            EXPECT_EQ(readers.size(), 1u) << shown;
            EXPECT_EQ(indexed(key), readers) << key;
        }
    EXPECT_TRUE(indexed(BkSyncFormat::verseKeyText((19u << 16) | (1u << 8) | 7u)).empty());
}

TEST(TvkModuleImport, ReferenceTablesTravelWithTheBible)
{
    cTvkRichBook book;
    book.kind = cTvkRichBook::Kind::Bible;
    book.addSection({"1:1", 3, 0x010101, {TvkNode::element(TvkTag::kP, {TvkNode::text("x")})}});
    std::vector<uint8_t> web, own = {1, 2};
    for (uint8_t n = 1; n <= 66; ++n)
        web.push_back(n);
    web.push_back(95);  // Tobit, after the canon as the Bible holds it
    tvkAddReferenceTables(book, "RV1909", {{"WEB", web}, {"RV1909", own}});
    // A Bible the translation list does not name lists its own books in its header.
    EXPECT_EQ(book.info.bibleBooks, "67,1,2,68");
    EXPECT_EQ(book.info.tableVersions[static_cast<int>(BibleRefTable::BibleBooks)],
        cBibleRefDefaults::kBibleBooksVersion + 1);
    EXPECT_EQ(
        book.info.tableVersions[static_cast<int>(BibleRefTable::BookNames)], cBibleRefDefaults::kBookNamesVersion);
    EXPECT_EQ(book.info.tableVersions[static_cast<int>(BibleRefTable::VerseMap)], 0u);
    OpenedBook b(book);
    ASSERT_NE(b.file.bibleRefFiles(), nullptr);
    // Each table reads back through the table reader with every row (as a version 0 load would take it).
    const std::string folder = b.path + ".tables";
    std::filesystem::create_directory(folder);
    size_t bookRows = 0;
    for (const auto& list : cBibleRefDefaults::bibleBooks())
        for (int16_t n : list)
            bookRows += n != kBookListEnd ? 1 : 0;
    for (const auto& [name, rows] : std::vector<std::pair<std::string, size_t>> {
             {"EnglishBookNameList.csv", cBibleRefDefaults::englishBookNames().size()},
             {"SpanishBookNameList.csv", cBibleRefDefaults::spanishBookNames().size()},
             {"BookNumToNameNum.csv", cBibleRefDefaults::bookNumToNameNum().size()},
             {"TotalOrderOnBookNumber.csv", cBibleRefDefaults::totalOrderOnBookNumber().size()},
             {"BibleBooks.csv", bookRows + 1}}) {
        ASSERT_EQ(b.file.bibleRefFiles()->extractToFile(name, folder), 0u) << name;
        std::FILE* f = std::fopen((folder + "/" + name).c_str(), "rb");
        ASSERT_NE(f, nullptr) << name;
        const auto result = cBibleRefTableReader(f).readStrict(0, name.find("BookNameList") == std::string::npos);
        std::fclose(f);
        EXPECT_EQ(result.code, kBibleRefLoadOk) << name;
        EXPECT_EQ(result.rows.size(), rows) << name;
        if (name == "BibleBooks.csv") {
            EXPECT_EQ(result.count, cBibleRefDefaults::bibleBooks().size());
            // The WEB (translation 13) lists Tobit before its back matter.
            std::vector<std::string> webRow;
            for (const auto& row : result.rows)
                if (row.size() == 3 && row[0] == "13")
                    webRow.push_back(row[2]);
            ASSERT_EQ(webRow.size(), 69u);
            EXPECT_EQ(webRow[67], "95");
            EXPECT_EQ(webRow[68], "68");
        }
    }
    std::filesystem::remove_all(folder);
}

TEST(TvkAuthoredSource, SectionsContentsAndMarkup)
{
    cTvkRichBook book;
    std::string error;
    ASSERT_TRUE(tvkBookFromAuthoredSource("% comment\n@title Help\n@bookid 23\n@language 1033\n"
                                          "= One\nFirst *italic* and **bold**\nline.\n\n- item \\*a\\*\n- two\n"
                                          "== Two\nText.\n= Three\n",
        book, error))
        << error;
    EXPECT_EQ(book.info.bookName, "Help");
    EXPECT_EQ(book.info.bookId, 23);
    ASSERT_EQ(book.sectionCount(), 4u);
    EXPECT_EQ(book.section(2).level, 2);
    OpenedBook b(book);
    bookreading::Reader r(b.file);
    const auto one = r.section(1);
    EXPECT_EQ(one.blockTags, (std::vector<uint8_t> {TvkTag::kH2, TvkTag::kP, TvkTag::kUl}));
    EXPECT_EQ(one.text, "One First italic and bold line. item *a* two ");
    EXPECT_TRUE(one.words[2].inItalic);
    EXPECT_FALSE(one.words[3].inItalic);
    uint8_t level;
    std::string title;
    b.file.toc().readEntry(2, level, title);
    EXPECT_EQ(title, "Two");
    EXPECT_EQ(level, 2);
}

TEST(TvkAuthoredSource, ErrorsNameTheLine)
{
    struct Case {
        const char* source;
        const char* error;
    } cases[] = {
        {"text first\n", "line 1: text before the first section"},
        {"= A\n@title late\n", "line 2: header line after the first section"},
        {"@bogus x\n= A\n", "line 1: unknown header @bogus"},
        {"@bookid 70000\n= A\n", "line 1: bad number for @bookid"},
        {"= A\nan *open\n\n", "line 3: unclosed *"},
        {"= A\n**b*\n", "line 3: mismatched * and **"},
        {"=======  deep\n", "line 1: more than six levels"},
        {"=\n", "line 1: section without a title"},
        {"% only a comment\n", "the source has no sections"},
    };
    for (const Case& c : cases) {
        cTvkRichBook book;
        std::string error;
        EXPECT_FALSE(tvkBookFromAuthoredSource(c.source, book, error)) << c.source;
        EXPECT_EQ(error, c.error) << c.source;
    }
}

}  // namespace
