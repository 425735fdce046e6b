#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QTemporaryDir>

namespace {

// The settings and factory defaults the application documents, written out independently of
// the registry's own table: type letter (B, I, R, S) and default as text.
const char* const kExpected[][3] = {
    {"WebKitDeveloperExtras", "B", "NO"},
    {"autoSyncEnabled", "B", "NO"},
    {"autoSyncFreq", "I", "3600000"},
    {"autoUpdateNavigator", "B", "NO"},
    {"backColor", "S", "#ffffff"},
    {"baseFontSize", "I", "12"},
    {"bodyFont", "S", "Arial"},
    {"closeOpenBookOnOpen", "B", "YES"},
    {"colorScheme", "I", "0"},
    {"customBackColor", "S", "#ffffff"},
    {"customFootnoteBGColor", "S", "#e0e0ff"},
    {"customLinkColor", "S", "#0000c0"},
    {"customSearchBold", "B", "NO"},
    {"customSearchColor", "S", "#008000"},
    {"customTempHLColor", "S", "#fff2ea"},
    {"customTextColor", "S", "#000000"},
    {"customWocBold", "B", "NO"},
    {"customWocColor", "S", "#c00000"},
    {"customDevoReadColor", "S", "#C0FFDC"},
    {"customDevoUnreadColor", "S", "#FFE3E3"},
    {"credentialsValid", "B", "NO"},
    {"optionsbitfield", "S", ""},
    {"customerID", "S", ""},
    {"customerIDNum", "I", "0"},
    {"customerFirstName", "S", ""},
    {"customerLastName", "S", ""},
    {"customerHasRegistered", "B", "NO"},
    {"devoReadColor", "S", "#C0FFDC"},
    {"devoUnreadColor", "S", "#FFE3E3"},
    {"findProximity", "I", "2"},
    {"footnoteBGColor", "S", "#e0e0ff"},
    {"footnoteStyle", "S", "Collapse"},
    {"highlightStyle", "S", "Show"},
    {"hideDownloaded", "B", "NO"},
    {"hideVerseNumbers", "B", "NO"},
    {"indentPoetry", "B", "YES"},
    {"leftMargin", "I", "12"},
    {"lineHeight", "R", "1.2"},
    {"linkColor", "S", "#0000CC"},
    {"maxNavRowsPerBook", "I", "3"},
    {"oneVersePerParagraph", "B", "NO"},
    {"poetryLeft", "I", "20"},
    {"poetryRight", "I", "10"},
    {"preferredBiblePubId", "I", "0"},
    {"preferredBibleBookId", "I", "0"},
    {"preferredDevotionalPubId", "I", "0"},
    {"preferredDevotionalBookId", "I", "0"},
    {"preferredDictionaryPubId", "I", "0"},
    {"preferredDictionaryBookId", "I", "0"},
    {"preferredGreekDictionaryPubId", "I", "0"},
    {"preferredGreekDictionaryBookId", "I", "0"},
    {"preferredHebrewDictionaryPubId", "I", "0"},
    {"preferredHebrewDictionaryBookId", "I", "0"},
    {"prevAppVersion", "I", "0"},
    {"rightMargin", "I", "4"},
    {"scrollTrackInterval", "S", "page"},
    {"searchBold", "B", "NO"},
    {"searchColor", "S", "#008000"},
    {"selectedBookKindRow", "I", "0"},
    {"showLinksDisabledMessage", "B", "YES"},
    {"showMsgVerses", "B", "NO"},
    {"strongsNumbers", "B", "YES"},
    {"strongsDecoration", "S", "none"},
    {"syncBiblesComm", "B", "YES"},
    {"syncDevotionals", "B", "YES"},
    {"syncDictionaries", "B", "YES"},
    {"tempHLColor", "S", "#ffd8bd"},
    {"textColor", "S", "#000000"},
    {"versePopovers", "B", "YES"},
    {"hideNoteLinks", "B", "NO"},
    {"highlightLinkedPassage", "B", "YES"},
    {"voiceEN", "S", ""},
    {"voiceEL", "S", ""},
    {"voiceES", "S", ""},
    {"voiceENRate", "R", "200.0"},
    {"voiceELRate", "R", "200.0"},
    {"voiceESRate", "R", "200.0"},
    {"voiceScrollText", "B", "YES"},
    {"wocBold", "B", "NO"},
    {"wocColor", "S", "#CC0000"},
    {"wocInRed", "B", "YES"},
    {"cpRefLocation", "I", "1"},
    {"cpRefFormat", "I", "1"},
    {"cpRefDelimPlain", "I", "1"},
    {"cpRefDelimRich", "I", "1"},
    {"cpRefStyleBold", "B", "NO"},
    {"cpRefStyleItalic", "B", "NO"},
    {"cpRefStyleUnderline", "B", "NO"},
    {"cpVerseDelimPlain", "I", "1"},
    {"cpVerseDelimRich", "I", "1"},
    {"customSearchLimits", "S", ""},
    {"cpBiblePubID", "I", "0"},
    {"cpBibleBookID", "I", "0"},
    {"cpClipboardFormat", "I", "1"},
    {"mainWindowOriginX", "R", "0.0"},
    {"mainWindowOriginY", "R", "0.0"},
    {"mainWindowWidth", "R", "0.0"},
    {"mainWindowHeight", "R", "0.0"},
    {"enhancedNotesSearch", "B", "NO"},
    {"myOffersInterval", "I", "604800"},
    {"myOffersNotifications", "B", "YES"},
    {"myOffersIgnored", "I", "0"},
    {"lastAppUpdateCheck", "I", "0"},
    {"appUpdateFreqSeconds", "I", "2629800"},
    {"appUpdateAutomatic", "B", "YES"},
    {"mainWindowToolbarStyle", "I", "1"},
};

QVariant expectedValue(const char* type, const char* text)
{
    const QString t = QString::fromUtf8(text);
    switch (type[0]) {
    case 'B':
        return t == "YES";
    case 'I':
        return t.toLongLong();
    case 'R':
        return t.toDouble();
    default:
        return t;
    }
}

TEST(SettingsRegistryTest, EveryDocumentedKeyIsRegisteredWithExactlyItsDefault)
{
    QTemporaryDir dir;
    UserDefaults d(dir.filePath("d.conf"));
    SettingsRegistry::registerDefaultsForAllPreferences(d);
    const QVariantMap registered = d.registeredDefaults();

    const int metaTypes[] = {QMetaType::Bool, QMetaType::LongLong, QMetaType::Double, QMetaType::QString};
    QSet<QString> documented;
    for (const auto& row : kExpected) {
        const QString key = QString::fromUtf8(row[0]);
        documented.insert(key);
        ASSERT_TRUE(registered.contains(key)) << row[0];
        const QVariant value = registered.value(key);
        const QVariant expected = expectedValue(row[1], row[2]);
        EXPECT_EQ(value.typeId(), metaTypes[QByteArray("BIRS").indexOf(row[1][0])]) << row[0];
        EXPECT_EQ(value, expected) << row[0];
    }
    EXPECT_EQ(documented.size(), 106);
    EXPECT_EQ(SettingsRegistry::table().size(), 106u);
    // Nothing beyond the table but the derived Strong's colour.
    EXPECT_EQ(registered.size(), 107);
    EXPECT_EQ(registered.value("strongsColor"), QVariant("#0000CC"));
    EXPECT_TRUE(d.storedKeys().isEmpty());  // registration writes nothing
}

TEST(SettingsRegistryTest, StrongsColorFollowsTheStoredLinkColorUntilSetItself)
{
    QTemporaryDir dir;
    UserDefaults d(dir.filePath("d.conf"));
    d.set(SettingsKeys::LinkColor, "#123456");
    SettingsRegistry::registerDefaultsForAllPreferences(d);
    EXPECT_EQ(d.value(SettingsKeys::StrongsColor), "#123456");
    d.set(SettingsKeys::StrongsColor, "#abcdef");
    SettingsRegistry::registerDefaultsForAllPreferences(d);
    EXPECT_EQ(d.value(SettingsKeys::StrongsColor), "#abcdef");

    // After the domain is removed and the defaults registered anew, every key has its default.
    d.removePersistentDomain();
    SettingsRegistry::registerDefaultsForAllPreferences(d);
    EXPECT_EQ(d.value(SettingsKeys::StrongsColor), "#0000CC");
    EXPECT_EQ(d.value(SettingsKeys::AutoSyncFreq), 3600000);
    EXPECT_EQ(d.value(SettingsKeys::LineHeight), 1.2);
    EXPECT_TRUE(d.value(SettingsKeys::WocInRed));
}

TEST(SettingsRegistryTest, SpeechVoicesAreFilledPerLanguage)
{
    QTemporaryDir dir;
    UserDefaults d(dir.filePath("d.conf"));
    SettingsRegistry::registerDefaultsForAllPreferences(d);
    const QList<SpeechVoice> voices = {
        {"voice.es.maria", "es_ES"}, {"voice.en.alex", "en_US"}, {"voice.en.kate", "en_GB"}};

    d.set(SettingsKeys::VoiceEN, "voice.en.kate");  // a chosen voice that is installed stays
    SettingsRegistry::registerSpeechSynthesisDefaults(d, voices);
    EXPECT_EQ(d.value(SettingsKeys::VoiceEN), "voice.en.kate");
    EXPECT_EQ(d.value(SettingsKeys::VoiceES), "voice.es.maria");
    EXPECT_EQ(d.value(SettingsKeys::VoiceEL), "");  // no Greek voice: left as it is
    EXPECT_FALSE(d.hasStoredValue(SettingsKeys::VoiceEL));

    d.set(SettingsKeys::VoiceEN, "voice.en.uninstalled");  // replaced by the first English voice
    SettingsRegistry::registerSpeechSynthesisDefaults(d, voices);
    EXPECT_EQ(d.value(SettingsKeys::VoiceEN), "voice.en.alex");

    d.set(SettingsKeys::VoiceEL, "voice.gone");  // without any Greek voice even a stale one stays
    SettingsRegistry::registerSpeechSynthesisDefaults(d, voices);
    EXPECT_EQ(d.value(SettingsKeys::VoiceEL), "voice.gone");
}

TEST(SettingsRegistryTest, SpeechVoicesAreListedOnFirstNeedOnly)
{
    QTemporaryDir dir;
    UserDefaults d(dir.filePath("d.conf"));
    SettingsRegistry::registerDefaultsForAllPreferences(d);
    SettingsRegistry::ensureSpeechSynthesisDefaults(d);  // no source yet: nothing, and no harm
    int listed = 0;
    SettingsRegistry::setSpeechVoiceSource([&listed] {
        ++listed;
        return QList<SpeechVoice> {{"voice.en.alex", "en_US"}};
    });
    EXPECT_EQ(listed, 0);  // setting the source loads nothing
    EXPECT_FALSE(d.hasStoredValue(SettingsKeys::VoiceEN));

    SettingsRegistry::ensureSpeechSynthesisDefaults(d);
    EXPECT_EQ(listed, 1);
    EXPECT_EQ(d.value(SettingsKeys::VoiceEN), "voice.en.alex");

    d.set(SettingsKeys::VoiceEN, "voice.en.uninstalled");  // later needs in the same run list nothing again
    SettingsRegistry::ensureSpeechSynthesisDefaults(d);
    EXPECT_EQ(listed, 1);
    EXPECT_EQ(d.value(SettingsKeys::VoiceEN), "voice.en.uninstalled");
    SettingsRegistry::setSpeechVoiceSource({});
}

TEST(SettingsRegistryTest, DerivedKeyNames)
{
    EXPECT_EQ(SettingsKeys::InstalledBook("KJV.tvk").name, "installed.KJV.tvk");
    EXPECT_EQ(SettingsKeys::SyncBibleKey("ABC").name, "syncBibleKey:ABC");
    EXPECT_EQ(SettingsKeys::SyncWordSync("ABC").name, "syncWordSync:ABC");
    EXPECT_EQ(SettingsKeys::PreferencesPaneFrame("General").name, "MASPreferences General Frame");
}

}  // namespace
