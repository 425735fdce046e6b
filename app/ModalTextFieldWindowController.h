// ModalTextFieldWindowController: the modal prompt for one line of text (a layout's new name, a
// bookmark category's name, the names and limits the study pane asks for).
//
// Options: "prompt" (default "Enter text below."), "detailPrompt", "default" (the field's first
// text), "title" (default "Text Entry Window"). Main thread only.
#pragma once

#include <QDialog>
#include <QVariantMap>

#include <optional>

class QLabel;
class QLineEdit;

class ModalTextFieldWindowController : public QDialog {
    Q_OBJECT
public:
    explicit ModalTextFieldWindowController(const QVariantMap& options, QWidget* parent = nullptr);

    // Runs the prompt modally: the entered text, or nothing when cancelled.
    static std::optional<QString> run(const QVariantMap& options, QWidget* parent = nullptr);

    QLabel* prompt() const { return m_prompt; }
    QLabel* detailPrompt() const { return m_detailPrompt; }
    QLineEdit* textField() const { return m_textField; }

private:
    QLabel* m_prompt = nullptr;
    QLabel* m_detailPrompt = nullptr;
    QLineEdit* m_textField = nullptr;
};
