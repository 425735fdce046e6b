// The built-in reference tables. Book names, translations, start keys, chapter words and
// the one-chapter books are the program's own lists. Book numbers 1-66 are the books of the
// Protestant canon in canonical order, 67 and 68 the front and back matter; the verse map
// describes King James versification, one identity row per chapter, so its rows also give
// every chapter's verse count. A Bible that brings its own table files replaces these.
#include "engine/references/cBibleRefDefaults.h"

#include <iterator>

namespace {

struct BookNameDefault {
    const char* text;
    std::uint8_t minimumMatch;
    std::uint8_t nameNumber;
    std::uint8_t kinds;
};

// Sorted by first letter (folded); the name matcher relies on it. Latin-1 texts.
const BookNameDefault kEnglishBookNames[] = {
    {"1 Chr", 5, 13, 4},
    {"1 Chronicles", 4, 13, 2},
    {"1 Cor", 5, 46, 4},
    {"1 Corinthians", 4, 46, 2},
    {"1 Esdras", 3, 68, 2},
    {"1 Jn", 3, 62, 0},
    {"1 John", 3, 62, 2},
    {"1 John", 6, 62, 4},
    {"1 Kgs", 4, 11, 0},
    {"1 Kin", 5, 11, 4},
    {"1 Kings", 3, 11, 2},
    {"1 Maccabees", 3, 80, 2},
    {"1 Pet", 5, 60, 4},
    {"1 Peter", 3, 60, 2},
    {"1 Sam", 5, 9, 4},
    {"1 Samuel", 3, 9, 2},
    {"1 Thess", 7, 52, 4},
    {"1 Thessalonians", 4, 52, 2},
    {"1 Tim", 5, 54, 4},
    {"1 Timothy", 4, 54, 2},
    {"1Chronicles", 3, 13, 1},
    {"1Corinthians", 3, 46, 1},
    {"1Esdras", 3, 68, 1},
    {"1E", 2, 68, 0},
    {"1Jn", 3, 62, 1},
    {"1John", 2, 62, 0},
    {"1Kings", 3, 11, 1},
    {"1Kgs", 3, 11, 0},
    {"1K", 2, 11, 0},
    {"1Maccabees", 3, 80, 1},
    {"1M", 2, 80, 0},
    {"1Peter", 3, 60, 1},
    {"1P", 2, 60, 0},
    {"1Samuel", 3, 9, 1},
    {"1S", 2, 9, 0},
    {"1Thessalonians", 3, 52, 1},
    {"1Timothy", 3, 54, 1},
    {"2 Chr", 5, 14, 4},
    {"2 Chronicles", 4, 14, 2},
    {"2 Cor", 5, 47, 4},
    {"2 Corinthians", 4, 47, 2},
    {"2 Esdras", 3, 69, 2},
    {"2 Jn", 3, 63, 0},
    {"2 John", 3, 63, 2},
    {"2 John", 6, 63, 4},
    {"2 Kin", 5, 12, 4},
    {"2 Kings", 3, 12, 2},
    {"2 Kgs", 4, 12, 0},
    {"2 Maccabees", 3, 81, 2},
    {"2 Pet", 5, 61, 4},
    {"2 Peter", 3, 61, 2},
    {"2 Sam", 5, 10, 4},
    {"2 Samuel", 3, 10, 2},
    {"2 Thess", 7, 53, 4},
    {"2 Thessalonians", 4, 53, 2},
    {"2 Tim", 5, 55, 4},
    {"2 Timothy", 4, 55, 2},
    {"2Chronicles", 3, 14, 1},
    {"2Corinthians", 3, 47, 1},
    {"2Esdras", 3, 69, 1},
    {"2E", 2, 69, 0},
    {"2Jn", 3, 63, 1},
    {"2John", 2, 63, 0},
    {"2Kings", 3, 12, 1},
    {"2Kgs", 3, 12, 0},
    {"2K", 2, 12, 0},
    {"2Maccabees", 3, 81, 1},
    {"2M", 2, 81, 0},
    {"2Peter", 3, 61, 1},
    {"2P", 2, 61, 0},
    {"2Samuel", 3, 10, 1},
    {"2S", 2, 10, 0},
    {"2Thessalonians", 3, 53, 1},
    {"2Timothy", 3, 55, 1},
    {"3 Jn", 3, 64, 0},
    {"3 John", 3, 64, 2},
    {"3 John", 6, 64, 4},
    {"3 Maccabees", 3, 82, 2},
    {"3Jn", 3, 64, 1},
    {"3John", 2, 64, 0},
    {"3Maccabees", 3, 82, 1},
    {"3M", 2, 82, 0},
    {"4 Maccabees", 3, 83, 2},
    {"4Maccabees", 3, 83, 1},
    {"4M", 2, 83, 0},
    {"A Letter of Jeremiah", 20, 75, 0},
    {"Acts", 2, 44, 3},
    {"Acts", 4, 44, 4},
    {"Add Esther", 7, 71, 0},
    {"AddEsther", 6, 71, 1},
    {"Additions to Esther", 19, 71, 2},
    {"Amos", 2, 30, 3},
    {"Amos", 4, 30, 4},
    {"Azariah", 3, 76, 3},
    {"Back Matter", 11, 86, 2},
    {"Baruch", 3, 74, 3},
    {"BckM", 4, 86, 1},
    {"Bel and Dragon", 14, 78, 0},
    {"Bel and the Dragon", 3, 78, 3},
    {"Book of Wisdom", 14, 72, 0},
    {"Canticles", 9, 22, 0},
    {"Colossians", 3, 51, 7},
    {"Dan", 3, 27, 4},
    {"Daniel", 2, 27, 3},
    {"Deut", 4, 5, 4},
    {"Deuteronomy", 2, 5, 2},
    {"Dt", 2, 5, 1},
    {"Eccl", 4, 21, 4},
    {"Ecclesiastes", 2, 21, 3},
    {"Ecclesiasticus", 14, 73, 0},
    {"Ecclus", 6, 73, 0},
    {"Eph", 3, 49, 4},
    {"Ephesians", 2, 49, 3},
    {"Esther (Greek)", 14, 97, 2},
    {"Est (Gk)", 8, 97, 1},
    {"Esth", 4, 17, 4},
    {"Esther", 2, 17, 3},
    {"Exodus", 2, 2, 7},
    {"Ezek", 4, 26, 4},
    {"Ezekiel", 3, 26, 3},
    {"Ezk", 3, 26, 0},
    {"Ezra", 3, 15, 3},
    {"Ezra", 4, 15, 4},
    {"First Chronicles", 9, 13, 0},
    {"First Corinthians", 9, 46, 0},
    {"First John", 10, 62, 0},
    {"First Kings", 8, 11, 0},
    {"First Maccabees", 8, 80, 0},
    {"First Peter", 11, 60, 0},
    {"First Samuel", 9, 9, 0},
    {"First Thessalonians", 10, 52, 0},
    {"First Timothy", 8, 54, 0},
    {"FntM", 4, 85, 1},
    {"Fourth Maccabees", 8, 83, 0},
    {"Front Matter", 12, 85, 2},
    {"Gal", 3, 48, 4},
    {"Galatians", 2, 48, 3},
    {"Gen", 3, 1, 4},
    {"Genesis", 2, 1, 3},
    {"Glossary", 2, 87, 3},
    {"Gn", 2, 1, 0},
    {"Habakkuk", 3, 35, 7},
    {"Haggai", 3, 37, 7},
    {"Hebrews", 3, 58, 7},
    {"Hos", 3, 28, 4},
    {"Hosea", 2, 28, 3},
    {"I Chronicles", 4, 13, 0},
    {"I Corinthians", 4, 46, 0},
    {"I Esdras", 3, 68, 0},
    {"I Jn", 3, 62, 0},
    {"I John", 3, 62, 0},
    {"I Kgs", 4, 11, 0},
    {"I Kings", 3, 11, 0},
    {"I Maccabees", 3, 80, 0},
    {"I Peter", 3, 60, 0},
    {"I Samuel", 3, 9, 0},
    {"I Thessalonians", 4, 52, 0},
    {"I Timothy", 4, 54, 0},
    {"II Chronicles", 5, 14, 0},
    {"II Corinthians", 5, 47, 0},
    {"II Esdras", 4, 69, 0},
    {"II Jn", 4, 63, 0},
    {"II John", 4, 63, 0},
    {"II Kings", 4, 12, 0},
    {"II Kgs", 5, 12, 0},
    {"II Maccabees", 4, 81, 0},
    {"II Peter", 4, 61, 0},
    {"II Samuel", 4, 10, 0},
    {"II Thessalonians", 5, 53, 0},
    {"II Timothy", 5, 55, 0},
    {"III Jn", 5, 64, 0},
    {"III John", 5, 64, 0},
    {"III Maccabees", 5, 82, 0},
    {"IV Maccabees", 4, 83, 0},
    {"Isaiah", 3, 23, 7},
    {"James", 2, 59, 2},
    {"James", 5, 59, 4},
    {"Jas", 3, 59, 1},
    {"Jde", 3, 65, 0},
    {"Jdg", 3, 7, 1},
    {"Jdt", 3, 70, 1},
    {"Jer", 3, 24, 4},
    {"Jeremiah", 2, 24, 3},
    {"Jms", 3, 59, 0},
    {"Jn", 2, 43, 1},
    {"Jnh", 3, 32, 0},
    {"Job", 3, 18, 7},
    {"Joel", 3, 29, 3},
    {"Joel", 4, 29, 4},
    {"John", 3, 43, 2},
    {"John", 4, 43, 4},
    {"Jonah", 3, 32, 7},
    {"Josh", 4, 6, 4},
    {"Joshua", 3, 6, 3},
    {"Jude", 4, 65, 7},
    {"Judges", 4, 7, 6},
    {"Judith", 6, 70, 2},
    {"Lam", 3, 25, 4},
    {"Lamentations", 2, 25, 3},
    {"Let Jeremiah", 7, 75, 0},
    {"LetJeremiah", 6, 75, 1},
    {"Letter of Jeremiah", 18, 75, 0},
    {"Leviticus", 3, 3, 7},
    {"Lk", 2, 42, 1},
    {"Luke", 2, 42, 2},
    {"Luke", 4, 42, 4},
    {"Lv", 2, 3, 0},
    {"Malachi", 3, 39, 7},
    {"Manasseh", 3, 79, 3},
    {"Mark", 3, 41, 2},
    {"Mark", 4, 41, 4},
    {"Matt", 4, 40, 4},
    {"Matthew", 3, 40, 2},
    {"Mic", 3, 33, 4},
    {"Micah", 2, 33, 3},
    {"Mk", 2, 41, 1},
    {"Mr", 2, 41, 0},
    {"Mt", 2, 40, 1},
    {"Nah", 3, 34, 4},
    {"Nahum", 2, 34, 3},
    {"Neh", 3, 16, 4},
    {"Nehemiah", 2, 16, 3},
    {"Num", 3, 4, 4},
    {"Numbers", 2, 4, 3},
    {"Obad", 4, 31, 4},
    {"Obadiah", 2, 31, 3},
    {"Philem", 6, 57, 4},
    {"Philemon", 5, 57, 2},
    {"Philippians", 4, 50, 6},
    {"Phl", 3, 50, 1},
    {"Phlm", 4, 57, 1},
    {"Phm", 3, 57, 0},
    {"Php", 3, 50, 0},
    {"Pr Azr", 6, 76, 0},
    {"Pr Man", 6, 79, 1},
    {"Prov", 4, 20, 4},
    {"Proverbs", 2, 20, 3},
    {"Psalms", 2, 19, 7},
    {"Pss", 3, 19, 0},
    {"Revelation", 3, 66, 7},
    {"Rm", 2, 45, 0},
    {"Rom", 3, 45, 4},
    {"Romans", 2, 45, 3},
    {"Ruth", 4, 8, 4},
    {"Ruth", 2, 8, 3},
    {"Second Chronicles", 10, 14, 0},
    {"Second Corinthians", 10, 47, 0},
    {"Second John", 11, 63, 0},
    {"Second Kings", 9, 12, 0},
    {"Second Maccabees", 9, 81, 0},
    {"Second Peter", 12, 61, 0},
    {"Second Samuel", 10, 10, 0},
    {"Second Thessalonians", 11, 53, 0},
    {"Second Timothy", 9, 55, 0},
    {"Sirach", 3, 73, 3},
    {"Sol", 3, 22, 0},
    {"Song of Solomon", 4, 22, 7},
    {"Song of Songs", 4, 22, 0},
    {"SS", 2, 22, 0},
    {"Susanna", 3, 77, 3},
    {"The Book of Wisdom", 18, 72, 0},
    {"The Letter of Jeremiah", 22, 75, 2},
    {"The Prayer of Manasseh", 22, 79, 2},
    {"The Song of the Three Children", 30, 76, 0},
    {"Third John", 7, 64, 0},
    {"Third Maccabees", 7, 82, 0},
    {"Titus", 3, 56, 3},
    {"Titus", 5, 56, 4},
    {"Tobit", 3, 84, 3},
    {"Wisdom of Solomon", 3, 72, 3},
    {"Zech", 4, 38, 4},
    {"Zechariah", 3, 38, 3},
    {"Zeph", 4, 36, 4},
    {"Zephaniah", 3, 36, 3},
};

const BookNameDefault kSpanishBookNames[] = {
    {"1 Corintios", 4, 46, 2},
    {"1 Cronicas", 5, 13, 0},
    {"1 Cr\xF3nicas", 4, 13, 2},
    {"1 Jn", 4, 62, 0},
    {"1 Juan", 3, 62, 2},
    {"1 Pedro", 3, 60, 2},
    {"1 Reyes", 3, 11, 2},
    {"1 Samuel", 3, 9, 2},
    {"1 San Juan", 7, 62, 0},
    {"1 San Pedro", 7, 60, 0},
    {"1 Tesalonicenses", 4, 52, 2},
    {"1 Timoteo", 4, 54, 2},
    {"1 Ts", 4, 52, 0},
    {"1Corintios", 3, 46, 1},
    {"1Cronicas", 4, 13, 0},
    {"1Cr\xF3nicas", 3, 13, 1},
    {"1Jn", 3, 62, 0},
    {"1Juan", 2, 62, 1},
    {"1Pedro", 2, 60, 1},
    {"1Reyes", 2, 11, 1},
    {"1Samuel", 2, 9, 1},
    {"1Tesalonicenses", 3, 52, 0},
    {"1Timoteo", 3, 54, 1},
    {"1Ts", 3, 52, 1},
    {"2 Corintios", 4, 47, 2},
    {"2 Cronicas", 5, 14, 0},
    {"2 Cr\xF3nicas", 4, 14, 2},
    {"2 Jn", 4, 63, 0},
    {"2 Juan", 3, 63, 2},
    {"2 Pedro", 3, 61, 2},
    {"2 Reyes", 3, 12, 2},
    {"2 Samuel", 3, 10, 2},
    {"2 San Juan", 7, 63, 0},
    {"2 San Pedro", 7, 61, 0},
    {"2 Tesalonicenses", 4, 53, 2},
    {"2 Timoteo", 4, 55, 2},
    {"2 Ts", 4, 53, 0},
    {"2Corintios", 3, 47, 1},
    {"2Cronicas", 4, 14, 0},
    {"2Cr\xF3nicas", 3, 14, 1},
    {"2Jn", 3, 63, 0},
    {"2Juan", 2, 63, 1},
    {"2Pedro", 2, 61, 1},
    {"2Reyes", 2, 12, 1},
    {"2Samuel", 2, 10, 1},
    {"2Tesalonicenses", 3, 53, 0},
    {"2Timoteo", 3, 55, 1},
    {"2Ts", 3, 53, 1},
    {"3 Jn", 4, 64, 0},
    {"3 Juan", 3, 64, 2},
    {"3 San Juan", 7, 64, 0},
    {"3Jn", 3, 64, 0},
    {"3Juan", 2, 64, 1},
    {"Abdias", 4, 31, 0},
    {"Abd\xED"
     "as",
        3, 31, 3},
    {"Amos", 3, 30, 0},
    {"Am\xF3s", 2, 30, 3},
    {"Apendice", 8, 86, 0},
    {"Ap\xE9ndice", 8, 86, 3},
    {"Apocalipsis", 2, 66, 3},
    {"Cantares", 2, 22, 2},
    {"Cnt", 3, 22, 1},
    {"Colosenses", 3, 51, 3},
    {"Daniel", 3, 27, 2},
    {"Deuteronomio", 3, 5, 2},
    {"Dn", 2, 27, 1},
    {"Dt", 2, 5, 1},
    {"Eclesiastes", 10, 21, 0},
    {"Eclesiast\xE9s", 2, 21, 3},
    {"Efesios", 2, 49, 3},
    {"El Apocalipsis", 4, 66, 0},
    {"Esdras", 3, 15, 3},
    {"Ester", 3, 17, 3},
    {"Exodo", 2, 2, 0},
    {"Ezequiel", 2, 26, 3},
    {"Filemon", 6, 57, 0},
    {"Filem\xF3n", 4, 57, 2},
    {"Filipenses", 3, 50, 3},
    {"Flm", 3, 57, 1},
    {"Gal", 2, 48, 0},
    {"Glosario", 8, 87, 3},
    {"Gn", 2, 1, 1},
    {"Galatas", 2, 48, 0},
    {"G\xE1latas", 2, 48, 3},
    {"Genesis", 2, 1, 0},
    {"G\xE9nesis", 2, 1, 2},
    {"Habacuc", 3, 35, 3},
    {"Hageo", 3, 37, 3},
    {"Hch", 3, 44, 1},
    {"Hebreos", 3, 58, 3},
    {"Hechos", 3, 44, 2},
    {"Informacion Introductoria", 10, 85, 0},
    {"Informaci\xF3n Introductoria", 4, 85, 3},
    {"Isaias", 4, 23, 0},
    {"Isa\xED"
     "as",
        2, 23, 3},
    {"Jeremias", 6, 24, 0},
    {"Jerem\xED"
     "as",
        3, 24, 3},
    {"Jl", 2, 29, 1},
    {"Jn", 2, 43, 1},
    {"Job", 3, 18, 3},
    {"Joel", 4, 29, 2},
    {"Jonas", 4, 32, 0},
    {"Jon\xE1s", 3, 32, 3},
    {"Josue", 5, 6, 0},
    {"Josu\xE9", 3, 6, 3},
    {"Juan", 4, 43, 2},
    {"Judas", 3, 65, 3},
    {"Jueces", 3, 7, 3},
    {"Lamentaciones", 3, 25, 2},
    {"Lc", 2, 42, 1},
    {"Levitico", 4, 3, 0},
    {"Lev\xEDtico", 3, 3, 2},
    {"Lm", 2, 25, 1},
    {"Los Proverbios", 6, 20, 0},
    {"Los Psalmos", 6, 19, 0},
    {"Lucas", 3, 42, 2},
    {"Lv", 2, 3, 1},
    {"Malaquias", 7, 39, 0},
    {"Malaqu\xED"
     "as",
        3, 39, 3},
    {"Marcos", 3, 41, 2},
    {"Mateo", 3, 40, 2},
    {"Miqueas", 2, 33, 3},
    {"Mr", 2, 41, 1},
    {"Mt", 2, 40, 1},
    {"Nahum", 4, 34, 0},
    {"Nah\xFAm", 3, 34, 3},
    {"Nehemias", 6, 16, 0},
    {"Nehem\xED"
     "as",
        3, 16, 3},
    {"Nm", 2, 4, 1},
    {"Numeros", 2, 4, 0},
    {"N\xFAmeros", 2, 4, 2},
    {"Oseas", 2, 28, 3},
    {"Proverbios", 2, 20, 3},
    {"Romanos", 2, 45, 3},
    {"Rt", 2, 8, 1},
    {"Rut", 3, 8, 2},
    {"Salmos", 3, 19, 3},
    {"San Juan", 7, 43, 0},
    {"San Judas", 7, 65, 0},
    {"San Lucas", 5, 42, 0},
    {"San Marcos", 7, 41, 0},
    {"San Mateo", 7, 40, 0},
    {"Santiago", 3, 59, 2},
    {"Sofonias", 6, 36, 0},
    {"Sofon\xED"
     "as",
        3, 36, 3},
    {"Stg", 3, 59, 1},
    {"Tito", 3, 56, 3},
    {"Zacarias", 6, 38, 0},
    {"Zacar\xED"
     "as",
        3, 38, 3},
    {"\xC9xodo", 2, 2, 3},
};

struct TranslationDefault {
    const char* abbreviation;
    const char* name;
    std::uint8_t number;
    std::uint8_t shown;
};

// Longer abbreviations precede their prefixes: the first row that matches wins.
// Latin-1 texts; "NAB" and "NABRE" use the alternate categories.
const TranslationDefault kTranslations[] = {
    {"AMP", "Amplified Bible", 12, 1},
    {"ASV", "American Standard Version", 5, 1},
    {"BBE", "Bible in Basic English", 24, 1},
    {"BSB", "Berean Standard Bible", 50, 1},
    {"BYZGNT", "Byzantine Greek New Testament", 40, 1},
    {"CEB", "Common English Bible", 54, 1},
    {"CEV", "Contemporary English Version", 48, 1},
    {"CJB", "Complete Jewish Bible", 18, 1},
    {"CSBEC", "Christian Standard Bible", 43, 0},
    {"CSB", "Christian Standard Bible", 43, 1},
    {"DNT", "Darby New Translation", 16, 1},
    {"EHV", "Evangelical Heritage Version", 53, 1},
    {"ESV", "English Standard Version", 9, 1},
    {"EXB", "Expanded Bible", 30, 1},
    {"GEN", "Geneva Bible", 27, 1},
    {"GNT", "Good News Translation", 47, 1},
    {"GWT", "God's Word Translation", 28, 0},
    {"GW", "God's Word Translation", 28, 1},
    {"HCSBEC", "Holman Christian Standard Bible", 17, 0},
    {"HCSB", "Holman Christian Standard Bible", 17, 1},
    {"ICB", "International Children's Bible", 29, 1},
    {"JBS", "Biblia del Jubileo", 37, 1},
    {"JUB", "Jubilee Bible 2000", 36, 1},
    {"KJVEC", "King James Version", 1, 0},
    {"KJV", "King James Version", 1, 1},
    {"LBLA", "La Biblia de las Am\xE9ricas", 33, 1},
    {"LSBEC", "Legacy Standard Bible", 51, 0},
    {"LSB", "Legacy Standard Bible", 51, 1},
    {"MSG", "The Message", 11, 1},
    {"NABRE", "New American Bible, Revised Edition", 31, 1},
    {"NAB", "New American Bible", 7, 1},
    {"NASB1995", "New American Standard Bible 1995", 45, 1},
    {"NASEC1995", "New American Standard Bible 1995", 45, 0},
    {"NASB", "New American Standard Bible", 2, 1},
    {"NASEC", "New American Standard Bible", 2, 0},
    {"NBLA", "Nueva Biblia de las Am\xE9ricas", 46, 1},
    {"NBLH", "Nueva Biblia Latinoamericana de Hoy", 34, 1},
    {"NCV", "New Century Version", 22, 1},
    {"NETEC", "New English Translation", 21, 0},
    {"NET", "New English Translation", 21, 1},
    {"NIrV", "New International Reader's Version", 23, 1},
    {"NIVEC", "New International Version", 3, 0},
    {"NIV", "New International Version", 3, 1},
    {"NKJV", "New King James Version", 4, 1},
    {"NLTSE", "New Living Translation, Second Edition", 19, 1},
    {"NLT", "New Living Translation", 8, 1},
    {"NRSVue", "New Revised Standard Version Updated Edition", 52, 1},
    {"NRSV", "New Revised Standard Version", 6, 1},
    {"NVI", "Nueva Versi\xF3n Internacional", 20, 1},
    {"RP2005", "Robinson-Pierpont Byzantine Textform 2005", 39, 1},
    {"RSV", "Revised Standard Version", 14, 1},
    {"RVR60", "Reina-Valera 1960", 49, 1},
    {"RVR95EC", "Reina-Valera 1995", 32, 0},
    {"RVR95", "Reina-Valera 1995", 32, 1},
    {"SBLGNT", "SBL Greek New Testament", 35, 1},
    {"TLV", "Tree of Life Version", 38, 1},
    {"TNIV", "Today's New International Version", 10, 1},
    {"TPT", "The Passion Translation", 44, 1},
    {"TRGNT", "Textus Receptus Greek New Testament", 41, 1},
    {"WHGNT", "Westcott-Hort Greek New Testament", 42, 1},
    {"YLT", "Young's Literal Translation", 15, 1},
    {"WBS", "Webster Bible", 25, 1},
    {"WEBEC", "World English Bible", 13, 0},
    {"WEB", "World English Bible", 13, 1},
    {"WEY", "Weymouth New Testament", 26, 1},
};
static_assert(std::size(kTranslations) == 65);

// Verse counts of every chapter in King James versification, books 1-66.
const std::vector<std::uint8_t> kKjvVerseCounts[66] = {
    /* Genesis */ {31, 25, 24, 26, 32, 22, 24, 22, 29, 32, 32, 20, 18, 24, 21, 16, 27, 33, 38, 18, 34, 24, 20, 67, 34,
        35, 46, 22, 35, 43, 55, 32, 20, 31, 29, 43, 36, 30, 23, 23, 57, 38, 34, 34, 28, 34, 31, 22, 33, 26},
    /* Exodus */
    {22, 25, 22, 31, 23, 30, 25, 32, 35, 29, 10, 51, 22, 31, 27, 36, 16, 27, 25, 26, 36, 31, 33, 18, 40, 37, 21, 43, 46,
        38, 18, 35, 23, 35, 35, 38, 29, 31, 43, 38},
    /* Leviticus */
    {17, 16, 17, 35, 19, 30, 38, 36, 24, 20, 47, 8, 59, 57, 33, 34, 16, 30, 37, 27, 24, 33, 44, 23, 55, 46, 34},
    /* Numbers */
    {54, 34, 51, 49, 31, 27, 89, 26, 23, 36, 35, 16, 33, 45, 41, 50, 13, 32, 22, 29, 35, 41, 30, 25, 18, 65, 23, 31, 40,
        16, 54, 42, 56, 29, 34, 13},
    /* Deuteronomy */
    {46, 37, 29, 49, 33, 25, 26, 20, 29, 22, 32, 32, 18, 29, 23, 22, 20, 22, 21, 20, 23, 30, 25, 22, 19, 19, 26, 68, 29,
        20, 30, 52, 29, 12},
    /* Joshua */ {18, 24, 17, 24, 15, 27, 26, 35, 27, 43, 23, 24, 33, 15, 63, 10, 18, 28, 51, 9, 45, 34, 16, 33},
    /* Judges */ {36, 23, 31, 24, 31, 40, 25, 35, 57, 18, 40, 15, 25, 20, 20, 31, 13, 31, 30, 48, 25},
    /* Ruth */ {22, 23, 18, 22},
    /* 1Samuel */
    {28, 36, 21, 22, 12, 21, 17, 22, 27, 27, 15, 25, 23, 52, 35, 23, 58, 30, 24, 42, 15, 23, 29, 22, 44, 25, 12, 25, 11,
        31, 13},
    /* 2Samuel */ {27, 32, 39, 12, 25, 23, 29, 18, 13, 19, 27, 31, 39, 33, 37, 23, 29, 33, 43, 26, 22, 51, 39, 25},
    /* 1Kings */ {53, 46, 28, 34, 18, 38, 51, 66, 28, 29, 43, 33, 34, 31, 34, 34, 24, 46, 21, 43, 29, 53},
    /* 2Kings */ {18, 25, 27, 44, 27, 33, 20, 29, 37, 36, 21, 21, 25, 29, 38, 20, 41, 37, 37, 21, 26, 20, 37, 20, 30},
    /* 1Chronicles */
    {54, 55, 24, 43, 26, 81, 40, 40, 44, 14, 47, 40, 14, 17, 29, 43, 27, 17, 19, 8, 30, 19, 32, 31, 31, 32, 34, 21, 30},
    /* 2Chronicles */
    {17, 18, 17, 22, 14, 42, 22, 18, 31, 19, 23, 16, 22, 15, 19, 14, 19, 34, 11, 37, 20, 12, 21, 27, 28, 23, 9, 27, 36,
        27, 21, 33, 25, 33, 27, 23},
    /* Ezra */ {11, 70, 13, 24, 17, 22, 28, 36, 15, 44},
    /* Nehemiah */ {11, 20, 32, 23, 19, 19, 73, 18, 38, 39, 36, 47, 31},
    /* Esther */ {22, 23, 15, 17, 14, 14, 10, 17, 32, 3},
    /* Job */
    {22, 13, 26, 21, 27, 30, 21, 22, 35, 22, 20, 25, 28, 22, 35, 22, 16, 21, 29, 29, 34, 30, 17, 25, 6, 14, 23, 28, 25,
        31, 40, 22, 33, 37, 16, 33, 24, 41, 30, 24, 34, 17},
    /* Psalms */
    {6, 12, 8, 8, 12, 10, 17, 9, 20, 18, 7, 8, 6, 7, 5, 11, 15, 50, 14, 9, 13, 31, 6, 10, 22, 12, 14, 9, 11, 12, 24, 11,
        22, 22, 28, 12, 40, 22, 13, 17, 13, 11, 5, 26, 17, 11, 9, 14, 20, 23, 19, 9, 6, 7, 23, 13, 11, 11, 17, 12, 8,
        12, 11, 10, 13, 20, 7, 35, 36, 5, 24, 20, 28, 23, 10, 12, 20, 72, 13, 19, 16, 8, 18, 12, 13, 17, 7, 18, 52, 17,
        16, 15, 5, 23, 11, 13, 12, 9, 9, 5, 8, 28, 22, 35, 45, 48, 43, 13, 31, 7, 10, 10, 9, 8, 18, 19, 2, 29, 176, 7,
        8, 9, 4, 8, 5, 6, 5, 6, 8, 8, 3, 18, 3, 3, 21, 26, 9, 8, 24, 13, 10, 7, 12, 15, 21, 10, 20, 14, 9, 6},
    /* Proverbs */
    {33, 22, 35, 27, 23, 35, 27, 36, 18, 32, 31, 28, 25, 35, 33, 33, 28, 24, 29, 30, 31, 29, 35, 34, 28, 28, 27, 28, 27,
        33, 31},
    /* Ecclesiastes */ {18, 26, 22, 16, 20, 12, 29, 17, 18, 20, 10, 14},
    /* Song */ {17, 17, 11, 16, 16, 13, 13, 14},
    /* Isaiah */
    {31, 22, 26, 6, 30, 13, 25, 22, 21, 34, 16, 6, 22, 32, 9, 14, 14, 7, 25, 6, 17, 25, 18, 23, 12, 21, 13, 29, 24, 33,
        9, 20, 24, 17, 10, 22, 38, 22, 8, 31, 29, 25, 28, 28, 25, 13, 15, 22, 26, 11, 23, 15, 12, 17, 13, 12, 21, 14,
        21, 22, 11, 12, 19, 12, 25, 24},
    /* Jeremiah */
    {19, 37, 25, 31, 31, 30, 34, 22, 26, 25, 23, 17, 27, 22, 21, 21, 27, 23, 15, 18, 14, 30, 40, 10, 38, 24, 22, 17, 32,
        24, 40, 44, 26, 22, 19, 32, 21, 28, 18, 16, 18, 22, 13, 30, 5, 28, 7, 47, 39, 46, 64, 34},
    /* Lamentations */ {22, 22, 66, 22, 22},
    /* Ezekiel */
    {28, 10, 27, 17, 17, 14, 27, 18, 11, 22, 25, 28, 23, 23, 8, 63, 24, 32, 14, 49, 32, 31, 49, 27, 17, 21, 36, 26, 21,
        26, 18, 32, 33, 31, 15, 38, 28, 23, 29, 49, 26, 20, 27, 31, 25, 24, 23, 35},
    /* Daniel */ {21, 49, 30, 37, 31, 28, 28, 27, 27, 21, 45, 13},
    /* Hosea */ {11, 23, 5, 19, 15, 11, 16, 14, 17, 15, 12, 14, 16, 9},
    /* Joel */ {20, 32, 21},
    /* Amos */ {15, 16, 15, 13, 27, 14, 17, 14, 15},
    /* Obadiah */ {21},
    /* Jonah */ {17, 10, 10, 11},
    /* Micah */ {16, 13, 12, 13, 15, 16, 20},
    /* Nahum */ {15, 13, 19},
    /* Habakkuk */ {17, 20, 19},
    /* Zephaniah */ {18, 15, 20},
    /* Haggai */ {15, 23},
    /* Zechariah */ {21, 13, 10, 14, 11, 15, 14, 23, 17, 12, 17, 14, 9, 21},
    /* Malachi */ {14, 17, 18, 6},
    /* Matthew */
    {25, 23, 17, 25, 48, 34, 29, 34, 38, 42, 30, 50, 58, 36, 39, 28, 27, 35, 30, 34, 46, 46, 39, 51, 46, 75, 66, 20},
    /* Mark */ {45, 28, 35, 41, 43, 56, 37, 38, 50, 52, 33, 44, 37, 72, 47, 20},
    /* Luke */ {80, 52, 38, 44, 39, 49, 50, 56, 62, 42, 54, 59, 35, 35, 32, 31, 37, 43, 48, 47, 38, 71, 56, 53},
    /* John */ {51, 25, 36, 54, 47, 71, 53, 59, 41, 42, 57, 50, 38, 31, 27, 33, 26, 40, 42, 31, 25},
    /* Acts */
    {26, 47, 26, 37, 42, 15, 60, 40, 43, 48, 30, 25, 52, 28, 41, 40, 34, 28, 41, 38, 40, 30, 35, 27, 27, 32, 44, 31},
    /* Romans */ {32, 29, 31, 25, 21, 23, 25, 39, 33, 21, 36, 21, 14, 23, 33, 27},
    /* 1Corinthians */ {31, 16, 23, 21, 13, 20, 40, 13, 27, 33, 34, 31, 13, 40, 58, 24},
    /* 2Corinthians */ {24, 17, 18, 18, 21, 18, 16, 24, 15, 18, 33, 21, 14},
    /* Galatians */ {24, 21, 29, 31, 26, 18},
    /* Ephesians */ {23, 22, 21, 32, 33, 24},
    /* Philippians */ {30, 30, 21, 23},
    /* Colossians */ {29, 23, 25, 18},
    /* 1Thessalonians */ {10, 20, 13, 18, 28},
    /* 2Thessalonians */ {12, 17, 18},
    /* 1Timothy */ {20, 15, 16, 16, 25, 21},
    /* 2Timothy */ {18, 26, 17, 22},
    /* Titus */ {16, 15, 15},
    /* Philemon */ {25},
    /* Hebrews */ {14, 18, 19, 16, 14, 20, 28, 13, 28, 39, 40, 29, 25},
    /* James */ {27, 26, 18, 17, 20},
    /* 1Peter */ {25, 25, 22, 19, 14},
    /* 2Peter */ {21, 22, 18},
    /* 1John */ {10, 29, 24, 21, 21},
    /* 2John */ {13},
    /* 3John */ {14},
    /* Jude */ {25},
    /* Revelation */ {20, 29, 22, 11, 14, 17, 17, 13, 21, 11, 19, 17, 18, 20, 8, 21, 18, 24, 21, 15, 27, 21},
};

// Name numbers of the book numbers beyond the canon: the deuterocanonical books in their
// own book numbers, the second Psalms and Esther book numbers and the glossary.
struct BookNameNumber {
    std::uint8_t book;
    std::uint8_t nameNumber;
};
const BookNameNumber kOtherBookNames[] = {
    {67, 85},
    {68, 86},
    {72, 70},
    {74, 72},
    {76, 74},
    {77, 75},
    {78, 76},
    {79, 77},
    {80, 78},
    {83, 68},
    {84, 79},
    {85, 69},
    {86, 82},
    {87, 83},
    {88, 19},
    {90, 17},
    {94, 19},
    {95, 84},
    {96, 73},
    {97, 97},
    {98, 80},
    {99, 81},
    {111, 87},
};

constexpr int kDefaultBookNumbers = 174;
constexpr int kDefaultCategoryRows = 98;
constexpr int kDefaultTranslations = 54;

std::vector<BookNameRow> makeNames(const BookNameDefault* rows, std::size_t count)
{
    std::vector<BookNameRow> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        out.push_back({rows[i].text, rows[i].minimumMatch, rows[i].nameNumber, rows[i].kinds});
    return out;
}

}  // namespace

