#include "reports/ui/AutostudyCSSEditorWindowController.h"
#include "platform/ui/ContentTextDocument.h"

#include "platform/Alerts.h"
#include "platform/MainThread.h"
#include "reports/AutoStudyCSS.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

AutostudyCSSEditorWindowController::AutostudyCSSEditorWindowController(
    Alerts& alerts, AutoStudyCSS* delegate, QWidget* parent)
    : QDialog(parent), m_alerts(alerts), m_delegate(delegate)
{
    QS_ASSERT_MAIN_THREAD();
    setWindowTitle(tr("Autostudy Styles[*]"));
    m_textView = new QTextEdit(this);
    // Plain style sheet text; what is dropped or pasted in loads no resource either.
    m_textView->setDocument(new ContentTextDocument(m_textView));
    m_textView->setObjectName(QStringLiteral("textView"));
    m_textView->setAcceptRichText(false);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(12);
    m_textView->setFont(font);
    m_textView->setLineWrapMode(QTextEdit::NoWrap);

    m_saveChangesButton = new QPushButton(tr("Save"), this);
    m_saveChangesButton->setObjectName(QStringLiteral("saveChangesButton"));
    auto* revert = new QPushButton(tr("Restore Defaults…"), this);
    revert->setObjectName(QStringLiteral("revertButton"));
    revert->setAutoDefault(false);
    auto* cancel = new QPushButton(tr("Close"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    connect(m_saveChangesButton, &QPushButton::clicked, this, &AutostudyCSSEditorWindowController::onSaveChanges);
    connect(revert, &QPushButton::clicked, this, &AutostudyCSSEditorWindowController::onRevertToDefaults);
    connect(cancel, &QPushButton::clicked, this, &AutostudyCSSEditorWindowController::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(revert);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(m_saveChangesButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_textView, 1);
    layout->addLayout(buttons);
    resize(720, 520);

    if (m_delegate)
        setText(m_delegate->cssEditorContents());
    setUnsavedChanges(false);
    // Connected after the text is in, so that only the user's edits count.
    connect(m_textView, &QTextEdit::textChanged, this, [this] { setUnsavedChanges(true); });
}

QString AutostudyCSSEditorWindowController::text() const
{
    return m_textView->toPlainText();
}

void AutostudyCSSEditorWindowController::setText(const QString& text)
{
    const QSignalBlocker quiet(m_textView);
    m_textView->setPlainText(text);
    // A little air between the rules: 2 points between lines, 6 after each line of the sheet.
    QTextBlockFormat spacing;
    spacing.setLineHeight(2, QTextBlockFormat::LineDistanceHeight);
    spacing.setBottomMargin(6);
    QTextCursor all(m_textView->document());
    all.select(QTextCursor::Document);
    all.mergeBlockFormat(spacing);
}

void AutostudyCSSEditorWindowController::setUnsavedChanges(bool unsaved)
{
    m_unsavedChanges = unsaved;
    m_saveChangesButton->setEnabled(unsaved);
    m_saveChangesButton->setDefault(unsaved);
    setWindowModified(unsaved);
}

void AutostudyCSSEditorWindowController::onSaveChanges()
{
    QString why;
    const bool saved = m_delegate && m_delegate->saveCSSEditorContents(text(), why);
    if (m_delegate && !saved) {
        Alert alert;
        alert.messageText = AutoStudyCSS::saveFailedMessage();
        alert.informativeText = why;
        m_alerts.runModal(alert);
    }
    // The button just pressed is disabled by the save: the typing goes on in the text, never on the
    // next button (Restore Defaults).
    if (saved)
        m_textView->setFocus(Qt::OtherFocusReason);
    setUnsavedChanges(!saved);
}

void AutostudyCSSEditorWindowController::onRevertToDefaults()
{
    Alert alert;
    alert.messageText = tr("Are you sure you want to restore the default styles?");
    alert.informativeText = tr("Any changes you may have made either in this editing session or in the past will be "
                               "overwritten with the default styles.");
    alert.buttons = {tr("Yes"), tr("No")};
    alert.defaultButton = 1;  // Return or Space keeps the user's styles
    alert.style = AlertStyle::Informational;
    if (m_alerts.runModal(alert) != AlertFirstButtonReturn)
        return;
    if (m_delegate) {
        m_delegate->revertToDefaultCssEditorContents();
        setText(m_delegate->cssEditorContents());
    }
    m_textView->setFocus(Qt::OtherFocusReason);
    setUnsavedChanges(false);
}

bool AutostudyCSSEditorWindowController::onCancel()
{
    if (m_unsavedChanges) {
        Alert alert;
        alert.messageText = tr("Are you sure you want to leave without saving changes?");
        alert.informativeText = tr("Choose Save to save your changes before closing, Discard to discard your "
                                   "changes, or Cancel to continue editing.");
        alert.buttons = {tr("Save"), tr("Discard"), tr("Cancel")};
        alert.style = AlertStyle::Informational;
        switch (m_alerts.runModal(alert)) {
        case AlertFirstButtonReturn:
            onSaveChanges();
            if (m_unsavedChanges)
                return false;  // the save failed (the user was told): stay with the edits
            break;
        case AlertSecondButtonReturn:
            break;
        default:
            return false;
        }
    }
    finish();
    return true;
}

void AutostudyCSSEditorWindowController::reject()
{
    onCancel();
}

void AutostudyCSSEditorWindowController::closeEvent(QCloseEvent* event)
{
    if (m_finished || onCancel())
        event->accept();
    else
        event->ignore();
}

void AutostudyCSSEditorWindowController::finish()
{
    m_finished = true;
    QDialog::done(QDialog::Rejected);
}
