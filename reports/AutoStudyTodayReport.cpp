#include "platform/SettingsKeys.h"
#include "reports/AutoStudyReport.h"

#include "reports/AutoStudyManager.h"

#include "engine/foundation/SimpleDate.h"
#include "engine/references/BibleRef.h"
#include "library/SourceManager.h"
#include "platform/UserDefaults.h"

using namespace autostudy;

QString AutoStudyTodayReport::resultsFile(const QDate& date, const SourceTuple::Ptr& givenBible, int /*limitToElement*/)
{
    SimpleDate day;
    if (date.isValid())
        day.setMonth(date.month(), date.day(), date.year());
    auto allPtr = m_library.allSources();
    const SourceTupleArray empty;
    const SourceTupleArray& all = allPtr ? *allPtr : empty;
    const auto findInstalled = [&](AutoStudyBook& entry) { return m_manager.lookupBook(entry, all, false); };
    SourceTuple::Ptr bible = givenBible;
    if (!bible) {
        const UserDefaults& defaults = m_defaults;
        const qint64 pub = defaults.value(SettingsKeys::PreferredBiblePubId);
        const qint64 bk = defaults.value(SettingsKeys::PreferredBibleBookId);
        if (pub != 0 && bk != 0)
            bible = all.tupleForPubID(pub, bk);
        if (!bible) {
            auto bibles = m_library.bibleSources();
            if (bibles && bibles->count() > 0)
                bible = bibles->tupleAtIndex(0);
        }
        if (!bible)
            return QString();
    }

    const PassageOptions config = reportPassageOptions();
    ReportFile report(m_manager,
        QStringLiteral("<div class=\"title\">Reading for %1</div>").arg(day.stringWithStyle(2).toHtmlEscaped()));

    AutoStudyElementList& todayList = m_elements.todayStudyElements();
    AutoStudyElement* devotionals = nullptr;
    AutoStudyElement* bibles = nullptr;
    bool biblesFirst = false;
    for (qsizetype i = 0; i < todayList.size(); ++i) {
        if (todayList[i].elementID == AutoStudyElements::DevotionalsID)
            devotionals = &todayList[i];
        if (todayList[i].elementID == AutoStudyElements::BiblesID) {
            bibles = &todayList[i];
            biblesFirst = i == 0;
        }
    }
    if (!devotionals)
        return QString();
    const bool devotionalFirst = devotionals->checked && !biblesFirst;
    const bool devotionalAfter = devotionals->checked && biblesFirst;
    const bool biblesChecked = bibles && bibles->checked;

    for (AutoStudyBook& entry : devotionals->bookArray) {
        if (!entry.checked)
            continue;
        auto book = findInstalled(entry);
        if (!book)
            continue;
        const auto [start, end] =
            AutoStudyManager::readingSections(book->readings().readingNumberForDate(day), book->record().numReadings,
                book->numSections(), [&book](quint32 n) { return book->readings().sectionForReadingNumber(n); });
        const QString reading = m_manager.getHtmlTextFromStartSection(start, end, book, config);

        QList<BibleRef> linked;
        for (quint64 s = start; s <= end; ++s)
            if (auto links = book->words().bibleLinksListForSection(quint32(s), bible->record().abbr))
                linked.append(*links);

        bool wrote = false;
        const QString heading =
            QStringLiteral("<div class=\"subtitle\">Reading from %1</div>\r").arg(book->record().name.toHtmlEscaped());
        if (devotionalFirst && !reading.isEmpty()) {
            report.write(heading + reading);
            report.cite(book);
            wrote = true;
        }
        if (biblesChecked) {
            for (AutoStudyBook& bibleEntry : bibles->bookArray) {
                if (!bibleEntry.checked)
                    continue;
                auto printIn = findInstalled(bibleEntry);
                if (!printIn)
                    continue;
                SectionRangeList ranges;
                for (const BibleRef& ref : linked) {
                    quint32 s = 0, e = 0;
                    if (printIn->locations().sectionRangeForVerse(ref, &s, &e))
                        ranges.addRangeStartingAt(std::min(s, e), std::max(s, e), true, true);
                }
                for (const auto& range : ranges.ranges()) {
                    BibleRef ref =
                        BibleRef::bibleRefWithStartKey(printIn->locations().keyForSection(quint32(range.start)),
                            printIn->locations().keyForSection(quint32(range.end)));
                    const QString html = m_manager.getHtmlTextFromStartSection(
                        quint32(range.start), quint32(range.end), printIn, config);
                    if (html.isEmpty())
                        continue;
                    if (!wrote)
                        report.write(heading);
                    wrote = true;
                    report.write(bibleRefLine(ref, *printIn));
                    report.write(html);
                    report.cite(printIn);
                }
            }
        }
        if (devotionalAfter && !reading.isEmpty()) {
            if (!wrote)
                report.write(heading);
            report.write(reading);
            report.cite(book);
            wrote = true;
        }
    }

    return report.finish();
}
