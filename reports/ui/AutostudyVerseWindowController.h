// AutostudyVerseWindowController: the verse study dialog. The user types a passage (one verse or one
// range), picks the Bible it is read in and sets what the study gathers; the report is checked to be a
// single range of at most 176 verses before it is made.
//
// Made by the application for "UserWantsToDoVerseAutostudy" (and again by the results window's
// Change Options) and run modally; the maker deletes it. Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "library/SourceTupleID.h"
#include "reports/ui/AutostudyWindowController.h"

class QComboBox;
class QLineEdit;

class AutostudyVerseWindowController : public AutostudyWindowController {
    Q_OBJECT
public:
    // Passages longer than this many sections past their first are refused.
    static constexpr quint32 maxSectionSpan = 175;

    // Makes the dialog from a request's user info ("refString", "sourceTuple") and runs it modally. With
    // no book the Bible last used for copying is chosen; a book that is not a Bible (or none, with no
    // Bible used for copying) starts on the preferred Bible, or the library's first.
    static void run(const WindowEnvironment& env, const QVariantMap& userInfo, QWidget* parent = nullptr);

    QString refString();
    SourceTuple::Ptr sourceTuple() const;

    void onPerformAutostudy() override;

private:
    AutostudyVerseWindowController(
        const WindowEnvironment& env, const QString& refString, const SourceTuple::Ptr& sourceTuple, QWidget* parent);
    void alert(const QString& message, const QString& informative = QString());
    // Selects the pop-up's item of a Bible; false when the book is none of its Bibles.
    bool selectBible(const SourceTuple::Ptr& tuple);

    QString m_refString;
    QLineEdit* m_passageTextField = nullptr;
    QComboBox* m_biblePopUpButton = nullptr;
};
