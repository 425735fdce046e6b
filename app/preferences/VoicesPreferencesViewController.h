// The Voices page of the settings window: for English, Spanish and Greek, the voice that reads
// aloud and its rate in words per minute, with a Test button that reads a sentence in that voice,
// and whether the text scrolls along as it is read. Main thread only.
#pragma once

#include "app/preferences/PreferencesViewController.h"
#include "platform/SettingsRegistry.h"

#include <QVoice>
#include <functional>
#include <optional>

class QPushButton;
class QSlider;

class VoicesPreferencesViewController : public PreferencesViewController {
    Q_OBJECT
public:
    // The page in the settings window's toolbar.
    static constexpr Identity kIdentity = {
        "VoicesPreferences", "audio-volume-high", QT_TRANSLATE_NOOP("PreferencesViewController", "Voices")};

    explicit VoicesPreferencesViewController(const Environment& env, QWidget* parent = nullptr);

    // The installed speech voices (identifier = the voice's name); tests replace the lister.
    static std::function<QList<SpeechVoice>()>& voiceLister();
    // The installed voice of that identifier; tests replace the finder.
    static std::function<std::optional<QVoice>(const QString& identifier)>& voiceFinder();
    // What the voice stored under the key is ("Female, Age Adult"); empty when none is stored or
    // the system does not know it.
    QString voicePropertiesForVoiceWithKey(const SettingKey<QString>& key) const;
    static QString testSentence(const QString& prefix);
    QSlider* rateSlider(const QString& prefix) const;
    QPushButton* voiceTestButton(const QString& prefix) const;

private:
    void refreshPage() override;
    void populateVoiceMenu(QComboBox* popUp, const SettingKey<QString>& key, const QString& prefix);
    void testVoice(const QString& prefix);
};
