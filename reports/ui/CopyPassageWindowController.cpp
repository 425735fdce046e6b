#include "reports/ui/CopyPassageWindowController.h"

#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "library/SourceTupleID.h"
#include "platform/Alerts.h"
#include "platform/MainThread.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kPassage = QStringLiteral("passage");
const QString kBibleTuple = QStringLiteral("bibleTuple");

std::shared_ptr<SourceTuple> tupleOption(const QVariantMap& options)
{
    return options.value(kBibleTuple).value<std::shared_ptr<SourceTuple>>();
}

}  // namespace

CopyPassageWindowController::CopyPassageWindowController(
    const WindowEnvironment& env, const QVariantMap& options, QWidget* parent)
    : QDialog(parent), m_env(env), m_options(options)
{
    setWindowTitle(tr("Copy Passage"));
    setObjectName(QStringLiteral("CopyPassageWindowController"));

    m_passageField = new QLineEdit(this);
    m_passageField->setObjectName(QStringLiteral("passageField"));
    m_passageField->setPlaceholderText(tr("e.g. Romans 8:28-30"));
    m_biblePopUp = new QComboBox(this);
    m_biblePopUp->setObjectName(QStringLiteral("biblePopUp"));
    const QList<QPair<QString, int>> referenceDelimiters {{QStringLiteral("(Rom 8:28)"), 1},
        {QStringLiteral("[Rom 8:28]"), 2}, {QStringLiteral("\u2014 Rom 8:28"), 3}, {QStringLiteral("Rom 8:28"), 0}};

    auto* form = new QFormLayout;
    form->addRow(tr("Passage:"), m_passageField);
    form->addRow(tr("Bible:"), m_biblePopUp);
    form->addRow(tr("Reference:"),
        popUp("referenceLocationPopUp", SettingsKeys::CpRefLocation,
            {{tr("On its own line before the passage"), 1}, {tr("Before the passage, on the same line"), 2},
                {tr("On its own line after the passage"), 3}, {tr("After the passage, on the same line"), 4},
                {tr("No reference"), 0}}));
    form->addRow(tr("Reference format:"),
        popUp("referenceFormatPopUp", SettingsKeys::CpRefFormat,
            {{tr("Abbreviated book (Rom 8:28)"), 1}, {tr("Abbreviated book and translation (Rom 8:28 KJV)"), 2},
                {tr("Abbreviated book, full translation"), 3}, {tr("Full book (Romans 8:28)"), 4},
                {tr("Full book and abbreviated translation"), 5}, {tr("Full book and full translation"), 6}}));
    form->addRow(tr("Plain-text reference:"),
        popUp("plainTextReferenceDelimitersPopUp", SettingsKeys::CpRefDelimPlain, referenceDelimiters));
    form->addRow(tr("Rich-text reference:"),
        popUp("richTextReferenceDelimitersPopUp", SettingsKeys::CpRefDelimRich, referenceDelimiters));
    auto* styles = new QHBoxLayout;
    styles->addWidget(checkBox(tr("Bold"), "boldCheckBox", SettingsKeys::CpRefStyleBold));
    styles->addWidget(checkBox(tr("Italic"), "italicCheckBox", SettingsKeys::CpRefStyleItalic));
    styles->addWidget(checkBox(tr("Underline"), "underlineCheckBox", SettingsKeys::CpRefStyleUnderline));
    styles->addStretch();
    form->addRow(tr("Rich-text reference style:"), styles);
    form->addRow(tr("Plain-text verse numbers:"),
        popUp("plainTextVerseDelimitersPopUp", SettingsKeys::CpVerseDelimPlain,
            {{QStringLiteral("[28] text"), 1}, {QStringLiteral("(28) text"), 2}, {QStringLiteral("28 text"), 3},
                {tr("No verse numbers"), 4}}));
    form->addRow(tr("Rich-text verse numbers:"),
        popUp("richTextVerseDelimitersPopUp", SettingsKeys::CpVerseDelimRich,
            {{tr("Superscript"), 1}, {tr("Bold"), 2}, {tr("Italic"), 3}, {tr("No verse numbers"), 4}}));
    form->addRow(tr("Copy as:"),
        popUp("clipboardFormatPopUp", SettingsKeys::CpClipboardFormat,
            {{tr("Rich and plain text"), 1}, {tr("Rich text only"), 2}, {tr("Plain text only"), 3}}));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* copy = buttons->addButton(tr("Copy"), QDialogButtonBox::AcceptRole);
    copy->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CopyPassageWindowController::onCopyPassage);
    connect(buttons, &QDialogButtonBox::rejected, this, &CopyPassageWindowController::onCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    windowDidLoad();
}

