// HighlightStore: the reader's verse highlights and the names of the highlight colours, as the book
// panes' context menus and the highlights sub-pane read and write them. The highlights live in the
// verse highlight document the store is made with (the profile's, from the study pane's environment;
// none: no highlight is kept), the names in its colour-name store; both stamp rows, keep
// deletions as tombstones and ask for a sync themselves.
//
// Colour values: 0 no colour (removal when applying, every colour when removing by colour), 1-140
// rows of the highlight colour table, values with bit 0x8000 text styles. Highlight writes post
// qsHighlightsHaveChangedNotification (every book pane shows them at once), name writes
// qsHighlightColorNamesHaveChangedNotification, on the centre the store was made with (none: nothing
// is posted), with the store as the sender.
//
// A small value each user makes for itself (the centre and the document must outlive it). Main thread only.
#pragma once

#include <QList>
#include <QString>

class NotificationCenter;
class cVerseHighlightDoc;

class HighlightStore {
public:
    HighlightStore(NotificationCenter* center, cVerseHighlightDoc* highlights)
        : m_center(center), m_highlights(highlights)
    {
    }

    // Colours every verse (packed keys) with the value, or removes their highlights with 0; one
    // notification (nothing for an empty list). False when a verse's change did not land (its row
    // could not be read, or the write was refused): the pages then show what the database holds.
    bool highlightVerses(const QList<quint32>& keys, quint16 color);
    // Removes every highlight in the colour (0: in every colour). False when the database refused.
    bool removeHighlightsWithColor(quint16 color);

    // The user's name for the value unless noCustomNames, else the default name.
    QString nameForColorValue(quint16 value, bool noCustomNames) const;
    static QString defaultNameForStyle(quint32 value);
    // Stores the user's name for a colour (nothing when it is the name it has; blanks and control
    // characters at both ends go).
    void renameColor(quint16 value, const QString& currentName, const QString& newName);
    // Back to the default name.
    void deleteColorName(quint16 value);

private:
    void post(const QString& name);

    NotificationCenter* m_center = nullptr;
    cVerseHighlightDoc* m_highlights = nullptr;
};
