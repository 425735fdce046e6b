#include "app/preferences/VoicesPreferencesViewController.h"
#include "platform/ui/PlainLabel.h"

#include "panes/bookpane/BookPaneSpeech.h"
#include "panes/bookpane/QtSpeechSynthesizer.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "platform/Alerts.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

struct VoiceRow {
    const char* prefix;
    const char* language;
    const SettingKey<QString>* voiceKey;
    const SettingKey<double>* rateKey;
};
const VoiceRow kVoiceRows[3] = {
    {"en", "English", &SettingsKeys::VoiceEN, &SettingsKeys::VoiceENRate},
    {"es", "Spanish", &SettingsKeys::VoiceES, &SettingsKeys::VoiceESRate},
    {"el", "Greek", &SettingsKeys::VoiceEL, &SettingsKeys::VoiceELRate},
};
const VoiceRow* rowFor(const QString& prefix)
{
    for (const VoiceRow& r : kVoiceRows)
        if (prefix == QLatin1String(r.prefix))
            return &r;
    return nullptr;
}
}  // namespace

VoicesPreferencesViewController::VoicesPreferencesViewController(const Environment& env, QWidget* parent)
    : PreferencesViewController(env, kIdentity, parent)
{
    SettingsRegistry::ensureSpeechSynthesisDefaults(defaults());
    auto* top = new QVBoxLayout(this);
    for (const VoiceRow& row : kVoiceRows) {
        const QString prefix = QString::fromLatin1(row.prefix);
        auto* box = new QGroupBox(tr(row.language), this);
        auto* form = new QFormLayout(box);
        auto* voice = new QComboBox(box);
        voice->setObjectName(prefix + QStringLiteral("VoicePopUp"));
        voice->setMinimumWidth(260);
        addPopUpControl(voice);
        auto* props = new PlainLabel(box);
        props->setObjectName(prefix + QStringLiteral("VoiceProperties"));
        auto* rate = new QSlider(Qt::Horizontal, box);
        rate->setObjectName(prefix + QStringLiteral("RateSlider"));
        rate->setRange(100, 300);
        auto* test = new QPushButton(tr("Test"), box);
        test->setObjectName(prefix + QStringLiteral("VoiceTestButton"));
        auto* voiceLine = new QHBoxLayout;
        voiceLine->addWidget(voice, 1);
        voiceLine->addWidget(test);
        form->addRow(tr("Voice:"), voiceLine);
        form->addRow(QString(), props);
        form->addRow(tr("Words per minute:"), rate);
        top->addWidget(box);
        const SettingKey<QString>& voiceKey = *row.voiceKey;
        const SettingKey<double>& rateKey = *row.rateKey;
        connect(voice, &QComboBox::activated, this, [this, voice, &voiceKey, props] {
            const QVariant id = voice->currentData();
            if (!id.isValid())
                return;
            defaults().set(voiceKey, id.toString());
            props->setText(voicePropertiesForVoiceWithKey(voiceKey));
        });
        connect(rate, &QSlider::valueChanged, this, [this, rate, &rateKey] {
            if (!isRefreshing())
                defaults().set(rateKey, double(rate->value()));
        });
        connect(test, &QPushButton::clicked, this, [this, prefix] { testVoice(prefix); });
    }
    addBox(top, tr("Scroll the text along as it is read"), SettingsKeys::VoiceScrollText);
    top->addStretch(1);
    finishConstruction();
}

std::function<QList<SpeechVoice>()>& VoicesPreferencesViewController::voiceLister()
{
    static std::function<QList<SpeechVoice>()> lister = [] {
        QList<SpeechVoice> out;
        for (const auto& [voice, locale] : QtSpeechSynthesizer::installedVoices())
            out.append({voice.name(), locale.name()});
        return out;
    };
    return lister;
}

std::function<std::optional<QVoice>(const QString&)>& VoicesPreferencesViewController::voiceFinder()
{
    static std::function<std::optional<QVoice>(const QString&)> finder =
        [](const QString& identifier) -> std::optional<QVoice> {
        for (const auto& [voice, locale] : QtSpeechSynthesizer::installedVoices())
            if (voice.name() == identifier)
                return voice;
        return std::nullopt;
    };
    return finder;
}

QString VoicesPreferencesViewController::voicePropertiesForVoiceWithKey(const SettingKey<QString>& key) const
{
    const QString identifier = defaults().value(key);
    if (identifier.isEmpty())
        return {};
    const std::optional<QVoice> voice = voiceFinder()(identifier);
    if (!voice)
        return {};
    const QString age = QVoice::ageName(voice->age());
    switch (QtSpeechSynthesizer::gender(*voice)) {
    case QVoice::Female:
        return tr("Female, Age %1").arg(age);
    case QVoice::Male:
        return tr("Male, Age %1").arg(age);
    default:
        // The engine cannot tell: the voice is neither (flite's voices, for one).
        return tr("Neutral or Novelty");
    }
}

