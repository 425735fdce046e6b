// QtSpeechSynthesizer: SpeechSynthesizer over QTextToSpeech. The engine is "flite" when it is
// installed (it needs no speech daemon), else Qt's default engine. Main thread only.
#pragma once

#include "panes/bookpane/SpeechSynthesizer.h"

#include <QObject>
#include <memory>

class QTextToSpeech;

class QtSpeechSynthesizer : public QObject, public SpeechSynthesizer {
    Q_OBJECT
public:
    explicit QtSpeechSynthesizer(const QString& engine = QString());
    ~QtSpeechSynthesizer() override;

    void speak(const QString& text) override;
    void stop() override;
    bool isSpeaking() const override;
    QString voice() const override;
    void setVoice(const QString& voice) override;
    double rate() const override { return m_rate; }
    void setRate(double wordsPerMinute) override;

private:
    std::unique_ptr<QTextToSpeech> m_speech;
    QString m_engine;
    QString m_voice;
    double m_rate = 200.0;
    bool m_speaking = false;
};
