// QtSpeechSynthesizer: SpeechSynthesizer over QTextToSpeech. The engine is "flite" when it is
// installed (it needs no speech daemon), else Qt's default engine.
//
// The program has one engine object (engine()), kept until the application object goes, and every
// synthesizer and every list of voices uses it: the flite engine registers its voices with the
// flite library for the whole process, and an engine object that goes unregisters them from under
// every other, whose thread then reads freed voices. The flite engine plays through the system's
// sound output: without one it is not asked to speak, and the speech fails at once with the
// reason (soundOutputMissingReason()). Main thread only.
#pragma once

#include "panes/bookpane/SpeechSynthesizer.h"

#include <QList>
#include <QLocale>
#include <QObject>
#include <QVoice>
#include <utility>

class QTextToSpeech;

class QtSpeechSynthesizer : public QObject, public SpeechSynthesizer {
    Q_OBJECT
public:
    QtSpeechSynthesizer();
    ~QtSpeechSynthesizer() override;

    void speak(const QString& text) override;
    void stop() override;
    bool isSpeaking() const override;
    QString voice() const override;
    void setVoice(const QString& voice) override;
    double rate() const override { return m_rate; }
    void setRate(double wordsPerMinute) override;

    // The program's one speech engine, made on first use.
    static QTextToSpeech& engine();
    // Every voice of the engine with the locale it speaks, for every locale; the engine keeps its
    // locale and voice.
    static QList<std::pair<QVoice, QLocale>> installedVoices();
    // Why nothing can be heard now (no sound output for an engine that plays through it); empty
    // when speech can be heard.
    static QString soundOutputMissingReason();
    // A voice's name as a reader reads it ("American woman" for flite's "slt"); other engines'
    // names as they are.
    static QString displayName(const QString& identifier);
    // A voice's gender; the flite engine calls all its voices male.
    static QVoice::Gender gender(const QVoice& voice);

private:
    QString m_voice;
    double m_rate = 200.0;
    bool m_speaking = false;
};
