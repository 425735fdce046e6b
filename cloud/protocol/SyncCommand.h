// SyncCommand: one line of the cloud-sync protocol: a verb, a noun and zero or more text parameters.
// It writes the lines a peer sends and reads the lines a peer receives, and maps verb and noun words
// to their table numbers. The reader's sync engine and the local stand-in sync server both use it.
//
// Wire form: components joined by the unit separator US (0x1F), ended by the record separator RS
// (0x1E), UTF-8. A line with only a verb and a noun is always verb US noun RS, even for an empty noun
// ("DISCONNECT" US RS). Every server line starts with an 8-character lead field that the receiver
// skips; the text before RS must be at least 9 characters long for the skip to happen. The
// alternative form (separator "$", terminator CR LF) is only read, never written.
//
// The format has no escaping, so the writer removes US and RS from every component: a note or name
// holding one of them would otherwise cut the line and shift every line after it. The sync engine
// keeps a row as it went up (SyncLocalData::markSynced).
//
// A CONNECT line carries its parameters joined by US and scrambled with the sync pad as one parameter.
//
// Threads: a value type; any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <limits>
#include <optional>

namespace qs::cloud {

class SyncCommand {
public:
    static constexpr char kUnitSeparator = '\x1F';
    static constexpr char kRecordSeparator = '\x1E';
    static constexpr int kLeadFieldLength = 8;
    // verbNum / nounNum of a word outside the tables.
    static constexpr qint64 kNotFound = std::numeric_limits<qint64>::max();

    enum Verb : qint64 {
        Connect = 0,
        Connected,
        Disconnect,
        Get,
        Got,
        Sync,
        Count,
        Counted,
        Add,
        Added,
        Modify,
        Delete,
        Deleted,
    };
    enum Noun : qint64 {
        Success = 0,
        Error,
        User,
        Debug,
        Time,
        Version,
        ServerId,
        Complete,
        BibleBookmarks,
        BibleHighlights,
        BibleNotes,
        BookBookmarks,
        BookNotes,
        DevotionalProgress,
        DevotionalStartDate,
        HighlightColorNames,
        ProgramSettings,
    };

    SyncCommand() = default;
    SyncCommand(const QString& verb, const QString& noun, const QStringList& parameters = {});

    // Reads the text of one received line (terminator included or not): the body is the text before
    // the first RS; without RS a trailing run of CR and LF is cut and the line uses the alternative
    // separator. With `skipLeadField`, a body of 9 or more characters loses its first 8. A line cut
    // from the stream is given with its RS (SyncLineBuffer hands it out so): without it, a line whose
    // last parameter ends in CR or LF would read as the alternative form.
    static SyncCommand fromReceivedText(const QString& text, bool skipLeadField = true);
    // Decodes one received line's bytes as UTF-8 first.
    static SyncCommand fromReceivedBytes(const QByteArray& bytes, bool skipLeadField = true);

    QString verb() const { return field(0); }
    QString noun() const { return field(1); }
    QStringList parameters() const { return m_fields.size() > 2 ? m_fields.mid(2) : QStringList(); }
    // Parameter i (field i + 2); the empty text when there is none.
    QString paramAtIndex(qsizetype i) const { return i < 0 ? QString() : field(i + 2); }
    qsizetype parameterCount() const { return m_fields.size() > 2 ? m_fields.size() - 2 : 0; }
    qint64 verbNumber() const { return verbNum(verb()); }
    qint64 nounNumber() const { return nounNum(noun()); }
    bool altSep() const { return m_altSep; }

    void setVerb(const QString& verb);
    void setNoun(const QString& noun);
    void setParameters(const QStringList& parameters);

    // The line in the standard form (components cleaned of US and RS), terminator included. With
    // `scrambleParameters` and more than two fields, the parameters are joined by US and scrambled
    // with the sync pad into one parameter.
    QString stringValue(bool scrambleParameters = false) const;
    // The standard form as the sending peer writes it: a client scrambles exactly the CONNECT line.
    QByteArray clientLine() const;
    // A server line: the 8-character lead field (padded with blanks or cut), then the line.
    QByteArray serverLine(const QString& leadField) const;

    // The components split at the separator, as received ([0] verb, [1] noun, then parameters).
    const QStringList& fields() const { return m_fields; }

    static qint64 verbNum(const QString& word);
    static qint64 nounNum(const QString& word);
    static const QStringList& verbWords();
    static const QStringList& nounWords();
    // Record types are nouns 8 to 16.
    static bool isRecordTypeNoun(qint64 noun) { return noun >= BibleBookmarks && noun <= ProgramSettings; }

    // A component with US and RS removed.
    static QString cleanComponent(const QString& component);

private:
    QString field(qsizetype i) const { return i < m_fields.size() ? m_fields.at(i) : QString(); }
    void ensureVerbAndNoun();

    QStringList m_fields;
    bool m_altSep = false;
};

// The six log-in values of a CONNECT line.
struct SyncLoginValues {
    QString customerId;
    QString password;  // clear
    QString programId;
    QString version;
    QString deviceId;
    QString deviceName;

    QStringList toList() const { return {customerId, password, programId, version, deviceId, deviceName}; }
    // The CONNECT USER line of these values.
    SyncCommand connectCommand() const;
    // Reads the one scrambled parameter of a received CONNECT line; nothing when it is not a text
    // scrambled with the sync pad or does not hold six values.
    static std::optional<SyncLoginValues> fromScrambledParameter(const QString& parameter);
};

}  // namespace qs::cloud
