#include "platform/SettingsRegistry.h"

#include "platform/SettingsKeys.h"

#include <algorithm>
#include <cmath>

namespace {

template <typename T> SettingDefault row(const Setting<T>& setting)
{
    if constexpr (std::is_same_v<T, bool>)
        return {setting.name, SettingType::Bool, setting.factoryDefault};
    else if constexpr (std::is_same_v<T, qint64>)
        return {setting.name, SettingType::Integer, setting.factoryDefault};
    else if constexpr (std::is_same_v<T, double>)
        return {setting.name, SettingType::Real, setting.factoryDefault};
    else
        return {setting.name, SettingType::String, setting.factoryDefault};
}

}  // namespace

const std::vector<SettingDefault>& SettingsRegistry::table()
{
    // Colours are "#rrggbb" texts and keep the letter case their readers were written for.
    static const std::vector<SettingDefault> settings = {
        row(SettingsKeys::WebKitDeveloperExtras),
        row(SettingsKeys::AutoSyncEnabled),
        row(SettingsKeys::AutoSyncFreq),
        row(SettingsKeys::AutoUpdateNavigator),
        row(SettingsKeys::BackColor),
        row(SettingsKeys::BaseFontSize),
        row(SettingsKeys::BodyFont),
        row(SettingsKeys::CloseOpenBookOnOpen),
        row(SettingsKeys::ColorScheme),
        row(SettingsKeys::CustomBackColor),
        row(SettingsKeys::CustomFootnoteBGColor),
        row(SettingsKeys::CustomLinkColor),
        row(SettingsKeys::CustomSearchBold),
        row(SettingsKeys::CustomSearchColor),
        row(SettingsKeys::CustomTempHLColor),
        row(SettingsKeys::CustomTextColor),
        row(SettingsKeys::CustomWocBold),
        row(SettingsKeys::CustomWocColor),
        row(SettingsKeys::CustomDevoReadColor),
        row(SettingsKeys::CustomDevoUnreadColor),
        row(SettingsKeys::CredentialsValid),
        row(SettingsKeys::Optionsbitfield),
        row(SettingsKeys::CustomerID),
        row(SettingsKeys::CustomerIDNum),
        row(SettingsKeys::CustomerFirstName),
        row(SettingsKeys::CustomerLastName),
        row(SettingsKeys::CustomerHasRegistered),
        row(SettingsKeys::DevoReadColor),
        row(SettingsKeys::DevoUnreadColor),
        row(SettingsKeys::FindProximity),
        row(SettingsKeys::FootnoteBGColor),
        row(SettingsKeys::FootnoteStyle),
        row(SettingsKeys::HighlightStyle),
        row(SettingsKeys::HideDownloaded),
        row(SettingsKeys::HideVerseNumbers),
        row(SettingsKeys::IndentPoetry),
        row(SettingsKeys::LeftMargin),
        row(SettingsKeys::LineHeight),
        row(SettingsKeys::LinkColor),
        row(SettingsKeys::MaxNavRowsPerBook),
        row(SettingsKeys::OneVersePerParagraph),
        row(SettingsKeys::PoetryLeft),
        row(SettingsKeys::PoetryRight),
        row(SettingsKeys::PreferredBiblePubId),
        row(SettingsKeys::PreferredBibleBookId),
        row(SettingsKeys::PreferredDevotionalPubId),
        row(SettingsKeys::PreferredDevotionalBookId),
        row(SettingsKeys::PreferredDictionaryPubId),
        row(SettingsKeys::PreferredDictionaryBookId),
        row(SettingsKeys::PreferredGreekDictionaryPubId),
        row(SettingsKeys::PreferredGreekDictionaryBookId),
        row(SettingsKeys::PreferredHebrewDictionaryPubId),
        row(SettingsKeys::PreferredHebrewDictionaryBookId),
        row(SettingsKeys::PrevAppVersion),
        row(SettingsKeys::RightMargin),
        row(SettingsKeys::ScrollTrackInterval),
        row(SettingsKeys::SearchBold),
        row(SettingsKeys::SearchColor),
        row(SettingsKeys::SelectedBookKindRow),
        row(SettingsKeys::ShowLinksDisabledMessage),
        row(SettingsKeys::ShowMsgVerses),
        row(SettingsKeys::StrongsNumbers),
        row(SettingsKeys::StrongsDecoration),
        row(SettingsKeys::SyncBiblesComm),
        row(SettingsKeys::SyncDevotionals),
        row(SettingsKeys::SyncDictionaries),
        row(SettingsKeys::TempHLColor),
        row(SettingsKeys::TextColor),
        row(SettingsKeys::VersePopovers),
        row(SettingsKeys::HideNoteLinks),
        row(SettingsKeys::HighlightLinkedPassage),
        row(SettingsKeys::VoiceEN),
        row(SettingsKeys::VoiceEL),
        row(SettingsKeys::VoiceES),
        row(SettingsKeys::VoiceENRate),
        row(SettingsKeys::VoiceELRate),
        row(SettingsKeys::VoiceESRate),
        row(SettingsKeys::VoiceScrollText),
        row(SettingsKeys::WocBold),
        row(SettingsKeys::WocColor),
        row(SettingsKeys::WocInRed),
        row(SettingsKeys::CpRefLocation),
        row(SettingsKeys::CpRefFormat),
        row(SettingsKeys::CpRefDelimPlain),
        row(SettingsKeys::CpRefDelimRich),
        row(SettingsKeys::CpRefStyleBold),
        row(SettingsKeys::CpRefStyleItalic),
        row(SettingsKeys::CpRefStyleUnderline),
        row(SettingsKeys::CpVerseDelimPlain),
        row(SettingsKeys::CpVerseDelimRich),
        row(SettingsKeys::CustomSearchLimits),
        row(SettingsKeys::CpBiblePubID),
        row(SettingsKeys::CpBibleBookID),
        row(SettingsKeys::CpClipboardFormat),
        row(SettingsKeys::MainWindowOriginX),
        row(SettingsKeys::MainWindowOriginY),
        row(SettingsKeys::MainWindowWidth),
        row(SettingsKeys::MainWindowHeight),
        row(SettingsKeys::EnhancedNotesSearch),
        row(SettingsKeys::MyOffersInterval),
        row(SettingsKeys::MyOffersNotifications),
        row(SettingsKeys::MyOffersIgnored),
        row(SettingsKeys::LastAppUpdateCheck),
        row(SettingsKeys::AppUpdateFreqSeconds),
        row(SettingsKeys::AppUpdateAutomatic),
        row(SettingsKeys::MainWindowToolbarStyle),
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
    registerDerivedDefaults(defaults);
}

void SettingsRegistry::registerDerivedDefaults(UserDefaults& defaults)
{
    defaults.registerDefaults({{SettingsKeys::StrongsColor.name, defaults.value(SettingsKeys::LinkColor)}});
}

void SettingsRegistry::registerSpeechSynthesisDefaults(
    UserDefaults& defaults, const QList<SpeechVoice>& installedVoices)
{
    registerSpeechSynthesisDefault(defaults, SettingsKeys::VoiceEN, QStringLiteral("en"), installedVoices);
    registerSpeechSynthesisDefault(defaults, SettingsKeys::VoiceEL, QStringLiteral("el"), installedVoices);
    registerSpeechSynthesisDefault(defaults, SettingsKeys::VoiceES, QStringLiteral("es"), installedVoices);
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

void SettingsRegistry::registerSpeechSynthesisDefault(UserDefaults& defaults, const SettingKey<QString>& key,
    const QString& language, const QList<SpeechVoice>& installedVoices)
{
    const QString current = defaults.value(key);
    QStringList candidates;
    for (const SpeechVoice& v : installedVoices) {
        if (v.localeIdentifier.startsWith(language))
            candidates.append(v.identifier);
    }
    if (candidates.isEmpty())
        return;
    if (!current.isEmpty() && candidates.contains(current))
        return;
    defaults.set(key, candidates.first());
}

std::optional<SettingRange> SettingsRegistry::rangeOf(const QString& key)
{
    // Text below 6 points cannot be read and above 72 one word fills a line; margins and indents
    // past 300 pixels leave no room for the text.
    using namespace SettingsKeys;
    if (key == BaseFontSize.name)
        return SettingRange {6, 72};
    if (key == LineHeight.name)
        return SettingRange {0.5, 5.0};
    if (key == LeftMargin.name || key == RightMargin.name || key == PoetryLeft.name || key == PoetryRight.name)
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
