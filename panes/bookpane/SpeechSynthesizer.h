// SpeechSynthesizer: a speech voice. The application has one, shared by every book pane and the
// Voices settings page through the window's environment (SharedSpeechSynthesizer, below). A pane
// that starts speaking sets the voice and rate for the book's language and installs its finish
// handler; the handler tells which kind of speech runs (continuous reading, a short utterance, none).
//
// QtSpeechSynthesizer speaks through QTextToSpeech (the flite engine when it is installed);
// tests hand in a recording double. Main thread only.
#pragma once

#include <QString>
#include <functional>
#include <memory>

class SpeechSynthesizer {
public:
    // Called once when an utterance ends (finished false when it was cut short).
    using FinishedHandler = std::function<void(bool finished)>;

    virtual ~SpeechSynthesizer() = default;
    virtual void speak(const QString& text) = 0;
    virtual void stop() = 0;
    virtual bool isSpeaking() const = 0;
    // Any program on the machine is speaking (this one included).
    virtual bool isAnyApplicationSpeaking() const { return isSpeaking(); }
    // Voice identifiers are the engine's voice names; empty means the engine's own voice.
    virtual QString voice() const = 0;
    virtual void setVoice(const QString& voice) = 0;
    // Words per minute.
    virtual double rate() const = 0;
    virtual void setRate(double wordsPerMinute) = 0;
    // The handler of the running speech; an empty handler detaches it.
    void setFinishedHandler(FinishedHandler handler, const void* owner)
    {
        m_handler = std::move(handler);
        m_owner = owner;
    }
    const void* handlerOwner() const { return m_handler ? m_owner : nullptr; }
    void clearFinishedHandler() { setFinishedHandler(nullptr, nullptr); }
    // Told, with the engine's reason, when an utterance could not be spoken (no audio device, no
    // voice); the running speech ends there and its finished handler is dropped.
    using FailedHandler = std::function<void(const QString& reason)>;
    void setFailedHandler(FailedHandler handler) { m_failed = std::move(handler); }

protected:
    // Engines call this when an utterance fails.
    void notifyFailed(const QString& reason)
    {
        clearFinishedHandler();
        FailedHandler failed = m_failed;
        if (failed)
            failed(reason);
    }

    // Engines call this when an utterance ends; the handler may start the next one.
    void notifyFinished(bool finished)
    {
        FinishedHandler handler = m_handler;
        if (handler)
            handler(finished);
    }

private:
    FinishedHandler m_handler;
    FailedHandler m_failed;
    const void* m_owner = nullptr;
};

// The one synthesizer of the application, made on first use (starting a speech engine takes a
// moment, and most sessions never speak) and kept until this object goes. Whoever runs the program
// owns one and names it in the window's environment.
class SharedSpeechSynthesizer {
public:
    // Makes the synthesizer for a voice; none given: a QtSpeechSynthesizer with that voice.
    using Maker = std::function<std::shared_ptr<SpeechSynthesizer>(const QString& voice)>;
    explicit SharedSpeechSynthesizer(Maker maker = {}) : m_maker(std::move(maker)) { }

    // The synthesizer; null until something first spoke.
    std::shared_ptr<SpeechSynthesizer> current() const { return m_synthesizer; }
    // The synthesizer, made now with `voice` when there is none yet.
    std::shared_ptr<SpeechSynthesizer> currentOrCreate(const QString& voice);

private:
    Maker m_maker;
    std::shared_ptr<SpeechSynthesizer> m_synthesizer;
};
