#include "panes/bookpane/BookPaneSpeech.h"

#include "library/GoToRequest.h"
#include "panes/bookpane/BookPaneCommands.h"
#include "panes/bookpane/BookPaneHooks.h"
#include "panes/bookpane/BookPanePage.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "panes/page/BookPageView.h"
#include "platform/Alerts.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"

#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include <cmath>

namespace {

constexpr quint32 kNoBlock = BookPaneViewController::kNoBlock;

}  // namespace

BookPaneSpeech::BookPaneSpeech(BookPaneViewController& pane) : m_pane(pane), m_speakingStopAfterSection(kNoBlock)
{
}

BookPaneSpeech::~BookPaneSpeech()
{
    if (auto speech = synthesizer(); speech && speech->handlerOwner() == this)
        speech->clearFinishedHandler();
}

std::shared_ptr<SpeechSynthesizer> BookPaneSpeech::synthesizer() const
{
    const SharedSpeechSynthesizer* shared = m_pane.window().speech;
    return shared != nullptr ? shared->current() : nullptr;
}

std::shared_ptr<SpeechSynthesizer> BookPaneSpeech::synthesizerFor(const QString& voice) const
{
    SharedSpeechSynthesizer* shared = m_pane.window().speech;
    return shared != nullptr ? shared->currentOrCreate(voice) : nullptr;
}

bool BookPaneSpeech::isSpeaking() const
{
    const auto speech = synthesizer();
    return speech && speech->isSpeaking();
}

void BookPaneSpeech::sayFailures(SpeechSynthesizer& synthesizer)
{
    QPointer<QObject> self(this);
    synthesizer.setFailedHandler([this, self](const QString& reason) {
        if (!self)
            return;
        // Continuous reading ends with the failed verse: the next would only fail again.
        m_speakingSourceTuple.reset();
        m_pane.environment().hooks->validateToolbar();
        if (!m_pane.window().hasAlert())
            return;
        // The engine reports from inside its own signal: the alert's loop runs after it returned.
        Alert alert;
        alert.style = AlertStyle::Warning;
        alert.messageText = speechFailedMessage();
        alert.informativeText = reason;
        Alerts* alerts = &m_pane.window().alert();
        QTimer::singleShot(0, this, [alerts, alert] { alerts->runModal(alert); });
    });
}

void BookPaneSpeech::speakOnce(const QString& text, const SourceTuple::Ptr& book)
{
    configureSpeechSynthesizerForLanguage(book->record().bookLanguage);
    auto synthesizer = this->synthesizer();
    if (!synthesizer)
        return;
    synthesizer->setFinishedHandler(
        [hooks = m_pane.environment().hooks, synthesizer = synthesizer.get()](bool) {
            hooks->validateToolbar();
            synthesizer->clearFinishedHandler();
        },
        nullptr);
    sayFailures(*synthesizer);
    synthesizer->speak(text);
}

QString BookPaneSpeech::spokenWords(const QString& text)
{
    // The paragraph sign (and the blank after it) is a mark on the page, not a word; a copy of the
    // page's words leaves it out as well.
    static const QRegularExpression kParagraphSign(QStringLiteral("\u00B6[ \u00A0]?"));
    QString words = text;
    words.remove(kParagraphSign);
    return words.trimmed();
}

PassageOptions BookPaneSpeech::speechTextOptions()
{
    PassageOptions options;
    options.display.omitStrongsNumbers = true;
    options.display.omitFootnotes = true;
    options.plainVerseDelimiters = 4;  // no verse numbers are read out
    return options;
}

