// Every link a rendered page of the sample library holds resolves: each block of the compiled
// KJV (with its Strong's links and footnotes) and of a commentary (with its Bible links and
// footnotes) is rendered through the book record, every href read as the page bridge reads it,
// and every target resolved as a link followed in that page.
#include "GoToRouterFixture.h"
#include "platform/SettingsKeys.h"

#include "engine/references/BibleRef.h"
#include "library/GoToLink.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {

constexpr qint64 kKJV = 101, kScofield = 110, kHebrew = 120, kGreek = 121;

// The attribute as the browser hands it to the page: character references decoded.
QString decodeAttribute(const QString& raw)
{
    static const QRegularExpression kReference(QStringLiteral("&(#[0-9]+|#[xX][0-9a-fA-F]+|amp|quot|apos|lt|gt);"));
    QString out;
    qsizetype last = 0;
    auto it = kReference.globalMatch(raw);
    while (it.hasNext()) {
        const auto m = it.next();
        out += raw.mid(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        if (name == QLatin1String("amp"))
            out += u'&';
        else if (name == QLatin1String("quot"))
            out += u'"';
        else if (name == QLatin1String("apos"))
            out += u'\'';
        else if (name == QLatin1String("lt"))
            out += u'<';
        else if (name == QLatin1String("gt"))
            out += u'>';
        else if (name.startsWith(QLatin1String("#x")) || name.startsWith(QLatin1String("#X")))
            out += QChar(name.mid(2).toUInt(nullptr, 16));
        else
            out += QChar(name.mid(1).toUInt());
        last = m.capturedEnd();
    }
    out += raw.mid(last);
    return out;
}

struct Walk {
    int blocks = 0;
    int hrefs = 0;
    int footnoteToggles = 0;
    QStringList refused;
    QHash<QString, int> targets;  // target -> occurrences
};

Walk walkBook(const SourceTuple::Ptr& book)
{
    static const QRegularExpression kHref(QStringLiteral("<a\\s[^>]*?href=\"([^\"]*)\""));
    Walk walk;
    const quint64 blocks = book->record().numBlocks;
    for (quint64 b = 0; b < blocks; ++b) {
        const QString html = book->locations().htmlTextForBlock(static_cast<quint32>(b));
        ++walk.blocks;
        auto it = kHref.globalMatch(html);
        while (it.hasNext()) {
            const QString attribute = decodeAttribute(it.next().captured(1));
            ++walk.hrefs;
            const GoToLink::PageHref href = GoToLink::readPageHref(attribute);
            switch (href.kind) {
            case GoToLink::PageHref::Kind::PageScript:
                ++walk.footnoteToggles;
                break;
            case GoToLink::PageHref::Kind::Refused:
                walk.refused << attribute;
                break;
            case GoToLink::PageHref::Kind::Target:
            case GoToLink::PageHref::Kind::Plain:
                ++walk.targets[href.target];
                break;
            }
        }
    }
    return walk;
}

// The verses the King James Version holds, read from its sections' keys (book, chapter, verse).
QSet<quint32> versesOf(const SourceTuple::Ptr& bible)
{
    QSet<quint32> verses;
    for (quint32 s = 1; s < bible->numSections(); ++s) {
        if (const quint32 key = bible->locations().keyForSection(s); key != 0)
            verses.insert(key & 0xFFFFFF);
    }
    return verses;
}

class GoToLinkWalkTest : public GoToRouterFixture {
protected:
    // A Bible link the books cannot satisfy is acceptable only when it names a verse outside the
    // versification of the installed Bibles and was refused with the message for that case.
    bool refusedAsOutOfRange(const QString& target, const QVariantMap& answer)
    {
        if (m_verses.isEmpty())
            m_verses = versesOf(book(kKJV));
        const BibleRef ref = BibleRef::bibleRefWithLinkString(target);
        const bool outside = !m_verses.contains(ref.bibleKey() & 0xFFFFFF) ||
            (ref.endBibleKey() != 0 && !m_verses.contains(ref.endBibleKey() & 0xFFFFFF));
        return outside &&
            answer.value(GoToKeys::alertText)
                .toString()
                .startsWith(QLatin1String("Verse not found in any of your installed Bibles.\r\nWhile looking for "));
    }

    QSet<quint32> m_verses;

    // Follows every target of the walk from a page of `shown`, shown in the current pane; returns
    // the targets that did not resolve, with the reason.
    QStringList followAll(const Walk& walk, const SourceTuple::Ptr& shown, QHash<QString, int>* kinds)
    {
        setPanes(shown, {shown}, book(kKJV), {book(kKJV)});
        // The Strong's dictionaries chosen in the preferences, as a reader of a Strong's Bible has them.
        m_defaults->set(SettingsKeys::PreferredHebrewDictionaryPubId, 1);
        m_defaults->set(SettingsKeys::PreferredHebrewDictionaryBookId, kHebrew);
        m_defaults->set(SettingsKeys::PreferredGreekDictionaryPubId, 1);
        m_defaults->set(SettingsKeys::PreferredGreekDictionaryBookId, kGreek);
        QStringList failures;
        for (auto it = walk.targets.cbegin(); it != walk.targets.cend(); ++it) {
            const QString& target = it.key();
            if (const auto web = GoToLink::webLink(target)) {
                ++(*kinds)[QStringLiteral("web")];
                if (!web->url.isValid())
                    failures << target + QStringLiteral(": not an address");
                continue;
            }
            const GoToLink::Link link = GoToLink::classify(target);
            GoToRequest r = this->link(target);
            r.wasHyperlink = true;
            const QVariantMap answer = ask(r);
            const SourceTuple::Ptr found = bookFromVariant(answer.value(GoToKeys::sourceTuple));
            switch (link.kind) {
            case GoToLink::LinkKind::Bible:
                ++(*kinds)[QStringLiteral("bible")];
                if (!found && refusedAsOutOfRange(target, answer)) {
                    ++(*kinds)[QStringLiteral("out of range")];
                    break;
                }
                if (!found || !found->isABible() || answer.value(GoToKeys::section).toULongLong() == 0 ||
                    answer.value(GoToKeys::endSectionNumber).toULongLong() <
                        answer.value(GoToKeys::section).toULongLong())
                    failures << target + QStringLiteral(": ") + answer.value(GoToKeys::alertText).toString();
                break;
            case GoToLink::LinkKind::Sync: {
                const QString text = GoToLink::syncLookupText(link.text);
                const bool strongs = GoToLink::isStrongsNumber(text);
                ++(*kinds)[strongs ? QStringLiteral("strongs") : QStringLiteral("sync")];
                const qint64 expected = text.startsWith(u'H', Qt::CaseInsensitive) ? kHebrew : kGreek;
                if (!found || answer.value(GoToKeys::section).toULongLong() == 0 ||
                    (strongs && found->record().bookID != expected))
                    failures << target + QStringLiteral(": ") + answer.value(GoToKeys::alertText).toString();
                break;
            }
            case GoToLink::LinkKind::Book:
            case GoToLink::LinkKind::Section:
                ++(*kinds)[QStringLiteral("book")];
                if (!found || answer.value(GoToKeys::section).toULongLong() == 0)
                    failures << target + QStringLiteral(": ") + answer.value(GoToKeys::alertText).toString();
                break;
            case GoToLink::LinkKind::Note:
                ++(*kinds)[QStringLiteral("note")];
                if (GoToLink::parseNoteLink(link.text).kind == GoToLink::NoteLink::Kind::None)
                    failures << target + QStringLiteral(": not a note link");
                break;
            case GoToLink::LinkKind::None:
                failures << target + QStringLiteral(": not a link of the reader");
                break;
            }
        }
        return failures;
    }
};

TEST_F(GoToLinkWalkTest, EveryLinkOfTheKingJamesVersionResolves)
{
    const SourceTuple::Ptr kjv = book(kKJV);
    ASSERT_TRUE(kjv);
    const Walk walk = walkBook(kjv);
    EXPECT_EQ(walk.blocks, static_cast<int>(kjv->record().numBlocks));
    EXPECT_TRUE(walk.refused.isEmpty()) << walk.refused.mid(0, 5).join(u'\n').toStdString();
    EXPECT_GT(walk.footnoteToggles, 0);
    QHash<QString, int> kinds;
    const QStringList failures = followAll(walk, kjv, &kinds);
    EXPECT_TRUE(failures.isEmpty()) << failures.size() << " of " << walk.targets.size()
                                    << ", first: " << failures.mid(0, 10).join(u'\n').toStdString();
    EXPECT_GT(kinds.value(QStringLiteral("strongs")), 10000);
    EXPECT_TRUE(m_alerts->shown().isEmpty());
    RecordProperty("hrefs", walk.hrefs);
    RecordProperty("targets", static_cast<int>(walk.targets.size()));
}

TEST_F(GoToLinkWalkTest, EveryLinkOfACommentaryResolves)
{
    const SourceTuple::Ptr scofield = book(kScofield);
    ASSERT_TRUE(scofield);
    const Walk walk = walkBook(scofield);
    EXPECT_EQ(walk.blocks, static_cast<int>(scofield->record().numBlocks));
    EXPECT_TRUE(walk.refused.isEmpty()) << walk.refused.mid(0, 5).join(u'\n').toStdString();
    QHash<QString, int> kinds;
    const QStringList failures = followAll(walk, scofield, &kinds);
    EXPECT_TRUE(failures.isEmpty()) << failures.size() << " of " << walk.targets.size()
                                    << ", first: " << failures.mid(0, 10).join(u'\n').toStdString();
    EXPECT_GT(kinds.value(QStringLiteral("bible")), 1000);
    // A few references of the commentary name verses no installed Bible has (Ecclesiastes 25,
    // Daniel 14, verses past a chapter's end): refused, each with the alert text.
    EXPECT_LT(kinds.value(QStringLiteral("out of range")), 50);
    RecordProperty("outOfRange", kinds.value(QStringLiteral("out of range")));
    EXPECT_TRUE(m_alerts->shown().isEmpty());
}

}  // namespace

namespace {

// The rest of the sample library: other Bibles, the second commentary, the dictionaries (their
// cross references between entries and into the Bible) and the devotional.
TEST_F(GoToLinkWalkTest, EveryLinkOfTheOtherSampleBooksResolves)
{
    for (const qint64 id : {102LL, 111LL, 120LL, 121LL, 122LL, 130LL}) {
        const SourceTuple::Ptr shown = book(id);
        ASSERT_TRUE(shown) << id;
        const Walk walk = walkBook(shown);
        EXPECT_TRUE(walk.refused.isEmpty())
            << shown->record().abbr.toStdString() << ": " << walk.refused.mid(0, 5).join(u'\n').toStdString();
        QHash<QString, int> kinds;
        const QStringList failures = followAll(walk, shown, &kinds);
        EXPECT_TRUE(failures.isEmpty()) << shown->record().abbr.toStdString() << ": " << failures.size() << " of "
                                        << walk.targets.size()
                                        << ", first: " << failures.mid(0, 10).join(u'\n').toStdString();
        RecordProperty(shown->record().abbr.toStdString(), static_cast<int>(walk.targets.size()));
    }
    EXPECT_TRUE(m_alerts->shown().isEmpty());
}

}  // namespace
