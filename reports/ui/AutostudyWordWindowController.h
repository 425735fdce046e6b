// AutostudyWordWindowController: the word study dialog. The word is taken as typed, trimmed of white
// space and punctuation at both ends and cut at its first space; its letter case is kept.
//
// Made by the application for "UserWantsToDoWordAutostudy" and run modally; the maker deletes it.
// Main thread only.
#pragma once

#include "library/SourceTuple.h"
#include "reports/ui/AutostudyWindowController.h"

class QLineEdit;

class AutostudyWordWindowController : public AutostudyWindowController {
    Q_OBJECT
public:
    // Makes the dialog from a request's user info ("word", and "sourceTuple": the book the word was taken
    // from, whose language chooses the dictionaries) and runs it modally.
    static void run(const WindowEnvironment& env, const QVariantMap& userInfo, QWidget* parent = nullptr);

    static QString cleanedUp(const QString& text);
    QString word();
    void setWord(const QString& word);
    SourceTuple::Ptr sourceTuple() const { return m_sourceTuple; }

    void onPerformAutostudy() override;

private:
    AutostudyWordWindowController(
        const WindowEnvironment& env, const QString& word, const SourceTuple::Ptr& sourceTuple, QWidget* parent);

    QString m_word;
    SourceTuple::Ptr m_sourceTuple;
    QLineEdit* m_wordTextField = nullptr;
};
