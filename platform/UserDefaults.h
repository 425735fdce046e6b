// The application's settings: stored values in a QSettings file over a registration domain of
// factory defaults kept in memory only.
//
// A read looks at the stored value first, then the registered default. Typed reads coerce as
// the platform's defaults store does:
//   bool     a number is YES when not zero; a string is YES when it begins (after white space)
//            with Y, y, T or t, or with an optional sign, zeros and then a digit 1-9
//            ("YES", "true", "1", "  +007"); everything else, and a missing key, is NO.
//   integer  a number (a real is truncated towards zero, a bool is 0 or 1); a string's leading
//            decimal integer after white space and an optional sign ("12345", " 42px" -> 42,
//            "1.9" -> 1), clamped to the 64-bit range; 0 otherwise.
//   real     a number; a string's leading decimal number ("1.5e3x" -> 1500); 0 otherwise.
//   string   a string as it is, a number as its decimal text (a stored bool is "1" or "0");
//            null for containers, data and missing keys.
//   array, dictionary, data: the value when it is of that kind, else empty.
// The settings file keeps text, so a stored number reads back through objectForKey as its
// text after a restart; the typed reads give the same answer before and after.
//
// Storing an invalid QVariant or a null QString removes the key (the registered default shows
// through again); an empty string is stored as such. Bools are stored as the integers 1 and 0.
//
// A symbolic link in the file's place that names a settings file is read and written where it
// points; any other link is refused (linkProblem) and left alone.
//
// Every change is written to the file (atomically) before the setter returns. A write the disk
// cannot take keeps the previous file and is reported once to the user (SaveFailureAlerts).
//
// The standard instance's file is "<bundle identifier>.conf" in the XDG config folder
// ($XDG_CONFIG_HOME, so tests redirect it). Thread-safe.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <type_traits>

class QSettings;
class QTemporaryDir;

// A setting's stored name and the type its readers take; the keys are in platform/SettingsKeys.h.
template <typename T> struct SettingKey {
    QString name;
};

// A setting of the registry table: its key and its factory default.
template <typename T> struct Setting : SettingKey<T> {
    Setting(QString name, T factory) : SettingKey<T> {std::move(name)}, factoryDefault(std::move(factory)) { }
    T factoryDefault;
};

// Keys made at run time: the prefix, the identifier of one book, layout or window, and the suffix.
template <typename T> struct SettingKeyFamily {
    explicit SettingKeyFamily(QString before, QString after = {}) : prefix(std::move(before)), suffix(std::move(after))
    {
    }
    QString prefix;
    QString suffix;
    SettingKey<T> operator()(const QString& id) const { return {prefix + id + suffix}; }
};

class UserDefaults {
public:
    explicit UserDefaults(const QString& filePath);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The program's settings, opened at defaultFilePath() on first use (the program hands them down;
    // a test makes its own).
    static UserDefaults& standardUserDefaults();
    static QString defaultFilePath();

    QString filePath() const;
    // Why the settings are kept for this run only: the file's place holds a symbolic link whose
    // target is missing, a loop, no file or no settings file (ProfileLink.h), named with the link and
    // its target. The link and what it names are never written. Empty when the file is in use.
    QString linkProblem() const;

    // Adds to the registration domain (a later registration of a key replaces the earlier).
    void registerDefaults(const QVariantMap& defaults);
    QVariantMap registeredDefaults() const;

    // A setting through its typed key (SettingsKeys.h), coerced to the key's type as below; values
    // of other types come from the stored or registered value as QVariant converts it.
    template <typename T> T value(const SettingKey<T>& key) const
    {
        if constexpr (std::is_same_v<T, bool>)
            return boolForKey(key.name);
        else if constexpr (std::is_same_v<T, qint64>)
            return integerForKey(key.name);
        else if constexpr (std::is_same_v<T, double>)
            return doubleForKey(key.name);
        else if constexpr (std::is_same_v<T, QString>)
            return stringForKey(key.name);
        else if constexpr (std::is_same_v<T, QVariantList>)
            return arrayForKey(key.name);
        else if constexpr (std::is_same_v<T, QVariantMap>)
            return dictionaryForKey(key.name);
        else if constexpr (std::is_same_v<T, QByteArray>)
            return dataForKey(key.name);
        else if constexpr (std::is_same_v<T, QVariant>)
            return objectForKey(key.name);
        else
            return objectForKey(key.name).template value<T>();
    }
    // Stores a value of the key's type (a null string removes the key, as setObject says).
    template <typename T> void set(const SettingKey<T>& key, const std::type_identity_t<T>& value)
    {
        if constexpr (std::is_same_v<T, QVariant>)
            setObject(value, key.name);
        else
            setObject(QVariant::fromValue(value), key.name);
    }
    template <typename T> void remove(const SettingKey<T>& key) { removeObjectForKey(key.name); }
    // Stores under `to` what `from` reads as (its stored or registered value, as a T); removes `to`
    // when `from` has neither.
    template <typename T> void copy(const SettingKey<T>& from, const SettingKey<T>& to)
    {
        if (objectForKey(from.name).isValid())
            set(to, value(from));
        else
            remove(to);
    }
    template <typename T> bool hasStoredValue(const SettingKey<T>& key) const { return hasStoredValue(key.name); }

    // The untyped reads and writes, for keys the program does not know by name (a value given on a
    // command line, a stored map of keys to values).
    QVariant objectForKey(const QString& key) const;
    QString stringForKey(const QString& key) const;
    bool boolForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    QVariantList arrayForKey(const QString& key) const;
    QVariantMap dictionaryForKey(const QString& key) const;
    QByteArray dataForKey(const QString& key) const;

    // True when a value is stored under the key (not merely registered).
    bool hasStoredValue(const QString& key) const;
    QStringList storedKeys() const;

    void setObject(const QVariant& value, const QString& key);
    void setString(const QString& value, const QString& key);
    void setBool(bool value, const QString& key);
    void setInteger(qint64 value, const QString& key);
    void setDouble(double value, const QString& key);
    void removeObjectForKey(const QString& key);
    // Several keys at once (each as setObject stores it), with one write of the file.
    void setObjects(const QVariantMap& values);

    // Removes every stored value of the application (the registered defaults stay).
    void removePersistentDomain();
    // Reads changes made to the file by others; false when the file cannot be read or written.
    bool synchronize();

    // The coercions above, for values read elsewhere.
    static bool boolFromValue(const QVariant& value);
    static qint64 integerFromValue(const QVariant& value);
    static double doubleFromValue(const QVariant& value);
    static QString stringFromValue(const QVariant& value);

private:
    QVariant lookup(const QString& key) const;
    // Writes the changes; a write cut short (a full disk) leaves the previous file in place and is
    // reported once (SaveFailureAlerts). With m_mutex held.
    void syncKeepingThePreviousFile();
    // One value into the settings, not yet written; the caller holds the lock.
    void store(const QVariant& value, const QString& key);
    bool isWrittenWhole(const QString& path) const;

    // Keeps the settings of this run in a scratch file: the file's place holds a link that was refused.
    void refuseLink(const QString& problem);

    mutable std::mutex m_mutex;
    QString m_filePath;
    QString m_linkProblem;
    std::unique_ptr<QTemporaryDir> m_scratch;
    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_registered;
};
