#include "reports/ui/AutostudyVerseWindowController.h"

#include "engine/references/BibleRef.h"
#include "library/SourceManager.h"
#include "panes/layout/PaneNotifications.h"
#include "platform/Alerts.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "reports/AutoStudyManager.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

void AutostudyVerseWindowController::run(const WindowEnvironment& env, const QVariantMap& userInfo, QWidget* parent)
{
    AutostudyVerseWindowController dialog(env, userInfo.value(QStringLiteral("refString")).toString(),
        sharedObjectFromVariant<SourceTuple>(userInfo.value(QStringLiteral("sourceTuple"))), parent);
    dialog.exec();
}

AutostudyVerseWindowController::AutostudyVerseWindowController(
    const WindowEnvironment& env, const QString& refString, const SourceTuple::Ptr& sourceTuple, QWidget* parent)
    : AutostudyWindowController(env, AutoStudyElements::VerseStudy, tr("Autostudy Verse"), parent),
      m_refString(refString)
{
    m_passageTextField = addTextField(tr("Passage:"), "passageTextField", tr("e.g. John 3:16 or Psalm 23"));
    m_biblePopUpButton = new QComboBox(this);
    m_biblePopUpButton->setObjectName(QStringLiteral("biblePopUpButton"));
    inputForm()->addRow(tr("Bible:"), m_biblePopUpButton);

    m_passageTextField->setText(m_refString);
    const SourceTupleArray::Ptr bibles = environment().books().bibleSources();
    for (qsizetype i = 0; bibles && i < bibles->count(); ++i) {
        const SourceTuple::Ptr bible = bibles->tupleAtIndex(i);
        m_biblePopUpButton->addItem(QStringLiteral("%1 (%2)").arg(bible->record().name, bible->record().abbr),
            QVariant::fromValue(SourceTupleID::sourceTupleIDForTuple(*bible)));
    }
    m_biblePopUpButton->setCurrentIndex(-1);
    const UserDefaults& defaults = environment().settings();
    const auto named = [&defaults, &bibles](
                           const SettingKey<qint64>& pubKey, const SettingKey<qint64>& bookKey) -> SourceTuple::Ptr {
        const qint64 pub = defaults.value(pubKey);
        const qint64 book = defaults.value(bookKey);
        return pub != 0 && book != 0 && bibles ? bibles->tupleForPubID(pub, book) : nullptr;
    };
    // The given book when it is a Bible; with none given, the Bible last used for copying. A study
    // asked for from a commentary or any other book is read in the preferred Bible, or else in the
    // library's first.
    bool chosen = sourceTuple ? selectBible(sourceTuple)
                              : selectBible(named(SettingsKeys::CpBiblePubID, SettingsKeys::CpBibleBookID));
    if (!chosen)
        chosen = selectBible(named(SettingsKeys::PreferredBiblePubId, SettingsKeys::PreferredBibleBookId));
    if (!chosen && m_biblePopUpButton->count() > 0)
        m_biblePopUpButton->setCurrentIndex(0);
    m_passageTextField->setFocus();
}

QString AutostudyVerseWindowController::refString()
{
    if (m_passageTextField->text() != m_refString)
        m_refString = m_passageTextField->text();
    return m_refString;
}

SourceTuple::Ptr AutostudyVerseWindowController::sourceTuple() const
{
    if (m_biblePopUpButton->currentIndex() < 0)
        return nullptr;
    const SourceTupleID id = m_biblePopUpButton->currentData().value<SourceTupleID>();
    const SourceTupleArray::Ptr all = environment().books().allSources();
    return all ? all->tupleForSourceTupleID(id) : nullptr;
}

bool AutostudyVerseWindowController::selectBible(const SourceTuple::Ptr& tuple)
{
    if (!tuple)
        return false;
    for (int i = 0; i < m_biblePopUpButton->count(); ++i)
        if (m_biblePopUpButton->itemData(i).value<SourceTupleID>() == SourceTupleID::sourceTupleIDForTuple(*tuple)) {
            m_biblePopUpButton->setCurrentIndex(i);
            return true;
        }
    return false;
}

void AutostudyVerseWindowController::alert(const QString& message, const QString& informative)
{
    Alert a;
    a.messageText = message;
    a.informativeText = informative;
    a.style = AlertStyle::Informational;
    environment().alert().runModal(a);
}

void AutostudyVerseWindowController::onPerformAutostudy()
{
    QS_ASSERT_MAIN_THREAD();
    const QString text = refString().trimmed();
    const SourceTuple::Ptr bible = sourceTuple();
    if (text.isEmpty()) {
        alert(tr("Please enter a passage to study."),
            tr("Type a verse or a range of verses, such as 'John 3:16' or 'Psalm 23'."));
        m_passageTextField->setFocus();
        return;
    }
    // The passage is read in the chosen Bible's translation and language.
    BibleRef ref;
    if (bible)
        ref.setLanguage(int(quint16(bible->record().bookLanguage)));
    if (!ref.parse(text, bible ? bible->record().abbr : QString()) || !ref.isValid()) {
        alert(tr("%1 is not a valid verse reference").arg(text));
        return;
    }
    if (bible) {
        const SourceTupleLocations::ReferenceFault fault = bible->locations().referenceFault(ref);
        if (!fault.isEmpty()) {
            alert(fault.description, fault.reason);
            return;
        }
    }
    if (ref.numRanges() >= 2) {
        alert(tr("Autostudy is limited to one verse or one range of verses."),
            tr("Autostudy works with ranges of the form 'John 3:16-18' or 'Psalm 23-24' but not 'John 3:16,17,18' or "
               "'Psalm 23,24'."));
        return;
    }
    quint32 start = 0;
    quint32 end = 0;
    if (bible && bible->locations().sectionRangeForVerse(ref, &start, &end) && end >= start &&
        end - start > maxSectionSpan) {
        alert(
            tr("%1 contains too many verses.").arg(text), tr("Verse Autostudies are limited to about 150-200 verses"));
        return;
    }
    // Without a Bible there is nothing to read the passage in: no results.
    const QString file = bible ? environment().autoStudy().resultsFileForAutoVerseStudyOn(ref, bible, 0) : QString();
    if (file.isEmpty()) {
        alert(tr("No results were found for %1.").arg(text),
            tr("The reference may be invalid or no suitable elements/books were selected."));
        return;
    }
    presentResults(file, PaneNotifications::UserWantsToDoVerseAutostudy,
        {{QStringLiteral("refString"), text}, {QStringLiteral("sourceTuple"), sharedObjectVariant(bible)},
            {QStringLiteral("saveAsHint"), text}, {QStringLiteral("windowTitle"), text}});
}
