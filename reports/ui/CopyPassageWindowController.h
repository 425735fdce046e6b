// CopyPassageWindowController: the Copy Passage dialog. The user types a Bible reference, picks a
// Bible and chooses how the reference accompanies the copied text; the choices are kept in the user
// defaults ("cp..." keys), so Copy Now can copy with them without showing the dialog.
//
// The copying itself is the passage copier's (`CopyPassageCopier::composeVerse` and
// `placeOnClipboard`, with the dialog's option profile); this class carries the dialog flow and the
// class operations the commands call. The choices, the Bibles and the alerts are those of the window environment the dialog is made with.
//
// Threads: main thread only.
#pragma once

#include "panes/environment/WindowEnvironment.h"
#include "reports/CopyPassageCopier.h"

#include <QDialog>
#include <QVariantMap>

class QCheckBox;
class QComboBox;
class QLineEdit;
class SourceTupleID;

class CopyPassageWindowController : public QDialog {
    Q_OBJECT
public:
    CopyPassageWindowController(const WindowEnvironment& env, const QVariantMap& options, QWidget* parent = nullptr);

    // Makes the dialog and runs it modally. Options: "passage" (text to prefill), "bibleTuple" (a
    // std::shared_ptr<SourceTuple> of the Bible to preselect, as QVariant).
    static void run(const WindowEnvironment& env, const QVariantMap& options, QWidget* parent = nullptr);
    // Copies "passage" from "bibleTuple" with the saved choices; failures are silent.
    static void copyNow(const WindowEnvironment& env, const QVariantMap& options);
    // A reference from a Bible of the environment's library, with the choices saved in its defaults.
    static bool copyVerse(
        const WindowEnvironment& env, const QString& reference, const SourceTupleID& bible, CopyPassageError* error);

    void windowDidLoad();
    void saveChoices();
    void onCopyPassage();
    void onCancel();

    // The dialog's controls, for tests.
    QLineEdit* passageField() const { return m_passageField; }
    QComboBox* biblePopUpButton() const { return m_biblePopUpButton; }
    QComboBox* referenceLocationPopUpButton() const { return m_referenceLocationPopUpButton; }
    QComboBox* referenceFormatPopUpButton() const { return m_referenceFormatPopUpButton; }
    QComboBox* plainTextVerseDelimitersPopUpButton() const { return m_plainTextVerseDelimitersPopUpButton; }
    QComboBox* richTextVerseDelimitersPopUpButton() const { return m_richTextVerseDelimitersPopUpButton; }
    QCheckBox* boldCheckBox() const { return m_boldCheckBox; }

private:
    QComboBox* popUp(const QList<QPair<QString, int>>& items);

    WindowEnvironment m_env;
    QVariantMap m_options;
    QLineEdit* m_passageField = nullptr;
    QComboBox* m_biblePopUpButton = nullptr;
    QComboBox* m_referenceLocationPopUpButton = nullptr;
    QComboBox* m_referenceFormatPopUpButton = nullptr;
    QComboBox* m_plainTextReferenceDelimitersPopUpButton = nullptr;
    QComboBox* m_richTextReferenceDelimitersPopUpButton = nullptr;
    QComboBox* m_plainTextVerseDelimitersPopUpButton = nullptr;
    QComboBox* m_richTextVerseDelimitersPopUpButton = nullptr;
    QComboBox* m_clipboardFormatOptionsPopUpButton = nullptr;
    QCheckBox* m_boldCheckBox = nullptr;
    QCheckBox* m_italicCheckBox = nullptr;
    QCheckBox* m_underlineCheckBox = nullptr;
};
