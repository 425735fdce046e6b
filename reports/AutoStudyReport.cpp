#include "reports/AutoStudyReport.h"

#include "reports/AutoStudyManager.h"

#include "engine/references/BibleRef.h"

AutoStudyReport::AutoStudyReport(AutoStudyManager& manager)
    : m_manager(manager),
      m_library(manager.m_library),
      m_elements(manager.m_elements),
      m_defaults(manager.m_defaults),
      m_notes(manager.m_notes)
{
}

namespace autostudy {

// The strings of a list in case-insensitive order, distinct (an equal string is dropped).
void mergeSorted(QStringList& into, QStringList words)
{
    std::stable_sort(words.begin(), words.end(),
        [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    for (const QString& w : words) {
        qsizetype i = 0;
        bool equal = false;
        for (; i < into.size(); ++i) {
            const int c = QString::compare(into.at(i), w, Qt::CaseInsensitive);
            if (c == 0) {
                equal = true;
                break;
            }
            if (c > 0)
                break;
        }
        if (!equal)
            into.insert(i, w);
    }
}

// The line over a passage printed from a Bible: its reference, spelled in that Bible's language and
// versification.
QString bibleRefLine(BibleRef ref, const SourceTuple& bible)
{
    ref.setLanguage(int(bible.bookLanguage() & 0xFFFF));
    ref.mapToTranslation(bible.abbr());
    return QStringLiteral("<div class=\"bibleref\">%1</div>")
        .arg(ref.spellingUsingAbbreviatedBookName(false, true, true).toHtmlEscaped());
}

quint32 wordListKinds(bool attributes)
{
    return attributes ? SourceTuple::kWordListStrongsGreek | SourceTuple::kWordListStrongsHebrew |
            SourceTuple::kWordListWordAttributes
                      : SourceTuple::kWordListWords;
}

PassageOptions reportPassageOptions()
{
    PassageOptions options;
    options.display.omitFootnotes = true;
    options.display.omitStrongsNumbers = true;
    return options;
}

}  // namespace autostudy
