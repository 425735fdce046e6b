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

#include "platform/UserDefaults.h"

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

private:
    // A pop-up of tagged items whose tag is kept under a "cp..." key, and a check box kept as a flag.
    QComboBox* popUp(const char* name, const SettingKey<qint64>& key, const QList<QPair<QString, int>>& items);
    QCheckBox* checkBox(const QString& title, const char* name, const SettingKey<bool>& key);

    WindowEnvironment m_env;
    QVariantMap m_options;
    QLineEdit* m_passageField = nullptr;
    QComboBox* m_biblePopUp = nullptr;
    // The choices and the keys they are kept under, in the order the dialog shows them.
    QList<QPair<QComboBox*, const SettingKey<qint64>*>> m_tagChoices;
    QList<QPair<QCheckBox*, const SettingKey<bool>*>> m_flagChoices;
};
