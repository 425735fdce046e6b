// XML property lists, converted to and from QVariant.
//
// Value kinds, both ways:
//   dictionary  <-> QVariantMap (keys are strings)
//   array       <-> QVariantList (QStringList is written as an array as well)
//   string      <-> QString
//   integer     <-> qint64 (written from any integer type; 64-bit two's complement, so a quint64
//                   above INT64_MAX reads back as the qint64 of the same bits)
//   real        <-> double (written from double or float; 17 significant digits, so a float
//                   read back through `double -> float` is the very value written)
//   boolean     <-> bool
//   data        <-> QByteArray
//   date        <-> QDateTime (UTC, whole seconds, 1932-12-13 to 2069-01-19: a 32-bit count of seconds
//                   around 2001-01-01)
//
// Reading is for untrusted bytes: input larger than kMaxInputBytes or nested deeper than
// kMaxDepth is refused before parsing, and malformed XML is an error, never a crash.
// Writing refuses values that the XML form cannot hold (unknown QVariant types, strings or keys
// holding control characters other than tab, line feed and carriage return, dates out of range),
// rather than writing something else. Files are written through FileSave, so a failed write leaves
// the previous file as it was and is reported to the user once (under `what`, see FileSave.h).
//
// All functions are reentrant; call them from any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

class PropertyList {
public:
    enum class Status {
        Ok,
        FileNotFound,      // no file at the path
        ReadFailed,        // the file exists but could not be read
        TooLarge,          // more than kMaxInputBytes
        Malformed,         // not a well-formed XML property list
        TooDeep,           // containers nested deeper than kMaxDepth
        UnsupportedValue,  // a value the XML form cannot hold (writing only)
        WriteFailed,       // the file could not be written or committed
    };

    struct Error {
        Status status = Status::Ok;
        QString message;  // for logs: what failed and where (file path or key path)
    };

    static constexpr qsizetype kMaxInputBytes = 64 * 1024 * 1024;
    // Containers may nest this deep (the root container counts as 1).
    static constexpr int kMaxDepth = 256;

    // Parses an XML property list. On failure returns an invalid QVariant and fills `error`.
    static QVariant fromXml(const QByteArray& xml, Error* error = nullptr);
    // Serialises a value (see the table above). On failure returns an empty array and fills `error`.
    static QByteArray toXml(const QVariant& value, Error* error = nullptr);

    static QVariant readFile(const QString& path, Error* error = nullptr);
    // Creates the file's folder when it is missing; replaces the file atomically.
    static bool writeFile(
        const QString& path, const QVariant& value, Error* error = nullptr, const QString& what = QString());
};
