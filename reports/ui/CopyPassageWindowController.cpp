#include "reports/ui/CopyPassageWindowController.h"

#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "library/SourceTupleID.h"
#include "platform/Alerts.h"
#include "platform/MainThread.h"
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

void selectTag(QComboBox* box, qint64 tag)
{
    const int index = box->findData(static_cast<int>(tag));
    box->setCurrentIndex(index);
}

}  // namespace

CopyPassageWindowController::CopyPassageWindowController(
    const WindowEnvironment& env, const QVariantMap& options, QWidget* parent)
    : QDialog(parent), m_env(env), m_options(options)
{
    setWindowTitle(tr("Copy Passage"));
    setObjectName(QStringLiteral("CopyPassageWindowController"));

    m_passageField = new QLineEdit(this);
    m_passageField->setPlaceholderText(tr("e.g. Romans 8:28-30"));
    m_biblePopUpButton = new QComboBox(this);
    m_referenceLocationPopUpButton = popUp({{tr("On its own line before the passage"), 1},
        {tr("Before the passage, on the same line"), 2}, {tr("On its own line after the passage"), 3},
        {tr("After the passage, on the same line"), 4}, {tr("No reference"), 0}});
    m_referenceFormatPopUpButton =
        popUp({{tr("Abbreviated book (Rom 8:28)"), 1}, {tr("Abbreviated book and translation (Rom 8:28 KJV)"), 2},
            {tr("Abbreviated book, full translation"), 3}, {tr("Full book (Romans 8:28)"), 4},
            {tr("Full book and abbreviated translation"), 5}, {tr("Full book and full translation"), 6}});
    const QList<QPair<QString, int>> referenceDelimiters {{QStringLiteral("(Rom 8:28)"), 1},
        {QStringLiteral("[Rom 8:28]"), 2}, {QStringLiteral("\u2014 Rom 8:28"), 3}, {QStringLiteral("Rom 8:28"), 0}};
    m_plainTextReferenceDelimitersPopUpButton = popUp(referenceDelimiters);
    m_richTextReferenceDelimitersPopUpButton = popUp(referenceDelimiters);
    m_plainTextVerseDelimitersPopUpButton = popUp({{QStringLiteral("[28] text"), 1}, {QStringLiteral("(28) text"), 2},
        {QStringLiteral("28 text"), 3}, {tr("No verse numbers"), 4}});
    m_richTextVerseDelimitersPopUpButton =
        popUp({{tr("Superscript"), 1}, {tr("Bold"), 2}, {tr("Italic"), 3}, {tr("No verse numbers"), 4}});
    m_clipboardFormatOptionsPopUpButton =
        popUp({{tr("Rich and plain text"), 1}, {tr("Rich text only"), 2}, {tr("Plain text only"), 3}});
    m_boldCheckBox = new QCheckBox(tr("Bold"), this);
    m_italicCheckBox = new QCheckBox(tr("Italic"), this);
    m_underlineCheckBox = new QCheckBox(tr("Underline"), this);

    auto* form = new QFormLayout;
    form->addRow(tr("Passage:"), m_passageField);
    form->addRow(tr("Bible:"), m_biblePopUpButton);
    form->addRow(tr("Reference:"), m_referenceLocationPopUpButton);
    form->addRow(tr("Reference format:"), m_referenceFormatPopUpButton);
    form->addRow(tr("Plain-text reference:"), m_plainTextReferenceDelimitersPopUpButton);
    form->addRow(tr("Rich-text reference:"), m_richTextReferenceDelimitersPopUpButton);
    auto* styles = new QHBoxLayout;
    styles->addWidget(m_boldCheckBox);
    styles->addWidget(m_italicCheckBox);
    styles->addWidget(m_underlineCheckBox);
    styles->addStretch();
    form->addRow(tr("Rich-text reference style:"), styles);
    form->addRow(tr("Plain-text verse numbers:"), m_plainTextVerseDelimitersPopUpButton);
    form->addRow(tr("Rich-text verse numbers:"), m_richTextVerseDelimitersPopUpButton);
    form->addRow(tr("Copy as:"), m_clipboardFormatOptionsPopUpButton);

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

QComboBox* CopyPassageWindowController::popUp(const QList<QPair<QString, int>>& items)
{
    auto* box = new QComboBox(this);
    for (const auto& [title, tag] : items)
        box->addItem(title, tag);
    return box;
}

void CopyPassageWindowController::windowDidLoad()
{
    QS_ASSERT_MAIN_THREAD();
    if (m_options.contains(kPassage))
        m_passageField->setText(m_options.value(kPassage).toString());

    const UserDefaults& defaults = m_env.settings();
    m_biblePopUpButton->clear();
    const auto wanted = tupleOption(m_options);
    const qint64 savedPub = defaults.integerForKey(QStringLiteral("cpBiblePubID"));
    const qint64 savedBook = defaults.integerForKey(QStringLiteral("cpBibleBookID"));
    int selected = -1;
    const SourceTupleArray::Ptr bibles = m_env.books().bibleSources();
    for (qsizetype i = 0; i < bibles->count(); ++i) {
        const std::shared_ptr<SourceTuple> bible = bibles->tupleAtIndex(i);
        m_biblePopUpButton->addItem(QStringLiteral("%1 (%2)").arg(bible->name(), bible->abbr()),
            QVariant::fromValue(SourceTupleID::sourceTupleIDForTuple(*bible)));
        if (wanted ? wanted->isEqual(*bible)
                   : (savedPub != 0 && savedBook != 0 && bible->pubID() == savedPub && bible->bookID() == savedBook))
            selected = m_biblePopUpButton->count() - 1;
    }
    // Without a wanted or remembered Bible the first one is chosen, never none.
    m_biblePopUpButton->setCurrentIndex(selected >= 0 || m_biblePopUpButton->count() == 0 ? selected : 0);

    selectTag(m_referenceLocationPopUpButton, defaults.integerForKey(QStringLiteral("cpRefLocation")));
    selectTag(m_referenceFormatPopUpButton, defaults.integerForKey(QStringLiteral("cpRefFormat")));
    selectTag(m_plainTextReferenceDelimitersPopUpButton, defaults.integerForKey(QStringLiteral("cpRefDelimPlain")));
    selectTag(m_richTextReferenceDelimitersPopUpButton, defaults.integerForKey(QStringLiteral("cpRefDelimRich")));
    selectTag(m_plainTextVerseDelimitersPopUpButton, defaults.integerForKey(QStringLiteral("cpVerseDelimPlain")));
    selectTag(m_richTextVerseDelimitersPopUpButton, defaults.integerForKey(QStringLiteral("cpVerseDelimRich")));
    selectTag(m_clipboardFormatOptionsPopUpButton, defaults.integerForKey(QStringLiteral("cpClipboardFormat")));
    m_boldCheckBox->setChecked(defaults.boolForKey(QStringLiteral("cpRefStyleBold")));
    m_italicCheckBox->setChecked(defaults.boolForKey(QStringLiteral("cpRefStyleItalic")));
    m_underlineCheckBox->setChecked(defaults.boolForKey(QStringLiteral("cpRefStyleUnderline")));
}

void CopyPassageWindowController::saveChoices()
{
    UserDefaults& defaults = m_env.settings();
    const SourceTupleID id = m_biblePopUpButton->currentData().value<SourceTupleID>();
    defaults.setInteger(id.pubID(), QStringLiteral("cpBiblePubID"));
    defaults.setInteger(id.bookID(), QStringLiteral("cpBibleBookID"));
    const auto saveTag = [&defaults](QComboBox* box, const char* key) {
        if (box->currentIndex() >= 0)
            defaults.setInteger(box->currentData().toInt(), QString::fromLatin1(key));
    };
    saveTag(m_referenceLocationPopUpButton, "cpRefLocation");
    saveTag(m_referenceFormatPopUpButton, "cpRefFormat");
    saveTag(m_plainTextReferenceDelimitersPopUpButton, "cpRefDelimPlain");
    saveTag(m_richTextReferenceDelimitersPopUpButton, "cpRefDelimRich");
    saveTag(m_plainTextVerseDelimitersPopUpButton, "cpVerseDelimPlain");
    saveTag(m_richTextVerseDelimitersPopUpButton, "cpVerseDelimRich");
    saveTag(m_clipboardFormatOptionsPopUpButton, "cpClipboardFormat");
    defaults.setBool(m_boldCheckBox->isChecked(), QStringLiteral("cpRefStyleBold"));
    defaults.setBool(m_italicCheckBox->isChecked(), QStringLiteral("cpRefStyleItalic"));
    defaults.setBool(m_underlineCheckBox->isChecked(), QStringLiteral("cpRefStyleUnderline"));
}

void CopyPassageWindowController::onCopyPassage()
{
    saveChoices();
    CopyPassageError error;
    const SourceTupleID id = m_biblePopUpButton->currentData().value<SourceTupleID>();
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
