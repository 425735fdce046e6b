#include "app/ModalTextFieldWindowController.h"
#include "platform/ui/PlainLabel.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ModalTextFieldWindowController::ModalTextFieldWindowController(const QVariantMap& options, QWidget* parent)
    : QDialog(parent)
{
    const auto text = [&options](const char* key, const QString& fallback) {
        return options.contains(QString::fromLatin1(key)) ? options.value(QString::fromLatin1(key)).toString()
                                                          : fallback;
    };
    setWindowTitle(text("title", QStringLiteral("Text Entry Window")));
    m_prompt = new PlainLabel(text("prompt", QStringLiteral("Enter text below.")), this);
    m_textField = new QLineEdit(text("default", QString()), this);
    m_textField->setMinimumWidth(360);
    m_detailPrompt = new PlainLabel(text("detailPrompt", QString()), this);
    m_detailPrompt->setWordWrap(true);
    QFont small = m_detailPrompt->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_detailPrompt->setFont(small);
    m_detailPrompt->setVisible(!m_detailPrompt->text().isEmpty());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_textField, &QLineEdit::returnPressed, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_textField);
    layout->addWidget(m_detailPrompt);
    layout->addWidget(buttons);
}

std::optional<QString> ModalTextFieldWindowController::run(const QVariantMap& options, QWidget* parent)
{
    ModalTextFieldWindowController prompt(options, parent);
    if (prompt.exec() != QDialog::Accepted)
        return std::nullopt;
    return prompt.textField()->text();
}
