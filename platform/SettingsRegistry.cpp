#include "platform/SettingsRegistry.h"

#include <algorithm>
#include <cmath>

const std::vector<SettingDefault>& SettingsRegistry::table()
{
    // Colours are "#rrggbb" texts and keep the letter case their readers were written for.
    static const std::vector<SettingDefault> settings = {
        {"WebKitDeveloperExtras", SettingType::Bool, false},
        {"autoSyncEnabled", SettingType::Bool, false},
        {"autoSyncFreq", SettingType::Integer, qint64(3600000)},
        {"autoUpdateNavigator", SettingType::Bool, false},
        {"backColor", SettingType::String, QStringLiteral("#ffffff")},
        {"baseFontSize", SettingType::Integer, qint64(12)},
        {"bodyFont", SettingType::String, QStringLiteral("Arial")},
        {"closeOpenBookOnOpen", SettingType::Bool, true},
        {"colorScheme", SettingType::Integer, qint64(0)},
        {"customBackColor", SettingType::String, QStringLiteral("#ffffff")},
        {"customFootnoteBGColor", SettingType::String, QStringLiteral("#e0e0ff")},
        {"customLinkColor", SettingType::String, QStringLiteral("#0000c0")},
        {"customSearchBold", SettingType::Bool, false},
        {"customSearchColor", SettingType::String, QStringLiteral("#008000")},
        {"customTempHLColor", SettingType::String, QStringLiteral("#fff2ea")},
        {"customTextColor", SettingType::String, QStringLiteral("#000000")},
        {"customWocBold", SettingType::Bool, false},
        {"customWocColor", SettingType::String, QStringLiteral("#c00000")},
        {"customDevoReadColor", SettingType::String, QStringLiteral("#C0FFDC")},
        {"customDevoUnreadColor", SettingType::String, QStringLiteral("#FFE3E3")},
        {"credentialsValid", SettingType::Bool, false},
        {"optionsbitfield", SettingType::String, QStringLiteral("")},
        {"customerID", SettingType::String, QStringLiteral("")},
        {"customerIDNum", SettingType::Integer, qint64(0)},
        {"customerFirstName", SettingType::String, QStringLiteral("")},
        {"customerLastName", SettingType::String, QStringLiteral("")},
        {"customerHasRegistered", SettingType::Bool, false},
        {"devoReadColor", SettingType::String, QStringLiteral("#C0FFDC")},
        {"devoUnreadColor", SettingType::String, QStringLiteral("#FFE3E3")},
        {"findProximity", SettingType::Integer, qint64(2)},
        {"footnoteBGColor", SettingType::String, QStringLiteral("#e0e0ff")},
        {"footnoteStyle", SettingType::String, QStringLiteral("Collapse")},
        {"highlightStyle", SettingType::String, QStringLiteral("Show")},
        {"hideDownloaded", SettingType::Bool, false},
        {"hideVerseNumbers", SettingType::Bool, false},
        {"indentPoetry", SettingType::Bool, true},
        {"leftMargin", SettingType::Integer, qint64(12)},
        {"lineHeight", SettingType::Real, 1.2},
        {"linkColor", SettingType::String, QStringLiteral("#0000CC")},
        {"maxNavRowsPerBook", SettingType::Integer, qint64(3)},
        {"oneVersePerParagraph", SettingType::Bool, false},
        {"poetryLeft", SettingType::Integer, qint64(20)},
        {"poetryRight", SettingType::Integer, qint64(10)},
        {"preferredBiblePubId", SettingType::Integer, qint64(0)},
        {"preferredBibleBookId", SettingType::Integer, qint64(0)},
        {"preferredDevotionalPubId", SettingType::Integer, qint64(0)},
        {"preferredDevotionalBookId", SettingType::Integer, qint64(0)},
        {"preferredDictionaryPubId", SettingType::Integer, qint64(0)},
        {"preferredDictionaryBookId", SettingType::Integer, qint64(0)},
        {"preferredGreekDictionaryPubId", SettingType::Integer, qint64(0)},
        {"preferredGreekDictionaryBookId", SettingType::Integer, qint64(0)},
        {"preferredHebrewDictionaryPubId", SettingType::Integer, qint64(0)},
        {"preferredHebrewDictionaryBookId", SettingType::Integer, qint64(0)},
        {"prevAppVersion", SettingType::Integer, qint64(0)},
        {"rightMargin", SettingType::Integer, qint64(4)},
        {"scrollTrackInterval", SettingType::String, QStringLiteral("page")},
        {"searchBold", SettingType::Bool, false},
        {"searchColor", SettingType::String, QStringLiteral("#008000")},
        {"selectedBookKindRow", SettingType::Integer, qint64(0)},
        {"showLinksDisabledMessage", SettingType::Bool, true},
        {"showMsgVerses", SettingType::Bool, false},
        {"strongsNumbers", SettingType::Bool, true},
        {"strongsDecoration", SettingType::String, QStringLiteral("none")},
        {"syncBiblesComm", SettingType::Bool, true},
        {"syncDevotionals", SettingType::Bool, true},
        {"syncDictionaries", SettingType::Bool, true},
        {"tempHLColor", SettingType::String, QStringLiteral("#ffd8bd")},
        {"textColor", SettingType::String, QStringLiteral("#000000")},
        {"versePopovers", SettingType::Bool, true},
        {"hideNoteLinks", SettingType::Bool, false},
        {"highlightLinkedPassage", SettingType::Bool, true},
        {"voiceEN", SettingType::String, QStringLiteral("")},
        {"voiceEL", SettingType::String, QStringLiteral("")},
        {"voiceES", SettingType::String, QStringLiteral("")},
        {"voiceENRate", SettingType::Real, 200.0},
        {"voiceELRate", SettingType::Real, 200.0},
        {"voiceESRate", SettingType::Real, 200.0},
        {"voiceScrollText", SettingType::Bool, true},
        {"wocBold", SettingType::Bool, false},
        {"wocColor", SettingType::String, QStringLiteral("#CC0000")},
        {"wocInRed", SettingType::Bool, true},
        {"cpRefLocation", SettingType::Integer, qint64(1)},
        {"cpRefFormat", SettingType::Integer, qint64(1)},
        {"cpRefDelimPlain", SettingType::Integer, qint64(1)},
        {"cpRefDelimRich", SettingType::Integer, qint64(1)},
        {"cpRefStyleBold", SettingType::Bool, false},
        {"cpRefStyleItalic", SettingType::Bool, false},
        {"cpRefStyleUnderline", SettingType::Bool, false},
        {"cpVerseDelimPlain", SettingType::Integer, qint64(1)},
        {"cpVerseDelimRich", SettingType::Integer, qint64(1)},
        {"customSearchLimits", SettingType::String, QStringLiteral("")},
        {"cpBiblePubID", SettingType::Integer, qint64(0)},
        {"cpBibleBookID", SettingType::Integer, qint64(0)},
        {"cpClipboardFormat", SettingType::Integer, qint64(1)},
        {"mainWindowOriginX", SettingType::Real, 0.0},
        {"mainWindowOriginY", SettingType::Real, 0.0},
        {"mainWindowWidth", SettingType::Real, 0.0},
        {"mainWindowHeight", SettingType::Real, 0.0},
        {"enhancedNotesSearch", SettingType::Bool, false},
        {"myOffersInterval", SettingType::Integer, qint64(604800)},
        {"myOffersNotifications", SettingType::Bool, true},
        {"myOffersIgnored", SettingType::Integer, qint64(0)},
        {"lastAppUpdateCheck", SettingType::Integer, qint64(0)},
        {"appUpdateFreqSeconds", SettingType::Integer, qint64(2629800)},
        {"appUpdateAutomatic", SettingType::Bool, true},
        {"mainWindowToolbarStyle", SettingType::Integer, qint64(1)},
    };
    return settings;
}

