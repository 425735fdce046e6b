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

int compareNumbersByValue(const QString& a, const QString& b)
{
    // Runs of digits compare by their value ("G25" < "G235" < "G2222"), all else case-insensitively;
    // numbers of one value written with more leading zeros come later, so only equal texts are equal.
    qsizetype i = 0, j = 0;
    int zeros = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            qsizetype si = i, sj = j;
            while (si + 1 < ei && a[si].digitValue() == 0)
                ++si;
            while (sj + 1 < ej && b[sj].digitValue() == 0)
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? -1 : 1;
            for (; si < ei; ++si, ++sj)
                if (a[si].digitValue() != b[sj].digitValue())
                    return a[si].digitValue() < b[sj].digitValue() ? -1 : 1;
            if (zeros == 0 && ei - i != ej - j)
                zeros = ei - i < ej - j ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        const int c = QStringView(a).mid(i, 1).compare(QStringView(b).mid(j, 1), Qt::CaseInsensitive);
        if (c != 0)
            return c < 0 ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return zeros;
}

void mergeSorted(QStringList& into, QStringList words)
{
    std::stable_sort(
        words.begin(), words.end(), [](const QString& a, const QString& b) { return compareNumbersByValue(a, b) < 0; });
    for (const QString& w : words) {
        qsizetype i = 0;
        bool equal = false;
        for (; i < into.size(); ++i) {
            const int c = compareNumbersByValue(into.at(i), w);
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
    ref.setLanguage(int(bible.record().bookLanguage & 0xFFFF));
    ref.mapToTranslation(bible.record().abbr);
    return QStringLiteral("<div class=\"bibleref\">%1</div>")
        .arg(ref.spellingUsingAbbreviatedBookName(false, true, true).toHtmlEscaped());
}

quint32 wordListKinds(bool attributes)
{
    return attributes ? SourceTupleWords::kWordListStrongsGreek | SourceTupleWords::kWordListStrongsHebrew |
            SourceTupleWords::kWordListWordAttributes
                      : SourceTupleWords::kWordListWords;
}

PassageOptions reportPassageOptions()
{
    PassageOptions options;
    options.display.omitFootnotes = true;
    options.display.omitStrongsNumbers = true;
    return options;
}

}  // namespace autostudy