QComboBox* CopyPassageWindowController::popUp(
    const char* name, const SettingKey<qint64>& key, const QList<QPair<QString, int>>& items)
{
    auto* box = new QComboBox(this);
    box->setObjectName(QLatin1String(name));
    for (const auto& [title, tag] : items)
        box->addItem(title, tag);
    m_tagChoices.append({box, &key});
    return box;
}

QCheckBox* CopyPassageWindowController::checkBox(const QString& title, const char* name, const SettingKey<bool>& key)
{
    auto* box = new QCheckBox(title, this);
    box->setObjectName(QLatin1String(name));
    m_flagChoices.append({box, &key});
    return box;
}

void CopyPassageWindowController::windowDidLoad()
{
    QS_ASSERT_MAIN_THREAD();
    if (m_options.contains(kPassage))
        m_passageField->setText(m_options.value(kPassage).toString());

    const UserDefaults& defaults = m_env.settings();
    m_biblePopUp->clear();
    const auto wanted = tupleOption(m_options);
    const qint64 savedPub = defaults.value(SettingsKeys::CpBiblePubID);
    const qint64 savedBook = defaults.value(SettingsKeys::CpBibleBookID);
    int selected = -1;
    const SourceTupleArray::Ptr bibles = m_env.books().bibleSources();
    for (qsizetype i = 0; i < bibles->count(); ++i) {
        const std::shared_ptr<SourceTuple> bible = bibles->tupleAtIndex(i);
        m_biblePopUp->addItem(QStringLiteral("%1 (%2)").arg(bible->record().name, bible->record().abbr),
            QVariant::fromValue(SourceTupleID::sourceTupleIDForTuple(*bible)));
        if (wanted ? wanted->isEqual(*bible)
                   : (savedPub != 0 && savedBook != 0 && bible->record().pubID == savedPub &&
                         bible->record().bookID == savedBook))
            selected = m_biblePopUp->count() - 1;
    }
    // Without a wanted or remembered Bible the first one is chosen, never none.
    m_biblePopUp->setCurrentIndex(selected >= 0 || m_biblePopUp->count() == 0 ? selected : 0);

    for (const auto& [box, key] : m_tagChoices)
        box->setCurrentIndex(box->findData(static_cast<int>(defaults.value(*key))));
    for (const auto& [box, key] : m_flagChoices)
        box->setChecked(defaults.value(*key));
}

void CopyPassageWindowController::saveChoices()
{
    UserDefaults& defaults = m_env.settings();
    const SourceTupleID id = m_biblePopUp->currentData().value<SourceTupleID>();
    defaults.set(SettingsKeys::CpBiblePubID, id.pubID());
    defaults.set(SettingsKeys::CpBibleBookID, id.bookID());
    for (const auto& [box, key] : m_tagChoices)
        if (box->currentIndex() >= 0)
            defaults.set(*key, box->currentData().toInt());
    for (const auto& [box, key] : m_flagChoices)
        defaults.set(*key, box->isChecked());
}

void CopyPassageWindowController::onCopyPassage()
{
    saveChoices();
    CopyPassageError error;
    const SourceTupleID id = m_biblePopUp->currentData().value<SourceTupleID>();
    if (copyVerse(m_env, m_passageField->text(), id, &error)) {
        accept();
        return;
    }
    Alert alert;
    alert.messageText = error.description;
    alert.informativeText = error.failureReason + QLatin1Char(' ') + error.recoverySuggestion;
    m_env.alert().runModal(alert);
}

void CopyPassageWindowController::onCancel()
{
    reject();
}

void CopyPassageWindowController::run(const WindowEnvironment& env, const QVariantMap& options, QWidget* parent)
{
    CopyPassageWindowController dialog(env, options, parent);
    dialog.exec();
}

void CopyPassageWindowController::copyNow(const WindowEnvironment& env, const QVariantMap& options)
{
    const auto tuple = tupleOption(options);
    if (!tuple)
        return;
    copyVerse(env, options.value(kPassage).toString(), SourceTupleID::sourceTupleIDForTuple(*tuple), nullptr);
}

bool CopyPassageWindowController::copyVerse(
    const WindowEnvironment& env, const QString& reference, const SourceTupleID& bible, CopyPassageError* error)
{
    const SourceTupleArray::Ptr bibles = env.books().bibleSources();
    const std::shared_ptr<SourceTuple> tuple = bibles ? bibles->tupleForSourceTupleID(bible) : nullptr;
    CopyPassageText text;
    if (!CopyPassageCopier::composeVerse(reference, tuple, env.settings(), text, error))
        return false;
    CopyPassageCopier::placeOnClipboard(text);
    return true;
}
