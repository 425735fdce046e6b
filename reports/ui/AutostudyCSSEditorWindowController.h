// AutostudyCSSEditorWindowController: the small modal editor of the report style sheet. Save writes
// the edited sheet (the user's copy) through its delegate and puts the typing back in the text; Restore
// Defaults drops the user's copy after asking (Return keeps it); closing with unsaved edits asks whether
// to save, discard or go on editing.
//
// The delegate (the autostudy manager's style sheet) and the alerts that ask are borrowed, not owned.
// Run modally by the autostudy dialogs; main thread only.
#pragma once

#include <QDialog>

class Alerts;
class AutoStudyCSS;
class QTextEdit;
class QPushButton;

class AutostudyCSSEditorWindowController : public QDialog {
    Q_OBJECT
public:
    AutostudyCSSEditorWindowController(Alerts& alerts, AutoStudyCSS* delegate, QWidget* parent = nullptr);

    // Shown as the window's modified mark and the Save button's enabled state.
    void setUnsavedChanges(bool unsaved);

    void onSaveChanges();
    void onRevertToDefaults();
    // Asks first when there are unsaved changes; false when the user chose to go on editing.
    bool onCancel();

    QString text() const;

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void finish();
    void setText(const QString& text);

    Alerts& m_alerts;
    AutoStudyCSS* m_delegate;
    QTextEdit* m_textView = nullptr;
    QPushButton* m_saveChangesButton = nullptr;
    bool m_unsavedChanges = false;
    bool m_finished = false;
};