std::vector<BookNameRow> cBibleRefDefaults::englishBookNames()
{
    return makeNames(kEnglishBookNames, std::size(kEnglishBookNames));
}

std::vector<BookNameRow> cBibleRefDefaults::spanishBookNames()
{
    return makeNames(kSpanishBookNames, std::size(kSpanishBookNames));
}

std::vector<std::uint8_t> cBibleRefDefaults::bookNumToNameNum()
{
    std::vector<std::uint8_t> out(kDefaultBookNumbers, 0);
    for (int book = 1; book <= 66; ++book)
        out[book - 1] = static_cast<std::uint8_t>(book);
    for (const BookNameNumber& row : kOtherBookNames)
        out[row.book - 1] = row.nameNumber;
    return out;
}

std::vector<std::int32_t> cBibleRefDefaults::totalOrderOnBookNumber()
{
    // Front matter, Old Testament, the other books in their usual order, New Testament,
    // back matter, then every remaining book number in ascending order.
    static const int kOrder[] = {67, 95, 72, 97, 74, 96, 76, 77, 78, 79, 80, 98, 99, 83, 84, 88, 86, 85, 87};
    std::vector<std::int32_t> out;
    std::vector<bool> used(kDefaultBookNumbers + 1, false);
    auto put = [&](int book) {
        if (!used[book]) {
            used[book] = true;
            out.push_back(book);
        }
    };
    put(kOrder[0]);
    for (int book = 1; book <= 39; ++book)
        put(book);
    for (std::size_t i = 1; i < std::size(kOrder); ++i)
        put(kOrder[i]);
    for (int book = 40; book <= 66; ++book)
        put(book);
    put(68);
    for (int book = 1; book <= kDefaultBookNumbers; ++book)
        put(book);
    return out;
}