QVariantMap SettingsRegistry::factoryDefaults()
{
    QVariantMap map;
    for (const SettingDefault& s : table())
        map.insert(s.key, s.value);
    return map;
}

void SettingsRegistry::registerDefaultsForAllPreferences(UserDefaults& defaults)
{
    defaults.registerDefaults(factoryDefaults());
    defaults.registerDefaults({{kStrongsColorKey, defaults.stringForKey(kLinkColorKey)}});
}

void SettingsRegistry::registerSpeechSynthesisDefaults(
    UserDefaults& defaults, const QList<SpeechVoice>& installedVoices)
{
    registerSpeechSynthesisDefault(defaults, QStringLiteral("voiceEN"), QStringLiteral("en"), installedVoices);
    registerSpeechSynthesisDefault(defaults, QStringLiteral("voiceEL"), QStringLiteral("el"), installedVoices);
    registerSpeechSynthesisDefault(defaults, QStringLiteral("voiceES"), QStringLiteral("es"), installedVoices);
}

namespace {

struct SpeechVoiceSource {
    std::function<QList<SpeechVoice>()> list;
    bool registered = false;
};

SpeechVoiceSource& speechVoiceSource()
{
    static SpeechVoiceSource source;
    return source;
}

}  // namespace

void SettingsRegistry::setSpeechVoiceSource(std::function<QList<SpeechVoice>()> source)
{
    speechVoiceSource() = {std::move(source), false};
}

