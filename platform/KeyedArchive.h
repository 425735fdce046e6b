// Keyed archives: objects written as property-list dictionaries.
//
// An archived object is a dictionary holding a class tag under KeyedArchive::kClassKey and the
// object's own keys, among them the version key its class chooses ("version",
// "archiveVersionNumber", ...). Nested objects are archived objects themselves, so a reader can
// tell which class it holds (several classes may stand in one array) and which version.
//
// Writing an object:
//     KeyedArchiver a("LayoutDivider");
//     a.encodeInt32("version", 2);
//     a.encodeFloat("at", float(at));
//     return a.archivedObject();                 // a QVariant; nest it or write it to a file
// Reading it back:
//     KeyedUnarchiver u(archived);
//     if (!u.isValid() || u.className() != "LayoutDivider") return nullptr;
//     switch (u.decodeInt32("version")) { ... }  // unknown versions are the reader's business
//
// Typed reads never throw: a missing key, a value of another kind or a number outside the
// requested type's range gives the fallback, and the latter two also set typeMismatch().
// Integers, reals and booleans convert into one another as the platform's keyed coder does
// (a real read as an integer is truncated towards zero; a number read as a bool is "not zero").
//
// File layout: an XML property list (see PropertyList) whose root dictionary is the envelope
//     "$archiver" = "QuillsteadKeyedArchive"   marks the file as a keyed archive
//     "$version"  = 1                          the envelope's own format version
//     "$top"      = the root archived object
// and every archived object, at any depth, is a dictionary
//     "$class"    = the class name
//     <key>       = <value>, one per encode call (integers, reals, booleans, strings, dates,
//                   data, nested archived objects, arrays of either)
// Files are written atomically. Keys beginning with "$" are reserved for the archive.
// Value classes: use from any thread; an instance is not shared between threads.
#pragma once

#include "platform/FileWriteQueue.h"
#include "platform/PropertyList.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

class KeyedArchive {
public:
    static inline const QString kClassKey = QStringLiteral("$class");

    // True for a dictionary that carries a class tag.
    static bool isArchivedObject(const QVariant& value);
    // The class tag of an archived object; a null string for anything else.
    static QString classNameOf(const QVariant& value);

    // The whole-file form of a root archived object.
    static QByteArray toXml(const QVariant& rootObject, PropertyList::Error* error = nullptr);
    // The root archived object of a file's bytes, or an invalid QVariant (error filled) when the
    // bytes are not a property list or not a keyed archive.
    static QVariant fromXml(const QByteArray& xml, PropertyList::Error* error = nullptr);

    // Written as PropertyList::writeFile writes (`what` names the file to the user when it fails).
    static bool writeFile(const QString& path, const QVariant& rootObject, PropertyList::Error* error = nullptr,
        const QString& what = QString());
    static QVariant readFile(const QString& path, PropertyList::Error* error = nullptr);
    // Written as writeFile writes, on the shared write queue's worker (FileWriteQueue), which also
    // encodes it: the main thread hands over the object and goes on. With `ifChanged`, a file that
    // holds these bytes already is not written (FileWriteQueue::writeIfChanged; the result says ok,
    // not written). Main thread.
    static void queueWriteFile(const QString& path, const QVariant& rootObject, const QString& what,
        FileWriteQueue::Done done = {}, bool ifChanged = false);

private:
    static QVariantMap envelope(const QVariant& rootObject);
    static QVariant rootOf(const QVariant& plist, const QString& path, PropertyList::Error* error);
};

class KeyedArchiver {
public:
    explicit KeyedArchiver(const QString& className);

    QString className() const;

    // A later encode of the same key replaces the earlier value.
    void encodeInt32(const QString& key, qint32 value);
    void encodeInt64(const QString& key, qint64 value);
    void encodeInteger(const QString& key, qint64 value);  // the platform's signed word
    void encodeFloat(const QString& key, float value);     // read back exactly by decodeFloat
    void encodeDouble(const QString& key, double value);
    void encodeBool(const QString& key, bool value);
    // A null string (QString()) is a nil object: nothing is written and the key reads back
    // missing (decodeString gives its fallback). An empty string is written as such.
    void encodeString(const QString& key, const QString& value);
    void encodeDate(const QString& key, const QDateTime& value);  // an invalid date writes nothing
    void encodeData(const QString& key, const QByteArray& value);
    // A nested archived object (another object's archivedObject()). An invalid QVariant writes
    // nothing (nil).
    void encodeObject(const QString& key, const QVariant& archivedObject);
    void encodeObject(const QString& key, const KeyedArchiver& object);
    // An array whose elements are archived objects or plain property-list values.
    void encodeArray(const QString& key, const QVariantList& elements);
    // Any plain property-list value (see PropertyList for the kinds).
    void encodeValue(const QString& key, const QVariant& value);

    // This object as an archived object: a dictionary with the class tag and every key written.
    QVariant archivedObject() const;

private:
    void put(const QString& key, const QVariant& value);

    QVariantMap m_map;
};

class KeyedUnarchiver {
public:
    // `archivedObject` is what KeyedArchiver::archivedObject() produced, possibly read back from
    // a file; anything else gives an invalid unarchiver whose reads all give their fallbacks.
    explicit KeyedUnarchiver(const QVariant& archivedObject);

    bool isValid() const;
    QString className() const;
    bool containsValueForKey(const QString& key) const;

    qint32 decodeInt32(const QString& key, qint32 fallback = 0) const;
    qint64 decodeInt64(const QString& key, qint64 fallback = 0) const;
    qint64 decodeInteger(const QString& key, qint64 fallback = 0) const;
    float decodeFloat(const QString& key, float fallback = 0.0f) const;
    double decodeDouble(const QString& key, double fallback = 0.0) const;
    bool decodeBool(const QString& key, bool fallback = false) const;
    // The fallback (null by default, so a nil string stays distinguishable from an empty one)
    // when the key is missing or holds no string.
    QString decodeString(const QString& key, const QString& fallback = QString()) const;
    QDateTime decodeDate(const QString& key, const QDateTime& fallback = QDateTime()) const;
    QByteArray decodeData(const QString& key, const QByteArray& fallback = QByteArray()) const;
    // The nested archived object under the key; invalid when it is missing or not an archived
    // object, or (with `expectedClass` given) when its class tag differs.
    QVariant decodeObject(const QString& key, const QString& expectedClass = QString()) const;
    // The array under the key, elements as stored; empty when missing or not an array.
    QVariantList decodeArray(const QString& key) const;
    // The raw value under the key; invalid when missing.
    QVariant decodeValue(const QString& key) const;

    // True once a read found its key holding a value of another kind or out of range.
    bool typeMismatch() const { return m_typeMismatch; }

private:
    bool readInteger(const QString& key, qint64 min, qint64 max, qint64* out) const;
    bool readReal(const QString& key, double* out) const;

    QVariantMap m_map;
    bool m_valid = false;
    mutable bool m_typeMismatch = false;
};