std::vector<TranslationRow> cBibleRefDefaults::translations()
{
    std::vector<TranslationRow> out;
    out.reserve(std::size(kTranslations));
    for (const TranslationDefault& row : kTranslations) {
        const std::string abbreviation = row.abbreviation;
        const std::uint8_t alternate = (abbreviation == "NAB" || abbreviation == "NABRE") ? 1 : 0;
        out.push_back({abbreviation, row.name, row.number, row.shown, 0, alternate});
    }
    return out;
}

std::vector<BibleBookList> cBibleRefDefaults::bibleBooks()
{
    // Until a Bible brings its own table, every translation holds the 66 books.
    BibleBookList list;
    list.fill(kBookListEnd);
    int slot = 0;
    list[slot++] = 67;
    for (int book = 1; book <= 66; ++book)
        list[slot++] = static_cast<std::int16_t>(book);
    list[slot++] = 68;
    return std::vector<BibleBookList>(kDefaultTranslations, list);
}

std::vector<CategoryRow> cBibleRefDefaults::categories()
{
    std::vector<CategoryRow> out(kDefaultCategoryRows);
    auto set = [&](int first, int last, std::uint8_t general, std::uint8_t detailed, std::uint8_t alternate) {
        for (int n = first; n <= last; ++n)
            out[n] = {general, detailed, alternate};
    };
    set(1, 5, 1, 10, 10);
    set(6, 17, 1, 11, 11);
    set(18, 22, 1, 12, 12);
    set(23, 27, 1, 13, 13);
    set(28, 39, 1, 14, 14);
    set(40, 43, 2, 20, 20);
    set(44, 44, 2, 21, 21);
    set(45, 57, 2, 22, 22);
    set(58, 65, 2, 23, 23);
    set(66, 66, 2, 24, 24);
    set(68, 71, 3, 3, 11);  // 1-2 Esdras, Judith, Additions to Esther
    set(72, 73, 3, 3, 12);  // Wisdom, Sirach
    set(74, 78, 3, 3, 13);  // Baruch, Letter of Jeremiah, additions to Daniel
    set(79, 79, 3, 3, 12);  // Prayer of Manasseh
    set(80, 84, 3, 3, 11);  // Maccabees, Tobit
    set(85, 87, 0, 0, 0);   // front matter, back matter, glossary
    set(97, 97, 3, 3, 11);  // Esther (Greek)
    return out;
}

