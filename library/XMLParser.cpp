#include "library/XMLParser.h"

#include <QDateTime>
#include <QSet>
#include <QStringView>
#include <QTimeZone>

namespace {

class Reader {
public:
    explicit Reader(const QString& s) : m_s(s) { }

    qsizetype position() const { return m_p; }

    std::optional<QVariantMap> element(int depth)
    {
        if (depth > XMLParser::kMaxDepth)
            return std::nullopt;
        trim();
        if (!at(u'<'))
            return std::nullopt;
        const qsizetype gt = m_s.indexOf(QLatin1Char('>'), m_p);
        if (gt < 0)
            return std::nullopt;
        QString close = m_s.mid(m_p, gt - m_p + 1);
        close.insert(1, QLatin1Char('/'));
        m_p = gt + 1;
        trim();
        QVariantMap dictionary;
        QSet<QString> lists;
        while (!startsWith(close)) {
            if (!at(u'<'))
                return std::nullopt;
            const qsizetype childStart = m_p;
            const qsizetype childGt = m_s.indexOf(QLatin1Char('>'), m_p);
            if (childGt < 0)
                return std::nullopt;
            const QString key = m_s.mid(m_p + 1, childGt - m_p - 1);
            m_p = childGt + 1;
            trim();
            if (m_p >= m_s.size())
                return std::nullopt;
            QVariant value;
            if (startsWith(QStringLiteral("<![CDATA["))) {
                const qsizetype end = m_s.indexOf(QStringLiteral("]]>"), m_p + 9);
                if (end < 0)
                    return std::nullopt;
                value = m_s.mid(m_p + 9, end - m_p - 9);
                m_p = end + 3;
                trim();
                if (!skipPast(u'>'))
                    return std::nullopt;
                trim();
            } else {
                const qsizetype lt = m_s.indexOf(QLatin1Char('<'), m_p);
                if (lt < 0)
                    return std::nullopt;
                if (lt == m_p && !startsWith(QStringLiteral("</"))) {
                    m_p = childStart;
                    std::optional<QVariantMap> child = element(depth + 1);
                    if (!child)
                        return std::nullopt;
                    value = *child;
                } else {
                    value = lt == m_p ? QStringLiteral("") : m_s.mid(m_p, lt - m_p);
                    m_p = lt;
                    if (!skipPast(u'>'))
                        return std::nullopt;
                    trim();
                }
            }
            if (!dictionary.contains(key)) {
                dictionary.insert(key, value);
            } else if (lists.contains(key)) {
                QVariantList list = dictionary.value(key).toList();
                list.append(value);
                dictionary.insert(key, list);
            } else {
                dictionary.insert(key, QVariantList {dictionary.value(key), value});
                lists.insert(key);
            }
            if (m_p >= m_s.size())
                return std::nullopt;
        }
        m_p += close.size();
        trim();
        return dictionary;
    }

private:
    bool at(char16_t c) const { return m_p < m_s.size() && m_s.at(m_p) == QChar(c); }
    bool startsWith(const QString& text) const { return QStringView(m_s).mid(m_p).startsWith(text); }
    void trim()
    {
        while (m_p < m_s.size() && (m_s.at(m_p).isSpace() || m_s.at(m_p) == QChar(0x85)))
            ++m_p;
    }
    bool skipPast(char16_t c)
    {
        const qsizetype i = m_s.indexOf(QChar(c), m_p);
        if (i < 0)
            return false;
        m_p = i + 1;
        return true;
    }

    const QString& m_s;
    qsizetype m_p = 0;
};

QString valueText(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QVariantMap:
        return XMLParser::xmlStringValue(value.toMap());
    case QMetaType::QDateTime:
        return value.toDateTime().toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toString();
    default:
        return QStringLiteral("[ERROR]");
    }
}

}  // namespace

std::optional<QVariantMap> XMLParser::dictionaryFromXML(QString& s)
{
    Reader reader(s);
    std::optional<QVariantMap> result = reader.element(0);
    s.remove(0, reader.position());
    return result;
}

QString XMLParser::xmlStringValue(const QVariantMap& dictionary)
{
    QString out;
    for (auto it = dictionary.begin(); it != dictionary.end(); ++it)
        out += QLatin1Char('<') + it.key() + QLatin1Char('>') + valueText(it.value()) + QStringLiteral("</") +
            it.key() + QLatin1Char('>');
    return out;
}

void XMLParser::setObject(QVariantMap& dictionary, const QVariant& object, const QString& forCaseInsensitiveKey)
{
    for (auto it = dictionary.begin(); it != dictionary.end(); ++it) {
        if (it.key().compare(forCaseInsensitiveKey, Qt::CaseInsensitive) == 0) {
            it.value() = object;
            return;
        }
    }
    dictionary.insert(forCaseInsensitiveKey, object);
}

QVariant objectForCaseInsensitiveKey(const QVariantMap& dictionary, const QString& key)
{
    for (auto it = dictionary.begin(); it != dictionary.end(); ++it)
        if (it.key().compare(key, Qt::CaseInsensitive) == 0)
            return it.value();
    return QVariant();
}