QString VoicesPreferencesViewController::testSentence(const QString& prefix)
{
    if (prefix == QLatin1String("es"))
        return QStringLiteral("Porque de tal manera amó Dios al mundo, que dio a su Hijo unigénito, para que todo "
                              "aquel que cree en El, no se pierda, mas tenga vida eterna.");
    if (prefix == QLatin1String("el"))
        return QStringLiteral("Οὕτως γὰρ ἠγάπησεν ὁ θεὸς τὸν κόσμον ὥστε τὸν  υἱὸν τὸν μονογενῆ ἔδωκεν, ἵνα πᾶς ὁ "
                              "πιστεύων εἰς αὐτὸν μὴ ἀπόληται ἀλλὰ ἔχῃ ζωὴν αἰώνιον.");
    return QStringLiteral("For God so loved the world, that he gave his only begotten Son, that whosoever believeth "
                          "in him should not perish, but have everlasting life.");
}

QSlider* VoicesPreferencesViewController::rateSlider(const QString& prefix) const
{
    return findChild<QSlider*>(prefix + QStringLiteral("RateSlider"));
}
QPushButton* VoicesPreferencesViewController::voiceTestButton(const QString& prefix) const
{
    return findChild<QPushButton*>(prefix + QStringLiteral("VoiceTestButton"));
}

void VoicesPreferencesViewController::refreshPage()
{
    UserDefaults& d = defaults();
    for (const VoiceRow& row : kVoiceRows) {
        const QString prefix = QString::fromLatin1(row.prefix);
        QComboBox* voice = popUp(prefix + QStringLiteral("VoicePopUp"));
        populateVoiceMenu(voice, *row.voiceKey, prefix);
        voiceTestButton(prefix)->setEnabled(voice->count() > 0);
        if (auto* props = findChild<QLabel*>(prefix + QStringLiteral("VoiceProperties")))
            props->setText(voicePropertiesForVoiceWithKey(*row.voiceKey));
        rateSlider(prefix)->setValue(int(d.value(*row.rateKey)));
    }
}

void VoicesPreferencesViewController::populateVoiceMenu(
    QComboBox* popUp, const SettingKey<QString>& key, const QString& prefix)
{
    popUp->clear();
    QString current = defaults().value(key);
    for (const SpeechVoice& v : voiceLister()()) {
        if (!v.localeIdentifier.startsWith(prefix))
            continue;
        if (current.isEmpty()) {
            defaults().set(key, v.identifier);
            current = v.identifier;
        }
        const QString language = QLocale(v.localeIdentifier).nativeLanguageName();
        popUp->addItem(
            QStringLiteral("%1 - %2").arg(QtSpeechSynthesizer::displayName(v.identifier), language), v.identifier);
        if (v.identifier == current)
            popUp->setCurrentIndex(popUp->count() - 1);
    }
}

void VoicesPreferencesViewController::testVoice(const QString& prefix)
{
    const VoiceRow* row = rowFor(prefix);
    if (!row)
        return;
    // The test speaks through the application's one synthesizer, so Stop Speaking stops it too;
    // a pane that was reading lets go of it first.
    SharedSpeechSynthesizer* speech = environment().window.speech;
    if (speech == nullptr)
        return;
    std::shared_ptr<SpeechSynthesizer> synthesizer = speech->current();
    if (synthesizer) {
        synthesizer->clearFinishedHandler();
        if (synthesizer->isSpeaking()) {
            // Stop the sentence being read and start the new one a moment later.
            synthesizer->stop();
            QTimer::singleShot(300, this, [this, prefix] { testVoice(prefix); });
            return;
        }
    }
    const QString id = defaults().value(*row->voiceKey);
    const double wpm = defaults().value(*row->rateKey);
    if (!synthesizer)
        synthesizer = speech->currentOrCreate(id);
    if (!synthesizer)
        return;
    synthesizer->setVoice(id);
    synthesizer->setRate(wpm);
    synthesizer->setFinishedHandler(
        [weak = std::weak_ptr<SpeechSynthesizer>(synthesizer)](bool) {
            if (const auto s = weak.lock())
                s->clearFinishedHandler();
        },
        this);
    // Why the sentence could not be heard (no sound output, no voice) is told on screen, once.
    QPointer<VoicesPreferencesViewController> self(this);
    synthesizer->setFailedHandler([self](const QString& reason) {
        if (!self || !self->environment().window.hasAlert())
            return;
        // The engine reports from inside its own signal: the alert's loop runs after it returned.
        QTimer::singleShot(0, self, [self, reason] {
            Alert alert;
            alert.style = AlertStyle::Warning;
            alert.messageText = BookPaneSpeech::speechFailedMessage();
            alert.informativeText = reason;
            self->environment().window.alert().runModal(alert);
        });
    });
    synthesizer->speak(testSentence(prefix));
}
