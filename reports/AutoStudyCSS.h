// AutoStudyCSS: the style sheet every autostudy report carries in its page head. The default is built
// from fixed rules and the bundled rules for the report's classes (":/reports/AutoStudyCSS.plist");
// the user's edited copy, "<private data>/Autostudy/autostudy.css", replaces it while it exists.
// Every report reads the user copy afresh (`cssString`), so an edit applies at once.
// Owned by the autostudy manager; main thread.
#pragma once

#include <QString>
#include <QVariantMap>

class AutoStudyCSS {
public:
    AutoStudyCSS();

    static QString userCopyPath();

    void loadDictionary();
    void loadString();
    QString defaultCSSString() const;
    QString cssString();

    // The editor's side.
    QString cssEditorContents() { return cssString(); }
    // False with what failed in `why` when the edited sheet could not be written; the caller tells
    // the user (the editor, through its window's alerts).
    bool saveCSSEditorContents(const QString& text, QString& why);
    // The message of a failed save ("why" is its informative text).
    static QString saveFailedMessage();
    void revertToDefaultCssEditorContents() { reset(); }
    void reset();

    const QVariantMap& dictionary() const { return m_dictionary; }
    QString string() const { return m_string; }

private:
    bool writeCssToFile(QString& why);

    QVariantMap m_dictionary;
    QString m_string;
};
