// The way out of the study pane's text fields (Go To, the look-up, Find and the other search
// fields), its lists (Find's results, the bookmarks, the highlights, the recent verses, the
// navigator's places) and its pop-ups (the bookmarks' categories, the highlights' colours): Escape
// gives the keys to the page of the current book pane, as it does from the note editor. A field
// whose pane shows no page keeps the key (its own use of it, if any).
//
// A child of the study pane's view; it watches the application's key events for as long as it lives
// (the sub-panes' fields are made and dropped as their tabs are chosen). Main thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class LayoutManager;

class StudyPaneFieldKeys : public QObject {
public:
    // `pane`: the study pane's view, which holds the fields; `manager` tells the current book pane.
    StudyPaneFieldKeys(QWidget* pane, LayoutManager* manager);
    ~StudyPaneFieldKeys() override;

private:
    bool eventFilter(QObject* watched, QEvent* event) override;

    QPointer<QWidget> m_pane;
    LayoutManager* m_manager;
};
