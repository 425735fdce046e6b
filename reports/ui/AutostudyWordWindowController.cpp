#include "reports/ui/AutostudyWordWindowController.h"

#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "reports/AutoStudyManager.h"

#include <QFormLayout>
#include <QLineEdit>

void AutostudyWordWindowController::run(const WindowEnvironment& env, const QVariantMap& userInfo, QWidget* parent)
{
    AutostudyWordWindowController dialog(env, userInfo.value(QStringLiteral("word")).toString(),
        sharedObjectFromVariant<SourceTuple>(userInfo.value(QStringLiteral("sourceTuple"))), parent);
    dialog.exec();
}

AutostudyWordWindowController::AutostudyWordWindowController(
    const WindowEnvironment& env, const QString& word, const SourceTuple::Ptr& sourceTuple, QWidget* parent)
    : AutostudyWindowController(env, AutoStudyElements::WordStudy, tr("Autostudy Word"), parent),
      m_sourceTuple(sourceTuple)
{
    m_wordTextField = addTextField(tr("Word:"), "wordTextField", tr("e.g. grace"));
    setWord(word);
    m_wordTextField->setFocus();
}

QString AutostudyWordWindowController::cleanedUp(const QString& text)
{
    const auto trimmed = [](const QString& s) {
        const auto trimmable = [](QChar c) { return c.isSpace() || c.isPunct(); };
        qsizetype first = 0;
        qsizetype last = s.size();
        while (first < last && trimmable(s.at(first)))
            ++first;
        while (last > first && trimmable(s.at(last - 1)))
            --last;
        return s.mid(first, last - first);
    };
    // The first word of the text, then trimmed again: "grace, mercy" studies "grace", not "grace,".
    QString word = trimmed(text);
    for (qsizetype i = 0; i < word.size(); ++i)
        if (word.at(i).isSpace())
            return trimmed(word.left(i));
    return word;
}

QString AutostudyWordWindowController::word()
{
    const QString cleaned = cleanedUp(m_wordTextField->text());
    if (cleaned != m_word)
        m_word = cleaned;
    return m_word;
}

void AutostudyWordWindowController::setWord(const QString& word)
{
    m_word = cleanedUp(word);
    m_wordTextField->setText(m_word);
}

void AutostudyWordWindowController::onPerformAutostudy()
{
    QS_ASSERT_MAIN_THREAD();
    const QString w = word();
    const QString file = environment().autoStudy().resultsFileForAutoWordStudyOn(w, m_sourceTuple, 0);
    if (file.isEmpty()) {
        Alert a;
        a.messageText = tr("No results were found for '%1'.").arg(w);
        a.informativeText = tr("The word may be too common (like 'and' or 'the') or no results were found in any "
                               "selected elements/books.");
        a.style = AlertStyle::Informational;
        environment().alert().runModal(a);
        return;
    }
    presentResults(file, PaneNotifications::UserWantsToDoWordAutostudy,
        {{QStringLiteral("word"), w}, {QStringLiteral("sourceTuple"), sharedObjectVariant(m_sourceTuple)},
            {QStringLiteral("saveAsHint"), w}, {QStringLiteral("windowTitle"), w}});
}
