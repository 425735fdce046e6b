// ContentTextDocument: the text document for rich text built from book or user content (cells of the
// notes and search lists, About This Book). Qt's documents load what an <img src>, a <table
// background> or a style sheet's url() names from any local path (even when only the plain text is
// asked for); this one loads nothing but data: and qrc: resources, so no book or synced note can make
// the reader read a file, however large, or wait on a pipe. plainText() reads such HTML as text the
// same way; plainToolTip() is the form of such text for a tool tip: shown as written, never as
// rich text. Main thread only, like every text document that draws.
#pragma once

#include <QTextDocument>

class ContentTextDocument : public QTextDocument {
public:
    explicit ContentTextDocument(QObject* parent = nullptr);

    // Whether a resource of that address may be loaded: data: and qrc: only.
    static bool isLoadableResource(const QUrl& name);
    // The plain text of book or user HTML, read with no resource loaded.
    static QString plainText(const QString& html);
    // A tool tip that shows the text as written (Qt would draw text that looks like markup as rich
    // text).
    static QString plainToolTip(const QString& text);

protected:
    QVariant loadResource(int type, const QUrl& name) override;
};
