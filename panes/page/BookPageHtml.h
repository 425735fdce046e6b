// BookPageHtml: the texts of a book page and the small conversions the page and the pane share:
// the page frame around the blocks (header with style sheet, page globals and page script; the
// "Loading..." markers; footer), the invalid-location and empty-pane pages, the daily-reading
// header, the parsing of the page's element ids, the undoing of the renderer's link escapes, and
// script calls with JSON-encoded arguments.
//
// Book pages run only the page script: the header carries a security policy whose nonce only the
// page script's elements have, so neither scripts nor event handlers nor script URLs of book content
// run. Book content never stands in the page's markup: the first block travels as a script string
// that the page script makes inert before it joins the page, so no content can close the frame's
// elements, precede them, or name the script's objects before the script holds them. The page
// script reaches the reader only through the bridge address given in the frame, which carries a
// secret of the page; images and styles may come only from the page's own host. Pure functions;
// any thread.
#pragma once

#include <QJsonArray>
#include <QString>
#include <QStringList>

class BookPageHtml {
public:
    // What the header needs besides the style sheet and the script.
    struct Frame {
        QString css;         // the book-view style sheet
        QString identity;    // "publisher:book:edition:revision"
        quint64 serial = 0;  // the page's serial number
        QString script;      // the page script; empty leaves it out
        QString nonce;       // the security policy's script nonce
        QString bridgeBase;  // the page's bridge address, secret included (BookPageScheme::bridgeBase)
        QString frameKey;    // marks the reader's own elements among the blocks (reading headers)
    };

    static QString nonScrollingHtmlHeader(const Frame& frame);
    static QString nonScrollingHtmlFooter();
    static QString htmlHeader(const Frame& frame);
    // A book page: header, markers, footer, and the script call that puts the blocks from `first` on
    // (their HTML in order) between the markers and brings the element `target` (offset pixels into
    // it; empty: the page's top) to the top of the view before the page first paints.
    static QString bookPage(
        const Frame& frame, qint64 first, const QStringList& blocksHtml, const QString& target, qint64 offset);
    static QString invalidLocationPage(const Frame& frame, const QString& description);
    static QString emptyPanePage(const Frame& frame);
    // The header of a daily reading, put before its first block; its id carries the page's frame key
    // ("_reading" number "_" key), which content cannot know.
    static QString readingHeader(quint32 reading, bool complete, const QString& dateText, const QString& frameKey);

    // The Bible key of the first "_s" book.chapter.verse in the text (missing parts 0).
    static quint32 bibleKeyFromDataVerseSpan(const QString& text);
    // "_s" book "." chapter "." verse of a Bible key.
    static QString verseAnchor(quint32 key);

    // The renderer's link escapes ("@@bs@@", "@@apos@@", ...) undone, in the reader's order.
    static QString unescapeLinkText(const QString& text);

    // name(arg, ...) with every argument written as JSON.
    static QString scriptCall(const QString& name, const QJsonArray& arguments);

    // The book page's script (Utilities.js, then Render.js), read from the program's resources;
    // empty when it cannot be read.
    static QString pageScript();
    // A page script of the program's resources (":/notes/NoteEditor.js") after the bridge to the
    // reader that every page script talks through (qsSend); empty when either cannot be read.
    static QString scriptWithBridge(const QString& resource);
    // The same for a script made of several resources, joined in the order given; empty when any
    // of them cannot be read.
    static QString scriptWithBridge(const QStringList& resources);
    // A fresh random nonce for a page's security policy.
    static QString newNonce();
    // A fresh random key of 32 hexadecimal digits (bridge secrets, frame keys).
    static QString newKey();
    // Text as a JavaScript string literal that may stand inside a script element.
    static QString scriptString(const QString& text);
};