void BookPaneSpeech::configureSpeechSynthesizerForLanguage(quint64 language)
{
    UserDefaults& defaults = m_pane.window().settings();
    SettingsRegistry::ensureSpeechSynthesisDefaults(defaults);
    QString voice;
    double rate = 200.0;
    auto read = [&](const SettingKey<QString>& voiceKey, const SettingKey<double>& rateKey) {
        voice = defaults.value(voiceKey);
        rate = defaults.value(rateKey);
        if (!std::isfinite(rate) || rate <= 0)  // a settings file may hold any number
            rate = 200.0;
    };
    if (language == 10)
        read(SettingsKeys::VoiceES, SettingsKeys::VoiceESRate);
    else if (language == 535)
        read(SettingsKeys::VoiceEL, SettingsKeys::VoiceELRate);
    else if (language == 1033)
        read(SettingsKeys::VoiceEN, SettingsKeys::VoiceENRate);
    auto synthesizer = synthesizerFor(voice);
    if (!synthesizer)
        return;
    if (synthesizer->voice() != voice || voice.isEmpty())
        synthesizer->setVoice(voice);
    if (synthesizer->rate() != rate)
        synthesizer->setRate(rate);
}

// Runs first by every start: a running speech is detached and stopped and the start is tried
// again 0.3 s later; while another program speaks nothing starts. True when the start may go on.
bool BookPaneSpeech::guardSpeech(std::function<void()> again)
{
    auto synthesizer = this->synthesizer();
    if (synthesizer && synthesizer->isSpeaking()) {
        synthesizer->clearFinishedHandler();
        synthesizer->stop();
        QTimer::singleShot(300, this, std::move(again));
        return false;
    }
    return !(synthesizer && synthesizer->isAnyApplicationSpeaking());
}

void BookPaneSpeech::onSpeakBlockOrVerse()
{
    if (!guardSpeech([this] { onSpeakBlockOrVerse(); }))
        return;
    SourceTuple::Ptr book = m_pane.currentSourceTuple();
    if (!book)
        return;
    const QList<quint32>& list = m_pane.commands().selectedBlocksOrKeys();
    QString text;
    if (m_pane.isABible()) {
        const quint32 start = list.isEmpty() ? 0 : book->locations().sectionForBibleKey(list[0]);
        const quint32 end = list.size() >= 2 ? book->locations().sectionForBibleKey(list[1]) : start;
        if (start != 0 && end != 0 && start <= end)
            text = spokenWords(m_pane.hooks().passagePlainText(book, true, start, end, speechTextOptions()));
    } else {
        const quint32 start = list.isEmpty() ? 0 : list[0];
        const quint32 end = list.size() >= 2 ? list[1] : start;
        if (start != kNoBlock && end != kNoBlock && start <= end)
            text = spokenWords(m_pane.hooks().passagePlainText(book, false, start, end, speechTextOptions()));
    }
    if (text.isEmpty())
        return;
    speakOnce(text, book);
}

void BookPaneSpeech::onSpeakSelection()
{
    speakSelectionWords(m_pane.commands().selectedText());
}

// The words are taken when the command is chosen: a start tried again after a running speech has
// stopped speaks them, not what the page's selection reads by then (a menu's words are gone then).
void BookPaneSpeech::speakSelectionWords(const QString& text)
{
    if (!guardSpeech([this, text] { speakSelectionWords(text); }))
        return;
    SourceTuple::Ptr book = m_pane.currentSourceTuple();
    const QString words = spokenWords(text);
    if (words.isEmpty() || !book)
        return;
    speakOnce(words, book);
}

void BookPaneSpeech::onSpeakStartSpeaking()
{
    if (!guardSpeech([this] { onSpeakStartSpeaking(); }))
        return;
    SourceTuple::Ptr book = m_pane.currentSourceTuple();
    if (!book)
        return;
    const quint32 first =
        m_pane.commands().selectedBlocksOrKeys().isEmpty() ? 0 : m_pane.commands().selectedBlocksOrKeys()[0];
    m_speakingNextBlockOrSection = m_pane.isABible() ? book->locations().sectionForBibleKey(first) : first;
    m_speakingSourceTuple = book;
    m_speakingStopAfterSection = kNoBlock;
    speakNext();
}

void BookPaneSpeech::userWantsToStartSpeaking(const Notification& n)
{
    if (n.userInfo.value("layoutUuid").toString() != m_pane.layoutUuid() || !m_pane.isPaneCurrent())
        return;
    SourceTuple::Ptr book = m_pane.currentSourceTuple();
    if (!book)
        return;
    m_pane.commands().setSelectedBlocksOrKeys(
        {m_pane.isABible() ? book->locations().keyForSection(quint32(m_pane.currentSourceSection()))
                           : quint32(m_pane.currentSourceBlock())});
    onSpeakStartSpeaking();
}

