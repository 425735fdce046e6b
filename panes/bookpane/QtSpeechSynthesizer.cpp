#include "panes/bookpane/QtSpeechSynthesizer.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QPointer>
#include <QTextToSpeech>

namespace {

const QString kFlite = QStringLiteral("flite");

// The voices flite comes with, as a reader knows them.
struct FliteVoice {
    const char* identifier;
    const char* name;
    QVoice::Gender gender;
};
constexpr FliteVoice kFliteVoices[] = {
    {"slt", QT_TRANSLATE_NOOP("QtSpeechSynthesizer", "American woman"), QVoice::Female},
    {"rms", QT_TRANSLATE_NOOP("QtSpeechSynthesizer", "American man"), QVoice::Male},
    {"awb", QT_TRANSLATE_NOOP("QtSpeechSynthesizer", "Scottish man"), QVoice::Male},
    {"kal16", QT_TRANSLATE_NOOP("QtSpeechSynthesizer", "Kal (American man)"), QVoice::Male},
    {"kal", QT_TRANSLATE_NOOP("QtSpeechSynthesizer", "Kal (American man, lower quality)"), QVoice::Male},
};

const FliteVoice* fliteVoice(const QString& identifier)
{
    for (const FliteVoice& v : kFliteVoices)
        if (identifier == QLatin1String(v.identifier))
            return &v;
    return nullptr;
}

}  // namespace

std::shared_ptr<SpeechSynthesizer> SharedSpeechSynthesizer::currentOrCreate(const QString& voice)
{
    if (!m_synthesizer) {
        if (m_maker) {
            m_synthesizer = m_maker(voice);
        } else {
            auto made = std::make_shared<QtSpeechSynthesizer>();
            made->setVoice(voice);
            m_synthesizer = made;
        }
    }
    return m_synthesizer;
}

QTextToSpeech& QtSpeechSynthesizer::engine()
{
    static QPointer<QTextToSpeech> engine;
    if (!engine) {
        QObject* owner = QCoreApplication::instance();
        engine = QTextToSpeech::availableEngines().contains(kFlite) ? new QTextToSpeech(kFlite, owner)
                                                                    : new QTextToSpeech(owner);
    }
    return *engine;
}

QList<std::pair<QVoice, QLocale>> QtSpeechSynthesizer::installedVoices()
{
    QTextToSpeech& speech = engine();
    const QLocale locale = speech.locale();
    const QVoice voice = speech.voice();
    QList<std::pair<QVoice, QLocale>> out;
    for (const QLocale& l : speech.availableLocales()) {
        speech.setLocale(l);
        for (const QVoice& v : speech.availableVoices())
            out.append({v, l});
    }
    speech.setLocale(locale);
    speech.setVoice(voice);
    return out;
}

QString QtSpeechSynthesizer::soundOutputMissingReason()
{
    // Other engines (a speech daemon) play through their own service.
    if (engine().engine() != kFlite || !QMediaDevices::audioOutputs().isEmpty())
        return {};
    return tr("This computer has no sound output to read aloud to. Connect speakers or headphones (or start "
              "the sound service) and try again.");
}

QString QtSpeechSynthesizer::displayName(const QString& identifier)
{
    const FliteVoice* v = fliteVoice(identifier);
    return v != nullptr ? tr(v->name) : identifier;
}

QVoice::Gender QtSpeechSynthesizer::gender(const QVoice& voice)
{
    const FliteVoice* v = fliteVoice(voice.name());
    return v != nullptr ? v->gender : voice.gender();
}

QtSpeechSynthesizer::QtSpeechSynthesizer()
{
    QTextToSpeech* speech = &engine();
    connect(speech, &QTextToSpeech::stateChanged, this, [this, speech](QTextToSpeech::State state) {
        const bool speaking = state == QTextToSpeech::Speaking;
        if (m_speaking && state == QTextToSpeech::Ready) {
            m_speaking = false;
            notifyFinished(true);
        } else if (m_speaking && state == QTextToSpeech::Error) {
            m_speaking = false;
            notifyFailed(speech->errorString());
        } else if (speaking)
            m_speaking = true;
    });
}

QtSpeechSynthesizer::~QtSpeechSynthesizer() = default;

void QtSpeechSynthesizer::speak(const QString& text)
{
    const QString missing = soundOutputMissingReason();
    if (!missing.isEmpty()) {
        m_speaking = false;
        notifyFailed(missing);
        return;
    }
    QTextToSpeech& speech = engine();
    m_speaking = true;
    speech.say(text);
    // An engine that could not start at all (no speech engine) says nothing of it on its own.
    if (m_speaking && speech.state() == QTextToSpeech::Error) {
        m_speaking = false;
        const QString reason = speech.errorString();
        notifyFailed(reason.isEmpty() ? tr("The speech engine could not start.") : reason);
    }
}

void QtSpeechSynthesizer::stop()
{
    m_speaking = false;
    engine().stop();
}

bool QtSpeechSynthesizer::isSpeaking() const
{
    return m_speaking;
}

QString QtSpeechSynthesizer::voice() const
{
    return m_voice;
}

void QtSpeechSynthesizer::setVoice(const QString& voice)
{
    m_voice = voice;
    if (voice.isEmpty())
        return;
    for (const auto& [v, locale] : installedVoices()) {
        if (v.name() == voice) {
            QTextToSpeech& speech = engine();
            speech.setLocale(locale);
            speech.setVoice(v);
            return;
        }
    }
}

void QtSpeechSynthesizer::setRate(double wordsPerMinute)
{
    m_rate = wordsPerMinute;
    // QTextToSpeech's rate runs from -1 (slow) to 1 (fast) around the engine's normal pace, which
    // is taken as 180 words per minute.
    const double r = (wordsPerMinute - 180.0) / 180.0;
    engine().setRate(std::clamp(r, -1.0, 1.0));
}