VerseMapTable cBibleRefDefaults::verseMap()
{
    VerseMapTable table;
    table.rows.reserve(1190);
    for (int book = 1; book <= 66; ++book) {
        const std::vector<std::uint8_t>& counts = kKjvVerseCounts[book - 1];
        for (std::size_t c = 0; c < counts.size(); ++c) {
            const auto b = static_cast<std::uint8_t>(book);
            const auto chapter = static_cast<std::uint8_t>(c + 1);
            table.rows.push_back({b, chapter, 1, counts[c], b, chapter, 1, 1});
        }
        // Psalm 151, where a Bible holds it, is the book of that number (88), as its start key says.
        if (book == 19)
            table.rows.push_back({19, 151, 1, 250, 88, 151, 1, 1});
    }
    cBibleRefTables::sortVerseMapIndex(table);
    return table;
}

std::vector<FixUpRow> cBibleRefDefaults::fixUps()
{
    // Book 89 chapter 28: verse 24b is verse 25 there, and from verse 26 on the verses
    // run two higher.
    return {
        {89, 28, 24, 'b', 0, 89, 28, 25, 0},
        {89, 28, 26, kAnyPart, 1, 89, 28, 2, kAnyPart},
    };
}

std::vector<KeyMapRow> cBibleRefDefaults::keyMap()
{
    return {
        {73, -1, kAnyVerse, 73, 12, 1},
        {73, 5, -1, 73, 5, 3},
        {75, -1, kAnyVerse, 75, 0, 1},
        {77, -1, kAnyVerse, 77, 6, 1},
        {88, -1, kAnyVerse, 88, 151, 1},
        {89, -1, kAnyVerse, 89, 0, 1},
        {90, -1, kAnyVerse, 90, 12, 1},
        {96, -1, kAnyVerse, 96, 0, 1},
        {97, -1, kAnyVerse, 97, 11, 2},
        {97, 5, -1, 97, 5, 3},
        {100, -1, kAnyVerse, 100, 6, 1},
        {159, -1, kAnyVerse, 159, 0, 1},
        {166, 22, -1, 166, 22, 53},
        {168, -1, kAnyVerse, 168, 6, 1},
    };
}

