#include "panes/bookpane/QtSpeechSynthesizer.h"

#include <QTextToSpeech>
#include <QVoice>

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

QtSpeechSynthesizer::QtSpeechSynthesizer(const QString& engine)
{
    m_engine = engine;
    if (m_engine.isEmpty() && QTextToSpeech::availableEngines().contains(QStringLiteral("flite")))
        m_engine = QStringLiteral("flite");
    m_speech = m_engine.isEmpty() ? std::make_unique<QTextToSpeech>() : std::make_unique<QTextToSpeech>(m_engine);
    connect(m_speech.get(), &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State state) {
        const bool speaking = state == QTextToSpeech::Speaking;
        if (m_speaking && state == QTextToSpeech::Ready) {
            m_speaking = false;
            notifyFinished(true);
        } else if (m_speaking && state == QTextToSpeech::Error) {
            m_speaking = false;
            qWarning("speech synthesizer error: %s", qPrintable(m_speech->errorString()));
            notifyFailed(m_speech->errorString());
        } else if (speaking)
            m_speaking = true;
    });
}

QtSpeechSynthesizer::~QtSpeechSynthesizer() = default;

void QtSpeechSynthesizer::speak(const QString& text)
{
    m_speaking = true;
    m_speech->say(text);
    // An engine that could not start at all (no speech engine) says nothing of it on its own.
    if (m_speaking && m_speech->state() == QTextToSpeech::Error) {
        m_speaking = false;
        const QString reason = m_speech->errorString();
        notifyFailed(reason.isEmpty() ? QStringLiteral("The speech engine could not start.") : reason);
    }
}

void QtSpeechSynthesizer::stop()
{
    m_speaking = false;
    m_speech->stop();
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
    const QList<QVoice> voices = m_speech->availableVoices();
    for (const QVoice& v : voices) {
        if (v.name() == voice) {
            m_speech->setVoice(v);
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
    m_speech->setRate(std::clamp(r, -1.0, 1.0));
}
