// BookPaneSpeech: reading aloud from a book pane through the window's SpeechSynthesizer: one verse,
// passage or paragraph, the selected text, a linked-to passage, or the book continuously from a
// place ("UserWantsToStartSpeakingNotification" for the current pane of the layout), one section or
// block after another until the book ends, the passage ends or the reader stops it. A start while
// speech runs stops it and tries again shortly after; while another program speaks nothing starts.
//
// Part of its BookPaneViewController, which owns it. Main thread only.
#pragma once

#include <functional>

#include "library/SourceTuple.h"

#include <QObject>
#include <QVariantMap>

#include <memory>

class BookPaneViewController;
class SpeechSynthesizer;
struct Notification;

class BookPaneSpeech : public QObject {
    Q_OBJECT
public:
    explicit BookPaneSpeech(BookPaneViewController& pane);
    ~BookPaneSpeech() override;

    // Speech text options for the passage formatter.
    static PassageOptions speechTextOptions();
    // The words of `text` that are read aloud: without the paragraph signs that a Bible shows, as
    // a copy of the page's words has them.
    static QString spokenWords(const QString& text);
    void configureSpeechSynthesizerForLanguage(quint64 language);

    void onSpeakBlockOrVerse();
    void onSpeakSelection();
    void onSpeakStartSpeaking();
    // The Bible link ("bible:...") of a page's link, as the page writes it; empty for other links,
    // which have no passage to read.
    static QString bibleLinkOf(const QString& payload);
    void onSpeakLinkedToText(const QString& payload);
    void onSpeakStopSpeaking();
    void startSpeakingLinkedToPassage();
    // The window's synthesizer is speaking (for this pane or any other part of the window).
    bool isSpeaking() const;
    void userWantsToStartSpeaking(const Notification& n);

    // What the reader is told when speech fails: once for the failed speech, with the engine's reason.
    static QString speechFailedMessage() { return QStringLiteral("Quillstead could not read aloud."); }

private:
    // A failure of the speech about to start ends it and is told to the reader in an alert.
    void sayFailures(SpeechSynthesizer& synthesizer);
    bool guardSpeech(std::function<void()> again);
    void speakSelectionWords(const QString& text);
    void speakNext();
    // Speaks `text` once; the window's commands are refreshed when it ends.
    void speakOnce(const QString& text, const SourceTuple::Ptr& book);
    // The window's synthesizer: null while nothing has spoken yet, and always in a window without
    // one (a pane made alone), where nothing is spoken.
    std::shared_ptr<SpeechSynthesizer> synthesizer() const;
    // The window's synthesizer, made with `voice` when nothing has spoken yet.
    std::shared_ptr<SpeechSynthesizer> synthesizerFor(const QString& voice) const;

    BookPaneViewController& m_pane;
    SourceTuple::Ptr m_speakingSourceTuple;
    quint32 m_speakingNextBlockOrSection = 0;
    quint32 m_speakingStopAfterSection;
};
