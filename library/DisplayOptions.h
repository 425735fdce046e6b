// DisplayOptions: how a book's blocks are rendered, one field for each choice the renderer reads.
// The defaults are the renderer's own behaviour; a caller sets only what it changes. PassageOptions
// adds what a copy of a passage reads.
//
// The reader's page makes its options from the display settings with fromSettings, once for each
// page it builds (as it makes the page's style sheet), and adds what belongs to one book and pane:
// the pane's width, the linked passage to highlight and the search hits. Copies, reports, previews
// and speech fill in their own fixed choices. SourceTuple::htmlTextForBlock turns the options into
// the renderer's configuration.
//
// A value type; it may be copied to any thread (the search results it shares are read-only).
#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

class RenderSearchResults;
class UserDefaults;

struct DisplayOptions {
    // How a Bible shows the user's highlights ("highlightStyle": Show, Verse, Hide).
    enum class HighlightStyle : int { Show = 0, Verse = 1, Hide = 2 };

    // --- what the display settings choose (fromSettings) ---
    bool oneVersePerParagraph = false;  // "oneVersePerParagraph"
    bool hideVerseNumbers = false;      // "hideVerseNumbers"
    // "showMsgVerses": a Bible that asks for no verse numbers (a paraphrase) shows them anyway.
    bool showVerseNumbersBooksHide = false;
    HighlightStyle highlightStyle = HighlightStyle::Show;
    bool omitStrongsNumbers = false;    // the inverse of "strongsNumbers"
    bool omitUserNoteLinks = false;     // "hideNoteLinks"
    bool enableTempHighlights = false;  // "highlightLinkedPassage"

    // --- what a caller adds for one rendering ---
    bool omitFootnotes = false;
    // Strong's numbers written as <strongsTag attributes>G26</strongsTag>; an empty tag keeps the
    // renderer's links.
    QString strongsTag;
    QString strongsGreekTagAttributes;
    QString strongsHebrewTagAttributes;
    float paneWidth = 0;  // text width in points that pictures are sized for; 0: unknown
    // The linked passage a Bible highlights for a while (sections; 0: none).
    quint32 tempHighlightStartSection = 0;
    quint32 tempHighlightEndSection = 0;
    // Search hits to mark; highlightHits marks them.
    std::shared_ptr<RenderSearchResults> search;
    bool highlightHits = false;
    // The publisher's logo of older books is shown as the reader's own picture of it.
    bool replaceOldLogo = false;
    static inline const QString kOldLogoName = QStringLiteral("logo100x24.bmp");
    static inline const QString kLogoReplacementName = QStringLiteral("Tavrosen Logo.png");

    // The options the display settings choose; every other field keeps its default.
    static DisplayOptions fromSettings(const UserDefaults& settings);
};

// What the passage copier (copies, reports, speech, link previews) reads besides how the blocks are
// rendered: the decoration of verse numbers, the reference it puts into the HTML and the markup
// around each block.
struct PassageOptions {
    DisplayOptions display;
    // Verse-number decoration styles of the HTML and the plain text (CopyPassageCopier's
    // verseNumberDecoration: 1 to 3 decorated, 4 no numbers, anything else bare).
    int richVerseDelimiters = 0;
    int plainVerseDelimiters = 0;
    // The reference in the HTML: 2 before the passage, 4 after it, anything else none. It is
    // referenceFormat with "%@" replaced by reference.
    int referenceLocation = 0;
    QString referenceFormat;
    QString reference;
    // Written around each block of a Bible passage (a report's markup); empty: none.
    QString blockOpenTag;
    QString blockCloseTag;
};
