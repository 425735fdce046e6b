// Every setting of the application with its factory default, in one table, and the start-up
// registration of those defaults (never written to the settings file: a stored value wins).
//
// Derived settings:
//   "strongsColor"        registered after the table with the link colour in effect at that
//                         moment, so Strong's numbers follow the link colour until the user
//                         stores a colour of their own.
//   "voiceEN" and friends filled with an installed voice of their language once per run, when
//                         speech or the Voices settings first need them (listing the voices loads
//                         the speech engine and its voices, some megabytes the reader does not
//                         carry until then).
// The keys themselves, with their types, are in SettingsKeys.h.
#pragma once

#include "platform/UserDefaults.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

enum class SettingType { Bool, Integer, Real, String };

struct SettingDefault {
    QString key;
    SettingType type;
    QVariant value;  // bool, qint64, double or QString, by type
};

// The values a display size may take; a stored value outside them is read as the nearest end.
struct SettingRange {
    double minimum;
    double maximum;
};

// One installed speech voice as the speech engine lists it.
struct SpeechVoice {
    QString identifier;
    QString localeIdentifier;  // such as "en_US" or "el-GR"
};

class SettingsRegistry {
public:
    // The table, in its documented order.
    static const std::vector<SettingDefault>& table();
    // The table as a dictionary, as registered.
    static QVariantMap factoryDefaults();

    // Registers the table, then "strongsColor" from the link colour. Once per start, before
    // anything reads a setting.
    static void registerDefaultsForAllPreferences(UserDefaults& defaults);
    // Registers the derived settings again from the values in effect now (after stored values were
    // removed, so that they read as at a first start).
    static void registerDerivedDefaults(UserDefaults& defaults);

    // ("voiceEN", "en"), ("voiceEL", "el"), ("voiceES", "es"), in that order.
    static void registerSpeechSynthesisDefaults(UserDefaults& defaults, const QList<SpeechVoice>& installedVoices);
    // Stores the first installed voice of the language when the key holds no voice or one that
    // is no longer installed; leaves the key alone when the language has no voice at all.
    static void registerSpeechSynthesisDefault(UserDefaults& defaults, const SettingKey<QString>& key,
        const QString& language, const QList<SpeechVoice>& installedVoices);

    // The range of a display size ("baseFontSize" 6 to 72 points, "lineHeight", the margins and the
    // poetry indents); none for other keys.
    static std::optional<SettingRange> rangeOf(const QString& key);
    // A size as its readers take it: the stored value held to its range.
    static qint64 clampedInteger(const UserDefaults& defaults, const QString& key);
    static double clampedDouble(const UserDefaults& defaults, const QString& key);
    template <typename T> static qint64 clampedInteger(const UserDefaults& defaults, const SettingKey<T>& key)
    {
        return clampedInteger(defaults, key.name);
    }
    template <typename T> static double clampedDouble(const UserDefaults& defaults, const SettingKey<T>& key)
    {
        return clampedDouble(defaults, key.name);
    }
    // Where the installed voices come from (the application sets it at start-up; nothing is loaded
    // then). ensureSpeechSynthesisDefaults registers the voice defaults from it the first time it is
    // called in a run and does nothing after that, or when no source is set.
    static void setSpeechVoiceSource(std::function<QList<SpeechVoice>()> source);
    static void ensureSpeechSynthesisDefaults(UserDefaults& defaults);
};
