// Every setting's key: its stored name (as it stands in the settings file, never renamed), the type
// its readers take and, for the settings of the registry table, the factory default. Every folder
// names a setting through this header, never as text, so a misspelled key does not build; a key
// read or written through UserDefaults::value/set has the type given here.
//
// Keys made at run time from a prefix and an identifier are key families: the family makes the
// key of one book, layout or window.
//
// Constants only; any thread.
#pragma once

#include "platform/UserDefaults.h"

#include <QDateTime>

namespace SettingsKeys {

// --- the registry table (SettingsRegistry::table), in its documented order ---

inline const Setting<bool> WebKitDeveloperExtras {QStringLiteral("WebKitDeveloperExtras"), false};
inline const Setting<bool> AutoSyncEnabled {QStringLiteral("autoSyncEnabled"), false};
inline const Setting<qint64> AutoSyncFreq {QStringLiteral("autoSyncFreq"), 3600000};
inline const Setting<bool> AutoUpdateNavigator {QStringLiteral("autoUpdateNavigator"), false};
inline const Setting<QString> BackColor {QStringLiteral("backColor"), QStringLiteral("#ffffff")};
inline const Setting<qint64> BaseFontSize {QStringLiteral("baseFontSize"), 12};
inline const Setting<QString> BodyFont {QStringLiteral("bodyFont"), QStringLiteral("Arial")};
inline const Setting<bool> CloseOpenBookOnOpen {QStringLiteral("closeOpenBookOnOpen"), true};
inline const Setting<qint64> ColorScheme {QStringLiteral("colorScheme"), 0};
inline const Setting<QString> CustomBackColor {QStringLiteral("customBackColor"), QStringLiteral("#ffffff")};
inline const Setting<QString> CustomFootnoteBGColor {
    QStringLiteral("customFootnoteBGColor"), QStringLiteral("#e0e0ff")};
inline const Setting<QString> CustomLinkColor {QStringLiteral("customLinkColor"), QStringLiteral("#0000c0")};
inline const Setting<bool> CustomSearchBold {QStringLiteral("customSearchBold"), false};
inline const Setting<QString> CustomSearchColor {QStringLiteral("customSearchColor"), QStringLiteral("#008000")};
inline const Setting<QString> CustomTempHLColor {QStringLiteral("customTempHLColor"), QStringLiteral("#fff2ea")};
inline const Setting<QString> CustomTextColor {QStringLiteral("customTextColor"), QStringLiteral("#000000")};
inline const Setting<bool> CustomWocBold {QStringLiteral("customWocBold"), false};
inline const Setting<QString> CustomWocColor {QStringLiteral("customWocColor"), QStringLiteral("#c00000")};
inline const Setting<QString> CustomDevoReadColor {QStringLiteral("customDevoReadColor"), QStringLiteral("#C0FFDC")};
inline const Setting<QString> CustomDevoUnreadColor {
    QStringLiteral("customDevoUnreadColor"), QStringLiteral("#FFE3E3")};
inline const Setting<bool> CredentialsValid {QStringLiteral("credentialsValid"), false};
inline const Setting<QString> Optionsbitfield {QStringLiteral("optionsbitfield"), QStringLiteral("")};
inline const Setting<QString> CustomerID {QStringLiteral("customerID"), QStringLiteral("")};
inline const Setting<qint64> CustomerIDNum {QStringLiteral("customerIDNum"), 0};
inline const Setting<QString> CustomerFirstName {QStringLiteral("customerFirstName"), QStringLiteral("")};
inline const Setting<QString> CustomerLastName {QStringLiteral("customerLastName"), QStringLiteral("")};
inline const Setting<bool> CustomerHasRegistered {QStringLiteral("customerHasRegistered"), false};
inline const Setting<QString> DevoReadColor {QStringLiteral("devoReadColor"), QStringLiteral("#C0FFDC")};
inline const Setting<QString> DevoUnreadColor {QStringLiteral("devoUnreadColor"), QStringLiteral("#FFE3E3")};
inline const Setting<qint64> FindProximity {QStringLiteral("findProximity"), 2};
inline const Setting<QString> FootnoteBGColor {QStringLiteral("footnoteBGColor"), QStringLiteral("#e0e0ff")};
inline const Setting<QString> FootnoteStyle {QStringLiteral("footnoteStyle"), QStringLiteral("Collapse")};
inline const Setting<QString> HighlightStyle {QStringLiteral("highlightStyle"), QStringLiteral("Show")};
inline const Setting<bool> HideDownloaded {QStringLiteral("hideDownloaded"), false};
inline const Setting<bool> HideVerseNumbers {QStringLiteral("hideVerseNumbers"), false};
inline const Setting<bool> IndentPoetry {QStringLiteral("indentPoetry"), true};
inline const Setting<qint64> LeftMargin {QStringLiteral("leftMargin"), 12};
inline const Setting<double> LineHeight {QStringLiteral("lineHeight"), 1.2};
inline const Setting<QString> LinkColor {QStringLiteral("linkColor"), QStringLiteral("#0000CC")};
inline const Setting<qint64> MaxNavRowsPerBook {QStringLiteral("maxNavRowsPerBook"), 3};
inline const Setting<bool> OneVersePerParagraph {QStringLiteral("oneVersePerParagraph"), false};
inline const Setting<qint64> PoetryLeft {QStringLiteral("poetryLeft"), 20};
inline const Setting<qint64> PoetryRight {QStringLiteral("poetryRight"), 10};
inline const Setting<qint64> PreferredBiblePubId {QStringLiteral("preferredBiblePubId"), 0};
inline const Setting<qint64> PreferredBibleBookId {QStringLiteral("preferredBibleBookId"), 0};
inline const Setting<qint64> PreferredDevotionalPubId {QStringLiteral("preferredDevotionalPubId"), 0};
inline const Setting<qint64> PreferredDevotionalBookId {QStringLiteral("preferredDevotionalBookId"), 0};
inline const Setting<qint64> PreferredDictionaryPubId {QStringLiteral("preferredDictionaryPubId"), 0};
inline const Setting<qint64> PreferredDictionaryBookId {QStringLiteral("preferredDictionaryBookId"), 0};
inline const Setting<qint64> PreferredGreekDictionaryPubId {QStringLiteral("preferredGreekDictionaryPubId"), 0};
inline const Setting<qint64> PreferredGreekDictionaryBookId {QStringLiteral("preferredGreekDictionaryBookId"), 0};
inline const Setting<qint64> PreferredHebrewDictionaryPubId {QStringLiteral("preferredHebrewDictionaryPubId"), 0};
inline const Setting<qint64> PreferredHebrewDictionaryBookId {QStringLiteral("preferredHebrewDictionaryBookId"), 0};
inline const Setting<qint64> PrevAppVersion {QStringLiteral("prevAppVersion"), 0};
inline const Setting<qint64> RightMargin {QStringLiteral("rightMargin"), 4};
inline const Setting<QString> ScrollTrackInterval {QStringLiteral("scrollTrackInterval"), QStringLiteral("page")};
inline const Setting<bool> SearchBold {QStringLiteral("searchBold"), false};
inline const Setting<QString> SearchColor {QStringLiteral("searchColor"), QStringLiteral("#008000")};
inline const Setting<qint64> SelectedBookKindRow {QStringLiteral("selectedBookKindRow"), 0};
inline const Setting<bool> ShowLinksDisabledMessage {QStringLiteral("showLinksDisabledMessage"), true};
inline const Setting<bool> ShowMsgVerses {QStringLiteral("showMsgVerses"), false};
inline const Setting<bool> StrongsNumbers {QStringLiteral("strongsNumbers"), true};
inline const Setting<QString> StrongsDecoration {QStringLiteral("strongsDecoration"), QStringLiteral("none")};
inline const Setting<bool> SyncBiblesComm {QStringLiteral("syncBiblesComm"), true};
inline const Setting<bool> SyncDevotionals {QStringLiteral("syncDevotionals"), true};
inline const Setting<bool> SyncDictionaries {QStringLiteral("syncDictionaries"), true};
inline const Setting<QString> TempHLColor {QStringLiteral("tempHLColor"), QStringLiteral("#ffd8bd")};
inline const Setting<QString> TextColor {QStringLiteral("textColor"), QStringLiteral("#000000")};
inline const Setting<bool> VersePopovers {QStringLiteral("versePopovers"), true};
inline const Setting<bool> HideNoteLinks {QStringLiteral("hideNoteLinks"), false};
inline const Setting<bool> HighlightLinkedPassage {QStringLiteral("highlightLinkedPassage"), true};
inline const Setting<QString> VoiceEN {QStringLiteral("voiceEN"), QStringLiteral("")};
inline const Setting<QString> VoiceEL {QStringLiteral("voiceEL"), QStringLiteral("")};
inline const Setting<QString> VoiceES {QStringLiteral("voiceES"), QStringLiteral("")};
inline const Setting<double> VoiceENRate {QStringLiteral("voiceENRate"), 200.0};
inline const Setting<double> VoiceELRate {QStringLiteral("voiceELRate"), 200.0};
inline const Setting<double> VoiceESRate {QStringLiteral("voiceESRate"), 200.0};
inline const Setting<bool> VoiceScrollText {QStringLiteral("voiceScrollText"), true};
inline const Setting<bool> WocBold {QStringLiteral("wocBold"), false};
inline const Setting<QString> WocColor {QStringLiteral("wocColor"), QStringLiteral("#CC0000")};
inline const Setting<bool> WocInRed {QStringLiteral("wocInRed"), true};
inline const Setting<qint64> CpRefLocation {QStringLiteral("cpRefLocation"), 1};
inline const Setting<qint64> CpRefFormat {QStringLiteral("cpRefFormat"), 1};
inline const Setting<qint64> CpRefDelimPlain {QStringLiteral("cpRefDelimPlain"), 1};
inline const Setting<qint64> CpRefDelimRich {QStringLiteral("cpRefDelimRich"), 1};
inline const Setting<bool> CpRefStyleBold {QStringLiteral("cpRefStyleBold"), false};
inline const Setting<bool> CpRefStyleItalic {QStringLiteral("cpRefStyleItalic"), false};
inline const Setting<bool> CpRefStyleUnderline {QStringLiteral("cpRefStyleUnderline"), false};
inline const Setting<qint64> CpVerseDelimPlain {QStringLiteral("cpVerseDelimPlain"), 1};
inline const Setting<qint64> CpVerseDelimRich {QStringLiteral("cpVerseDelimRich"), 1};
inline const Setting<QString> CustomSearchLimits {QStringLiteral("customSearchLimits"), QStringLiteral("")};
inline const Setting<qint64> CpBiblePubID {QStringLiteral("cpBiblePubID"), 0};
inline const Setting<qint64> CpBibleBookID {QStringLiteral("cpBibleBookID"), 0};
inline const Setting<qint64> CpClipboardFormat {QStringLiteral("cpClipboardFormat"), 1};
inline const Setting<double> MainWindowOriginX {QStringLiteral("mainWindowOriginX"), 0.0};
inline const Setting<double> MainWindowOriginY {QStringLiteral("mainWindowOriginY"), 0.0};
inline const Setting<double> MainWindowWidth {QStringLiteral("mainWindowWidth"), 0.0};
inline const Setting<double> MainWindowHeight {QStringLiteral("mainWindowHeight"), 0.0};
inline const Setting<bool> EnhancedNotesSearch {QStringLiteral("enhancedNotesSearch"), false};
inline const Setting<qint64> MyOffersInterval {QStringLiteral("myOffersInterval"), 604800};
inline const Setting<bool> MyOffersNotifications {QStringLiteral("myOffersNotifications"), true};
inline const Setting<qint64> MyOffersIgnored {QStringLiteral("myOffersIgnored"), 0};
inline const Setting<qint64> LastAppUpdateCheck {QStringLiteral("lastAppUpdateCheck"), 0};
inline const Setting<qint64> AppUpdateFreqSeconds {QStringLiteral("appUpdateFreqSeconds"), 2629800};
inline const Setting<bool> AppUpdateAutomatic {QStringLiteral("appUpdateAutomatic"), true};
inline const Setting<qint64> MainWindowToolbarStyle {QStringLiteral("mainWindowToolbarStyle"), 1};

// --- registered after the table ---

// Follows the link colour until the user stores a colour of their own (SettingsRegistry).
inline const SettingKey<QString> StrongsColor {QStringLiteral("strongsColor")};

// --- stored without a factory default ---

// The colour scheme "Custom"'s Strong's number colour and decoration (the preferences' colour pane).
inline const SettingKey<QString> CustomStrongsColor {QStringLiteral("customStrongsColor")};
inline const SettingKey<QString> CustomStrongsDecoration {QStringLiteral("customStrongsDecoration")};
// Where older versions kept the scrambled password; moved to "optionsbitfield" at start-up.
inline const SettingKey<QVariant> Password {QStringLiteral("password")};
// The last offers the store listed, and when they were fetched.
inline const SettingKey<QVariantMap> MyOffersDictionary {QStringLiteral("myOffersDictionary")};
inline const SettingKey<QDateTime> MyOffersLastChecked {QStringLiteral("myOffersLastChecked")};
// The preferences window: the pane shown last and the window's top left corner ("{x, y}").
inline const SettingKey<QString> PreferencesSelectedView {QStringLiteral("MASPreferences Selected Identifier View")};
inline const SettingKey<QString> PreferencesTopLeft {QStringLiteral("MASPreferences Frame Top Left")};
// The Autostudy results window's geometry (QWidget::saveGeometry).
inline const SettingKey<QByteArray> AutostudyResultsWindowFrame {QStringLiteral("AutostudyResultsWindowFrame")};
// The address of the account and store service, when it is not the built-in one.
inline const SettingKey<QString> ServiceHostAddress {QStringLiteral("serviceHost")};
// The recent searches of the study pane's Find, library search, notes list and journal list.
inline const SettingKey<QVariantList> FindRecentSearches {QStringLiteral("findRecentSearches")};
inline const SettingKey<QVariantList> LibrarySearchRecentSearches {QStringLiteral("librarySearchRecentSearches")};
inline const SettingKey<QVariantList> NotesRecentSearches {QStringLiteral("notesRecentSearches")};
inline const SettingKey<QVariantList> JournalRecentSearches {QStringLiteral("journalRecentSearches")};

// --- key families ---

// Set once a book that comes with the application has been installed: by its file name.
inline const SettingKeyFamily<bool> InstalledBook {QStringLiteral("installed.")};
// The location-sync choices of one layout: by the layout's uuid.
inline const SettingKeyFamily<qint64> SyncBibleKey {QStringLiteral("syncBibleKey:")};
inline const SettingKeyFamily<QVariant> SyncWordSync {QStringLiteral("syncWordSync:")};
// The size of one pane of the preferences window ("{{x, y}, {w, h}}"): by the pane's identifier.
inline const SettingKeyFamily<QString> PreferencesPaneFrame {
    QStringLiteral("MASPreferences "), QStringLiteral(" Frame")};

}  // namespace SettingsKeys
