// Reading aloud: one verse, passage or paragraph, the selected text, or the book continuously.

#include "panes/bookpane/BookPaneHooks.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "panes/page/BookPageView.h"
#include "platform/UserDefaults.h"

#include <QTimer>
#include <QUrl>

QVariantMap BookPaneViewController::speechTextOptions()
{
    return {{"omitStrongsNumbersInDecode", true}, {"showStrongsNumbers", false}, {"referenceLocation", 5},
        {"htmlTextRefFormatString", QStringLiteral("%@")}, {"referenceString", QString()},
        {"richTextVerseDelimiters", 1}, {"plainTextVerseDelimiters", 4}, {"footnoteOption", false}};
}

void BookPaneViewController::configureSpeechSynthesizerForLanguage(quint64 language)
{
    UserDefaults& defaults = *m_env.defaults;
    QString voice;
    double rate = 200.0;
    auto read = [&](const char* voiceKey, const char* rateKey) {
        voice = defaults.stringForKey(QLatin1String(voiceKey));
        rate = defaults.doubleForKey(QLatin1String(rateKey));
        if (rate <= 0)
            rate = 200.0;
    };
    if (language == 10)
        read("voiceES", "voiceESRate");
    else if (language == 535)
        read("voiceEL", "voiceELRate");
    else if (language == 1033)
        read("voiceEN", "voiceENRate");
    auto synthesizer = SpeechSynthesizer::sharedOrCreate(voice);
    if (synthesizer->voice() != voice || voice.isEmpty())
        synthesizer->setVoice(voice);
    if (synthesizer->rate() != rate)
        synthesizer->setRate(rate);
}

// Runs first by every start: a running speech is detached and stopped and the start is tried
// again 0.3 s later; while another program speaks nothing starts. True when the start may go on.
bool BookPaneViewController::guardSpeech(void (BookPaneViewController::*again)())
{
    auto synthesizer = SpeechSynthesizer::shared();
    if (synthesizer && synthesizer->isSpeaking()) {
        synthesizer->clearFinishedHandler();
        synthesizer->stop();
        QPointer<QObject> self(this);
        QTimer::singleShot(300, this, [this, again] { (this->*again)(); });
        return false;
    }
    return !(synthesizer && synthesizer->isAnyApplicationSpeaking());
}

void BookPaneViewController::onSpeakBlockOrVerse()
{
    if (!guardSpeech(&BookPaneViewController::onSpeakBlockOrVerse))
        return;
    SourceTuple::Ptr book = currentSourceTuple();
    if (!book)
        return;
    const QList<quint32>& list = m_selectedBlocksOrKeys;
    QString text;
    if (isABible()) {
        const quint32 start = list.isEmpty() ? 0 : book->sectionForBibleKey(list[0]);
        const quint32 end = list.size() >= 2 ? book->sectionForBibleKey(list[1]) : start;
        if (start != 0 && end != 0 && start <= end)
            text = BookPaneHooks::current().passagePlainText(book, true, start, end, speechTextOptions());
    } else {
        const quint32 start = list.isEmpty() ? 0 : list[0];
        const quint32 end = list.size() >= 2 ? list[1] : start;
        if (start != kNoBlock && end != kNoBlock && start <= end)
            text = BookPaneHooks::current().passagePlainText(book, false, start, end, speechTextOptions());
    }
    if (text.isEmpty())
        return;
    configureSpeechSynthesizerForLanguage(book->bookLanguage());
    auto synthesizer = SpeechSynthesizer::shared();
    synthesizer->setFinishedHandler(
        [synthesizer = synthesizer.get()](bool) {
            BookPaneHooks::current().validateToolbar();
            synthesizer->clearFinishedHandler();
        },
        nullptr);
    synthesizer->speak(text);
}

void BookPaneViewController::onSpeakSelection()
{
    if (!guardSpeech(&BookPaneViewController::onSpeakSelection))
        return;
    const QString text = selectedText();
    SourceTuple::Ptr book = currentSourceTuple();
    if (text.isEmpty() || !book)
        return;
    configureSpeechSynthesizerForLanguage(book->bookLanguage());
    auto synthesizer = SpeechSynthesizer::shared();
    synthesizer->setFinishedHandler(
        [synthesizer = synthesizer.get()](bool) {
            BookPaneHooks::current().validateToolbar();
            synthesizer->clearFinishedHandler();
        },
        nullptr);
    synthesizer->speak(text);
}

