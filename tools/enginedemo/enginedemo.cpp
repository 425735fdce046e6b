// enginedemo: shows, on the command line, what the book engine can already do while the reader's
// windows are still being built: dates across the calendar reform, accent folding and mark
// reordering of Greek and Hebrew text, case folding, and scrambling.
#include <cstdio>
#include <cstring>

#include "engine/foundation/Calendar.h"
#include "engine/foundation/LanguageSupport.h"
#include "engine/foundation/cLStringTmpl.h"
#include "engine/foundation/cSimpleDate.h"
#include "engine/scramble/StringScramble.h"

namespace {

void showDates()
{
    std::printf("Dates\n");
    const cSimpleDate reform(10, 4, 1582);
    for (int step = 0; step < 2; ++step) {
        const cSimpleDate date = reform.addDays(step);
        cLString8 text;
        date.format(false, true, text);
        std::printf("  day %d: %s\n", dayNumberFromDate(date.month(), date.day(), date.year()), text.chars());
    }
    cSimpleDate leap(2, 28, 2024);
    cLString8 text;
    leap.addDays(1).format(false, false, text);
    std::printf("  the day after 28 February 2024: %s\n", text.chars());
}

void showText(const char* label, const char* utf8, std::uint16_t language)
{
    const cLString16 wide(utf8);
    cLString16 reordered;
    decomposeAndReorder(reordered, wide, language);
    cLString16 folded;
    foldToBaseLetters(folded, wide);
    const cLString8 foldedUtf8(folded);
    std::printf("  %-8s %s: %d units, %d after decomposition, folded to base letters: %s\n", label, utf8, wide.length(),
        reordered.length(), foldedUtf8.chars());
}

void showLanguages()
{
    std::printf("Text\n");
    setUpLanguageFonts();
    showText("Greek", "\xE1\xBC\x90\xCE\xBD \xE1\xBC\x80\xCF\x81\xCF\x87\xE1\xBF\x87", kLanguageGreek);
    showText("Hebrew", "\xD7\x91\xD6\xBC\xD6\xB0\xD7\xA8\xD6\xB5\xD7\x90\xD7\xA9\xD7\x81\xD6\xB4\xD7\x99\xD7\xAA",
        kLanguageHebrew);
    showText("Spanish",
        "Jes\xC3\xBA"
        "s llor\xC3\xB3",
        kLanguageSpanish);
    std::printf("  Hebrew is right to left: %s\n", isRightToLeftLanguage(kLanguageHebrew) ? "yes" : "no");
    cLString16 title("\xCE\x98\xCE\x95\xCE\x9F\xCE\xA3 and GOD");
    title.toLowerCase();
    std::printf("  lower case: %s\n", title.utf8Chars());
}

void showScramble()
{
    std::printf("Scrambling\n");
    const cLString8 secret("In the beginning");
    const cLString8 scrambled = scrambleStringDefaultPad(secret);
    const cLString8 back = unscrambleStringDefaultPad(scrambled);
    std::printf("  \"%s\" -> %s -> \"%s\"\n", secret.chars(), scrambled.chars(), back.chars());
}

}  // namespace

int main()
{
    std::printf("Quillstead book engine (the reader's windows are not built yet; this shows the engine)\n\n");
    showDates();
    showLanguages();
    showScramble();
    return 0;
}
