#include "reports/CopyPassageMarkup.h"

#include <QStringList>

namespace CopyPassageMarkup {

TagAt nextTag(const QString& html, qsizetype from)
{
    const StringRange r = JavaScript::rangeOfHtmlTagInRange(html, StringRange {from, html.size() - from});
    if (!r.found())
        return {};
    return {r.location, html.mid(r.location, r.length)};
}

QVariantMap attributesOf(const QString& tag)
{
    return JavaScript::dictionaryOfAttributesFromString(tag).value_or(QVariantMap());
}

std::uint32_t verseSpanKey(const QString& tag, bool& numbered)
{
    QString numbers;
    if (tag.startsWith(QLatin1String("<span id='_s"))) {
        numbered = true;
        const qsizetype end = tag.indexOf(QLatin1Char('\''), 12);
        numbers = tag.mid(12, end < 0 ? -1 : end - 12);
    } else if (tag.startsWith(QLatin1String("<span "))) {
        numbered = false;
        const QVariantMap attributes = attributesOf(tag);
        const QString value = attributes.value(QStringLiteral("data-verse-span")).toString();
        if (!value.startsWith(QLatin1String("sel_s")))
            return 0;
        numbers = value.mid(5);
    } else {
        return 0;
    }
    const QStringList parts = numbers.split(QLatin1Char('.'));
    if (parts.size() != 3)
        return 0;
    bool ok[3] = {false, false, false};
    const int book = parts[0].toInt(&ok[0]), chapter = parts[1].toInt(&ok[1]), verse = parts[2].toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || book < 1 || book > 255 || chapter < 0 || chapter > 255 || verse < 0 ||
        verse > 255)
        return 0;
    return (static_cast<std::uint32_t>(book) << 16) | (static_cast<std::uint32_t>(chapter) << 8) |
        static_cast<std::uint32_t>(verse);
}

}  // namespace CopyPassageMarkup
