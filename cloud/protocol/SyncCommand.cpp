#include "cloud/protocol/SyncCommand.h"

#include "cloud/protocol/ScrambledText.h"

#include <optional>

namespace qs::cloud {

namespace {

const QString kUS = QString(QChar(SyncCommand::kUnitSeparator));
const QString kRS = QString(QChar(SyncCommand::kRecordSeparator));

}  // namespace

SyncCommand::SyncCommand(const QString& verb, const QString& noun, const QStringList& parameters)
{
    setVerb(verb);
    setNoun(noun);
    setParameters(parameters);
}

SyncCommand SyncCommand::fromReceivedText(const QString& text, bool skipLeadField)
{
    SyncCommand command;
    QString body;
    const qsizetype rs = text.indexOf(QChar(kRecordSeparator));
    if (rs >= 0) {
        body = text.left(rs);
    } else {
        qsizetype end = text.size();
        while (end > 0 && (text.at(end - 1) == QLatin1Char('\r') || text.at(end - 1) == QLatin1Char('\n')))
            --end;
        command.m_altSep = end < text.size();
        body = text.left(end);
    }
    if (skipLeadField && body.size() > kLeadFieldLength)
        body.remove(0, kLeadFieldLength);
    command.m_fields = body.split(command.m_altSep ? QString(QLatin1Char('$')) : kUS);
    return command;
}

SyncCommand SyncCommand::fromReceivedBytes(const QByteArray& bytes, bool skipLeadField)
{
    if (!skipLeadField)
        return fromReceivedText(QString::fromUtf8(bytes), false);
    // The lead field is eight bytes on the wire. It is cut off as bytes, before the line is decoded:
    // cut as characters, a damaged lead holding a multi-byte character would split a surrogate pair
    // and leave half a character at the front of the verb, which no line written back can hold.
    qsizetype end = bytes.indexOf(char(kRecordSeparator));
    if (end < 0) {
        end = bytes.size();
        while (end > 0 && (bytes.at(end - 1) == '\r' || bytes.at(end - 1) == '\n'))
            --end;
    }
    if (end > kLeadFieldLength)
        return fromReceivedText(QString::fromUtf8(bytes.mid(kLeadFieldLength)), false);
    return fromReceivedText(QString::fromUtf8(bytes), false);
}

void SyncCommand::ensureVerbAndNoun()
{
    while (m_fields.size() < 2)
        m_fields.append(QString());
}

void SyncCommand::setVerb(const QString& verb)
{
    if (m_fields.isEmpty())
        m_fields.append(verb);
    else
        m_fields[0] = verb;
}

void SyncCommand::setNoun(const QString& noun)
{
    ensureVerbAndNoun();
    m_fields[1] = noun;
}

void SyncCommand::setParameters(const QStringList& parameters)
{
    ensureVerbAndNoun();
    m_fields.resize(2);
    m_fields.append(parameters);
}

QString SyncCommand::cleanComponent(const QString& component)
{
    if (!component.contains(QChar(kUnitSeparator)) && !component.contains(QChar(kRecordSeparator)))
        return component;
    QString cleaned = component;
    cleaned.remove(QChar(kUnitSeparator));
    cleaned.remove(QChar(kRecordSeparator));
    return cleaned;
}

QString SyncCommand::stringValue(bool scrambleParameters) const
{
    QString line = cleanComponent(field(0)) + kUS + cleanComponent(field(1));
    if (m_fields.size() > 2) {
        QStringList params;
        for (qsizetype i = 2; i < m_fields.size(); ++i)
            params.append(cleanComponent(m_fields.at(i)));
        line += kUS;
        line += scrambleParameters ? scrambleText(params.join(kUS), ScramblePad::SyncConnect) : params.join(kUS);
    }
    line += kRS;
    return line;
}

QByteArray SyncCommand::clientLine() const
{
    return stringValue(verbNumber() == Connect).toUtf8();
}

QByteArray SyncCommand::serverLine(const QString& leadField) const
{
    QString lead = cleanComponent(leadField).left(kLeadFieldLength);
    while (lead.size() < kLeadFieldLength)
        lead += QLatin1Char(' ');
    // The lead field must keep its 8 characters as 8 bytes too; anything else becomes "?".
    for (QChar& c : lead) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            c = QLatin1Char('?');
    }
    return (lead + stringValue(false)).toUtf8();
}

const QStringList& SyncCommand::verbWords()
{
    static const QStringList words = {"CONNECT", "CONNECTED", "DISCONNECT", "GET", "GOT", "SYNC", "COUNT", "COUNTED",
        "ADD", "ADDED", "MODIFY", "DELETE", "DELETED"};
    return words;
}

const QStringList& SyncCommand::nounWords()
{
    static const QStringList words = {"SUCCESS", "ERROR", "USER", "DEBUG", "TIME", "VERSION", "SERVERID", "COMPLETE",
        "BIBLEBOOKMARKS", "BIBLEHIGHLIGHTS", "BIBLENOTES", "BOOKBOOKMARKS", "BOOKNOTES", "DEVOTIONALPROGRESS",
        "DEVOTIONALSTARTDATE", "HIGHLIGHTCOLORNAMES", "PROGRAMSETTINGS"};
    return words;
}

qint64 SyncCommand::verbNum(const QString& word)
{
    const qsizetype i = verbWords().indexOf(word);
    return i < 0 ? kNotFound : i;
}

qint64 SyncCommand::nounNum(const QString& word)
{
    const qsizetype i = nounWords().indexOf(word);
    return i < 0 ? kNotFound : i;
}

SyncCommand SyncLoginValues::connectCommand() const
{
    return SyncCommand(QStringLiteral("CONNECT"), QStringLiteral("USER"), toList());
}

std::optional<SyncLoginValues> SyncLoginValues::fromScrambledParameter(const QString& parameter)
{
    const std::optional<QString> clear = unscrambleTextChecked(parameter, ScramblePad::SyncConnect);
    if (!clear)
        return std::nullopt;
    const QStringList values = clear->split(kUS);
    if (values.size() != 6)
        return std::nullopt;
    return SyncLoginValues {values[0], values[1], values[2], values[3], values[4], values[5]};
}

}  // namespace qs::cloud
