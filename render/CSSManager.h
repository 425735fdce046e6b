// CSSManager: the style sheets of every web view that shows book markup: book pages, the cells of
// the study pane's result lists and the note viewer and editor.
//
// Each sheet is made from fixed template text whose placeholders ("%@!NAME!@%") are replaced by the
// display settings read from the user defaults it is made with at every call, so a change of the
// display settings shows in the next sheet. The class names styled are the ones the block renderer and the
// inline markers write (_stheb, _stgrk, _woc, _search, _temphl, the _interlinear tables,
// _inlinewordattribute, footnote, footnotetoggle, devoread, devounread and the highlight classes).
//
// A manager holds nothing but its defaults, which must outlive it: whoever needs a sheet makes one
// over the defaults of its window. Building a sheet touches no shared state besides the settings
// store (itself thread-safe); callers use it on the main thread.

#pragma once

#include <QSet>
#include <QString>

class UserDefaults;

class CSSManager {
public:
    explicit CSSManager(const UserDefaults& defaults) : m_defaults(defaults) { }

    // Book pages: the base template, then the highlight template and the highlight-style rules, and
    // a paragraph's space above it rather than below.
    QString cssForBookView() const;
    // Result-list cells: the same templates, filled for small cells.
    QString cssForSearchResultsView() const;
    // Note viewer and editor: the base template and the rule for found words (span._search).
    QString cssForNoteViewEdit() const;

    // `base` moved along the font-size ladder by (relativeSize - 3) steps (relative sizes below 2
    // count as 1); relative size 3, or a base above 299, gives the base.
    static int getFontHeightRelativeToBase(int base, int relativeSize);

    // A font family as a CSS string: quoted, with every character outside letters, digits, space,
    // '-', '_' and '.' written as a six-digit hex escape, so no family name can end the string, the
    // declaration or the rule, or look like a template placeholder. NUL and lone surrogates become
    // U+FFFD. An empty family is the generic "serif".
    static QString cssFontFamily(const QString& family);

    // The unfilled templates (one line of CSS each).
    static QString baseTemplate();
    static QString highlightTemplate();
    // Rules for the bold and italic highlight styles, which the highlight template lacks; they
    // follow it in every sheet that has it.
    static QString highlightStyleRules();
    // The colours of what a highlight holds as the page shows them: its text colour, the words of
    // Christ's colour (empty when they are not set apart), links, Strong's numbers and found words.
    struct PageInks {
        QString text, wordsOfChrist, link, strongs, search;
    };
    // Rules for every other colour of the highlight colour table (or those named in `only`), which
    // follow the rules above: each paints its own background with text by contrast, and gives the
    // words of Christ, links, Strong's numbers and found words a colour of their own where theirs on
    // the page would not read on it. Book pages have them all.
    static QString highlightColorRules(const PageInks& inks, const QSet<QString>* only = nullptr);
    // Those of the rules above whose colours the markup names in a class attribute, filled with the
    // display settings: a result-list cell carries one or two, and a text document reads a long
    // style sheet slowly, so result lists add these to their sheet per cell.
    QString highlightColorRulesFor(const QString& html) const;

private:
    enum class Sheet { BookView, SearchResults, NoteView };

    QString buildSheet(Sheet sheet) const;
    QString colorRules(const QSet<QString>* only) const;

    const UserDefaults& m_defaults;
};