std::vector<SpecialCaseRow> cBibleRefDefaults::specialCases()
{
    return {
        {78, 91, 1, 2, kAnyVerse, kAnyVerse, 27},
        {88, 19, 1, 150, kAnyVerse, kAnyVerse, 19},
    };
}

std::vector<ChapterWordRow> cBibleRefDefaults::chapterWords()
{
    std::vector<ChapterWordRow> out;
    for (int book : {75, 89, 96, 159, 167}) {
        const bool forward = book == 75 || book == 159;
        out.push_back({book, 0, "Prologue", "Prlg", static_cast<std::uint8_t>(forward ? 0 : 1)});
        out.push_back({book, 0, "Forward", "Fwd", static_cast<std::uint8_t>(forward ? 1 : 0)});
    }
    for (int book : {17, 73, 90}) {
        for (int i = 0; i < 6; ++i) {
            const std::string letter(1, static_cast<char>('A' + i));
            out.push_back({book, 12 + i, letter, letter, 1});
        }
    }
    for (int book : {43, 166}) {
        out.push_back({book, 22, "A7", "A7", 1});
        out.push_back({book, 23, "A8", "A8", 1});
    }
    out.push_back({19, 152, "151A", "151A", 1});
    out.push_back({19, 153, "151B", "151B", 1});
    return out;
}

std::vector<std::int32_t> cBibleRefDefaults::oneChapterBooks()
{
    return {31, 57, 63, 64, 65, 69, 67, 68, 78, 79, 80, 84, 102, 169, -1};
}

const std::vector<std::uint8_t>& cBibleRefDefaults::kjvVerseCounts(int book)
{
    static const std::vector<std::uint8_t> none;
    return (book >= 1 && book <= 66) ? kKjvVerseCounts[book - 1] : none;
}