void SettingsRegistry::ensureSpeechSynthesisDefaults(UserDefaults& defaults)
{
    SpeechVoiceSource& source = speechVoiceSource();
    if (source.registered || !source.list)
        return;
    source.registered = true;
    registerSpeechSynthesisDefaults(defaults, source.list());
}

void SettingsRegistry::registerSpeechSynthesisDefault(
    UserDefaults& defaults, const QString& key, const QString& language, const QList<SpeechVoice>& installedVoices)
{
    const QString current = defaults.stringForKey(key);
    QStringList candidates;
    for (const SpeechVoice& v : installedVoices) {
        if (v.localeIdentifier.startsWith(language))
            candidates.append(v.identifier);
    }
    if (candidates.isEmpty())
        return;
    if (!current.isEmpty() && candidates.contains(current))
        return;
    defaults.setString(candidates.first(), key);
}

std::optional<SettingRange> SettingsRegistry::rangeOf(const QString& key)
{
    // Text below 6 points cannot be read and above 72 one word fills a line; margins and indents
    // past 300 pixels leave no room for the text.
    if (key == QLatin1String("baseFontSize"))
        return SettingRange {6, 72};
    if (key == QLatin1String("lineHeight"))
        return SettingRange {0.5, 5.0};
    if (key == QLatin1String("leftMargin") || key == QLatin1String("rightMargin") ||
        key == QLatin1String("poetryLeft") || key == QLatin1String("poetryRight"))
        return SettingRange {0, 300};
    return std::nullopt;
}

qint64 SettingsRegistry::clampedInteger(const UserDefaults& defaults, const QString& key)
{
    const qint64 value = defaults.integerForKey(key);
    const std::optional<SettingRange> range = rangeOf(key);
    return range ? std::clamp(value, qint64(range->minimum), qint64(range->maximum)) : value;
}

double SettingsRegistry::clampedDouble(const UserDefaults& defaults, const QString& key)
{
    const double value = defaults.doubleForKey(key);
    const std::optional<SettingRange> range = rangeOf(key);
    if (!range)
        return value;
    return std::isnan(value) ? range->minimum : std::clamp(value, range->minimum, range->maximum);
}

QString SettingsRegistry::installedBookKey(const QString& fileName)
{
    return QStringLiteral("installed.") + fileName;
}

QString SettingsRegistry::syncBibleKey(const QString& layoutUuid)
{
    return QStringLiteral("syncBibleKey:") + layoutUuid;
}

QString SettingsRegistry::syncWordSyncKey(const QString& layoutUuid)
{
    return QStringLiteral("syncWordSync:") + layoutUuid;
}