void BookPaneSpeech::startSpeakingLinkedToPassage()
{
    if (!guardSpeech([this] { startSpeakingLinkedToPassage(); }))
        return;
    LayoutRegionContentItemState* state = m_pane.currentSourceState();
    if (!m_pane.isABible() || !state)
        return;
    m_speakingNextBlockOrSection = quint32(state->tempHighlightStartSection());
    m_speakingStopAfterSection = quint32(state->tempHighlightEndSection());
    m_speakingSourceTuple = m_pane.currentSourceTuple();
    speakNext();
}

QString BookPaneSpeech::bibleLinkOf(const QString& payload)
{
    QString href = QUrl::fromPercentEncoding(payload.toUtf8());
    if (href.startsWith(QLatin1String("javascript:"))) {
        href = href.mid(11);
        if (href.endsWith(QLatin1Char(';')))
            href.chop(1);
        if (href.startsWith(QLatin1String("href('"))) {
            href = href.mid(6);
            if (href.endsWith(QLatin1String("')")))
                href.chop(2);
        }
    }
    return href.startsWith(QLatin1String("bible:")) ? href : QString();
}

void BookPaneSpeech::onSpeakLinkedToText(const QString& payload)
{
    const QString href = bibleLinkOf(payload);
    if (href.isEmpty())
        return;
    GoToRequest request;
    request.href = href;
    request.wasHyperlink = true;
    request.activate = true;
    request.sync = true;
    request.speakPassage = true;
    request.layoutUuid = m_pane.layoutUuid();
    request.post(m_pane.window().notifications(), &m_pane);
}

void BookPaneSpeech::onSpeakStopSpeaking()
{
    auto synthesizer = this->synthesizer();
    if (synthesizer && synthesizer->isSpeaking()) {
        synthesizer->clearFinishedHandler();
        synthesizer->stop();
    }
}

void BookPaneSpeech::speakNext()
{
    QString text;
    GoToRequest request;
    SourceTuple::Ptr book = m_speakingSourceTuple;
    const bool bible = book && book->docSupports(kDocSupportsIsBible);
    while (book && text.isEmpty()) {
        const quint32 n = m_speakingNextBlockOrSection;
        if (bible) {
            if (book->numSections() <= n || n > m_speakingStopAfterSection)
                break;
            text = spokenWords(m_pane.hooks().passagePlainText(book, true, n, n, speechTextOptions()));
            request = GoToRequest();
            request.section = n;
            request.clearTempHighlight = false;
        } else {
            if (book->record().numBlocks <= n)
                break;
            text = spokenWords(m_pane.hooks().passagePlainText(book, false, n, n, speechTextOptions()));
            request = GoToRequest();
            request.block = n;
        }
        m_speakingNextBlockOrSection = n + 1;
    }
    auto synthesizer = synthesizerFor(QString());
    if (!synthesizer) {
        m_speakingSourceTuple.reset();
        return;
    }
    if (text.isEmpty()) {
        synthesizer->clearFinishedHandler();
        m_speakingSourceTuple.reset();
        return;
    }
    configureSpeechSynthesizerForLanguage(book->record().bookLanguage);
    QPointer<QObject> self(this);
    synthesizer->setFinishedHandler(
        [this, self](bool) {
            if (self)
                QTimer::singleShot(0, this, [this] { speakNext(); });
        },
        this);
    sayFailures(*synthesizer);
    synthesizer->speak(text);
    if (m_pane.window().settings().value(SettingsKeys::VoiceScrollText)) {
        m_pane.page()->goTo(m_pane.pageHost().pageSourceFor(book), request);
        if (m_pane.currentSourceTuple() == book)
            m_pane.pageHost().conditionallySyncToMe();
    }
    QTimer::singleShot(500, this, [this] { m_pane.hooks().validateToolbar(); });
}