void BookPaneViewController::onSpeakStartSpeaking()
{
    if (!guardSpeech(&BookPaneViewController::onSpeakStartSpeaking))
        return;
    SourceTuple::Ptr book = currentSourceTuple();
    if (!book)
        return;
    const quint32 first = m_selectedBlocksOrKeys.isEmpty() ? 0 : m_selectedBlocksOrKeys[0];
    m_speakingNextBlockOrSection = isABible() ? book->sectionForBibleKey(first) : first;
    m_speakingSourceTuple = book;
    m_speakingStopAfterSection = kNoBlock;
    speakNext();
}

void BookPaneViewController::userWantsToStartSpeaking(const Notification& n)
{
    if (n.userInfo.value("layoutUuid").toString() != layoutUuid() || !isPaneCurrent())
        return;
    SourceTuple::Ptr book = currentSourceTuple();
    if (!book)
        return;
    m_selectedBlocksOrKeys = {
        isABible() ? book->keyForSection(quint32(currentSourceSection())) : quint32(currentSourceBlock())};
    onSpeakStartSpeaking();
}

void BookPaneViewController::startSpeakingLinkedToPassage()
{
    if (!guardSpeech(&BookPaneViewController::startSpeakingLinkedToPassage))
        return;
    LayoutRegionContentItemState* state = currentSourceState();
    if (!isABible() || !state)
        return;
    m_speakingNextBlockOrSection = quint32(state->tempHighlightStartSection());
    m_speakingStopAfterSection = quint32(state->tempHighlightEndSection());
    m_speakingSourceTuple = currentSourceTuple();
    speakNext();
}

void BookPaneViewController::onSpeakLinkedToText(const QString& payload)
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
    if (!href.startsWith(QLatin1String("bible:")))
        return;
    m_center.postNotificationName(QStringLiteral("GoToNotification"), this,
        {{"href", href}, {"wasHyperlink", true}, {"activate", true}, {"sync", true}, {"speakPassage", true},
            {"layoutUuid", layoutUuid()}});
}

void BookPaneViewController::onSpeakStopSpeaking()
{
    auto synthesizer = SpeechSynthesizer::shared();
    if (synthesizer && synthesizer->isSpeaking()) {
        synthesizer->clearFinishedHandler();
        synthesizer->stop();
    }
}

void BookPaneViewController::speakNext()
{
    QString text;
    QVariantMap request;
    SourceTuple::Ptr book = m_speakingSourceTuple;
    const bool bible = book && book->docSupports(SourceTuple::kDocSupportsIsBible());
    while (book && text.isEmpty()) {
        const quint32 n = m_speakingNextBlockOrSection;
        if (bible) {
            if (book->numSections() <= n || n > m_speakingStopAfterSection)
                break;
            text = BookPaneHooks::current().passagePlainText(book, true, n, n, speechTextOptions());
            request = {{"section", n}, {"clearTempHighlight", false}};
        } else {
            if (book->numBlocks() <= n)
                break;
            text = BookPaneHooks::current().passagePlainText(book, false, n, n, speechTextOptions());
            request = {{"block", n}};
        }
        m_speakingNextBlockOrSection = n + 1;
    }
    auto synthesizer = SpeechSynthesizer::sharedOrCreate(QString());
    if (text.isEmpty()) {
        synthesizer->clearFinishedHandler();
        m_speakingSourceTuple.reset();
        return;
    }
    configureSpeechSynthesizerForLanguage(book->bookLanguage());
    QPointer<QObject> self(this);
    synthesizer->setFinishedHandler(
        [this, self](bool) {
            if (self)
                QTimer::singleShot(0, this, [this] { speakNext(); });
        },
        this);
    synthesizer->speak(text);
    if (m_env.defaults->boolForKey(QStringLiteral("voiceScrollText"))) {
        goTo(book, request);
        if (currentSourceTuple() == book)
            conditionallySyncToMe();
    }
    QTimer::singleShot(500, this, [] { BookPaneHooks::current().validateToolbar(); });
}
