#include "studypane/StudyPaneNoteHeader.h"
#include "platform/ui/ContentTextDocument.h"
#include "platform/ui/PlainLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QLayout* StudyPaneNoteHeader::makeTitles(QWidget* root)
{
    m_bookTitleField = new PlainLabel(root);
    m_bookTitleField->setObjectName(QStringLiteral("bookTitleTextField"));
    m_bookTitleField->setTextFormat(Qt::PlainText);
    QFont bold = m_bookTitleField->font();
    bold.setBold(true);
    m_bookTitleField->setFont(bold);
    m_noteTitleField = new QLineEdit(root);
    m_noteTitleField->setObjectName(QStringLiteral("noteTitleTextField"));
    m_noteTitleField->setReadOnly(true);
    m_noteTitleField->setFrame(false);
    connect(m_noteTitleField, &QLineEdit::textEdited, this, &StudyPaneNoteHeader::noteTitleEdited);
    showTitles();
    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(m_bookTitleField);
    column->addWidget(m_noteTitleField);
    return column;
}

QLayout* StudyPaneNoteHeader::makeStatusLine(QWidget* root)
{
    m_localStatus = new PlainLabel(root);
    m_localStatus->setObjectName(QStringLiteral("localStorageStatusTextField"));
    m_cloudStatus = new PlainLabel(root);
    m_cloudStatus->setObjectName(QStringLiteral("cloudStorageStatusTextField"));
    for (QLabel* l : {m_localStatus, m_cloudStatus}) {
        QFont f = l->font();
        f.setPointSizeF(f.pointSizeF() * 0.85);
        l->setFont(f);
    }
    m_deleteButton = new QPushButton(QStringLiteral("Delete"), root);
    m_deleteButton->setObjectName(QStringLiteral("deleteNoteButton"));
    m_deleteButton->setToolTip(QStringLiteral("Delete this note"));
    connect(m_deleteButton, &QPushButton::clicked, this, &StudyPaneNoteHeader::deleteClicked);
    auto* statusRow = new QHBoxLayout;
    auto* statusColumn = new QVBoxLayout;
    statusColumn->setSpacing(0);
    statusColumn->addWidget(m_localStatus);
    statusColumn->addWidget(m_cloudStatus);
    statusRow->addLayout(statusColumn, 1);
    statusRow->addWidget(m_deleteButton);
    return statusRow;
}

void StudyPaneNoteHeader::setTitles(const QString& book, const QString& note)
{
    m_bookTitle = book;
    m_noteTitle = note;
    showTitles();
}

void StudyPaneNoteHeader::showTitles()
{
    if (m_bookTitleField != nullptr)
        m_bookTitleField->setText(m_bookTitle);
    if (m_noteTitleField != nullptr && m_noteTitleField->text() != m_noteTitle)
        m_noteTitleField->setText(m_noteTitle);
}

QString StudyPaneNoteHeader::typedNoteTitle() const
{
    return m_noteTitleField != nullptr ? m_noteTitleField->text() : m_noteTitle;
}

void StudyPaneNoteHeader::setNoteTitleEditable(bool editable)
{
    if (m_noteTitleField != nullptr)
        m_noteTitleField->setReadOnly(!editable);
}

void StudyPaneNoteHeader::showStatus(const Status& status)
{
    if (m_localStatus == nullptr)
        return;
    if (!status.hasNote) {
        m_localStatus->clear();
        m_localStatus->setToolTip(QString());
        m_cloudStatus->clear();
        m_cloudStatus->setToolTip(QString());
        m_deleteButton->hide();
        return;
    }
    m_deleteButton->setVisible(!(status.isEmpty && !status.isEdited) && !status.unreadable);
    if (status.unreadable) {
        m_localStatus->setText(QStringLiteral("Local Storage: Waiting for the database"));
        m_localStatus->setToolTip(QStringLiteral(
            "Another program holds the notes database, so this note could not be read yet. It is shown, and can "
            "be edited, as soon as the database can be read again."));
    } else if (status.saveFailed) {
        m_localStatus->setText(QStringLiteral("Local Storage: Not saved"));
        m_localStatus->setToolTip(ContentTextDocument::plainToolTip(
            QStringLiteral("The last save failed; your text is kept in the editor. ") + status.failureReason));
    } else if (status.deletedElsewhere) {
        m_localStatus->setText(QStringLiteral("Local Storage: Deleted elsewhere"));
        m_localStatus->setToolTip(QStringLiteral("Another program or device deleted this note. It stays deleted "
                                                 "unless you type in it: what you type then saves it again."));
    } else if (status.autosavePending) {
        m_localStatus->setText(QStringLiteral("Local Storage: Will auto-save..."));
        m_localStatus->setToolTip(QStringLiteral(
            "Changes to this note will be automatically saved every few seconds or when you switch to 'View'."));
    } else if (status.broughtBack) {
        m_localStatus->setText(QStringLiteral("Local Storage: Saved again"));
        m_localStatus->setToolTip(QStringLiteral("This note had been deleted elsewhere; your typing saved it again."));
    } else if (!status.isEmpty) {
        m_localStatus->setText(QStringLiteral("Local Storage: Saved"));
        m_localStatus->setToolTip(QStringLiteral("Changes to this note have been saved."));
    } else {
        m_localStatus->setText(QStringLiteral("Local Storage: Note is empty"));
        m_localStatus->setToolTip(QStringLiteral("Note will not be created/saved until you type something."));
    }
    if (status.tooLargeToSync) {
        m_cloudStatus->setText(QStringLiteral("Cloud Sync: Too large to sync"));
        m_cloudStatus->setToolTip(QStringLiteral("This note is larger than the 4 MB that Cloud Sync can carry. It is "
                                                 "kept on this computer, but it does not sync until it is shortened."));
    } else if (status.syncsAutomatically) {
        if (!status.isEdited && status.isEmpty) {
            m_cloudStatus->setText(QStringLiteral("Cloud Sync: Note is empty"));
            m_cloudStatus->setToolTip(QStringLiteral("Note will not be sync'ed to the cloud until you type soemthing"));
        } else if (status.hasServerCopy && !status.isEdited) {
            m_cloudStatus->setText(QStringLiteral("Cloud Sync: Sync'ed"));
            m_cloudStatus->setToolTip(QStringLiteral("Your changes have been synchronized with the Tavrosen Cloud."));
        } else {
            m_cloudStatus->setText(QStringLiteral("Cloud Sync: Will auto-sync..."));
            m_cloudStatus->setToolTip(QStringLiteral("Automatic synchronization is enabled. Quillstead will sync your "
                                                     "changes to the Cloud automatically."));
        }
    } else {
        m_cloudStatus->setText(QStringLiteral("Cloud Sync: Manual"));
        m_cloudStatus->setToolTip(
            QStringLiteral("Cloud Sync is either disabled or set to manual. You can change this in the Quillstead "
                           "Preferences settings in the Quillstead menu."));
    }
}
