// XMLParser: the conversion between the small attribute-free XML texts of the maker's web script and
// nested dictionaries. The reader consumes one element from the front of a receive buffer, so a
// caller can read a stream of elements one after another; the writer turns a dictionary into element
// text. Not a general XML parser: no declaration, attributes, entities, comments or self-closing
// elements are understood.
//
// Dictionaries are QVariantMaps: text values are strings, elements with children nested maps, and a
// name repeated among siblings a QVariantList of its values in order. Stateless; any thread.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

class XMLParser {
public:
    // Deeper nesting than this is refused (the reply is untrusted).
    static constexpr int kMaxDepth = 64;

    // The first element of `s` as a dictionary of its children; on success the element and the
    // white space around it have been removed from the front of `s`. Nothing when `s` does not
    // start with a complete element (then `s` may be partly consumed).
    static std::optional<QVariantMap> dictionaryFromXML(QString& s);
    // "<key>value</key>" for every entry in the map's order: strings as they are, maps as their own
    // element text, dates as "yyyy-MM-dd HH:mm:ss" in UTC, numbers as their text, anything else
    // (lists included) as "[ERROR]".
    static QString xmlStringValue(const QVariantMap& dictionary);
    // Stores under the first existing key equal to `key` ignoring case, else under `key`.
    static void setObject(QVariantMap& dictionary, const QVariant& object, const QString& forCaseInsensitiveKey);
};

// CaseInsensitiveLookUp: the value of the first key (in key order) equal to `key` ignoring case; an
// invalid value when none.
QVariant objectForCaseInsensitiveKey(const QVariantMap& dictionary, const QString& key);
