// The links of the note viewer's page: a followed link becomes a go-to request of the layout, and a
// pointer resting on a link shows, after a short delay, a preview of its target (the verse text of a
// Bible reference) under the link, when the user's "versePopovers" default allows it. Any later
// movement or the page's own request hides it.
//
// Owned by the note sub-pane (StudyPaneNoteViewEditViewController), which hands it the widget the
// preview belongs to and the page area the link positions are measured in. Main thread only.
#pragma once

#include "studypane/StudyPaneEnvironment.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>

class QWidget;

class StudyPaneNoteLinks : public QObject {
    Q_OBJECT
public:
    static constexpr int kLinkPreviewDelayMs = 500;

    // `sender` is the object the go-to requests are posted from.
    StudyPaneNoteLinks(StudyPaneEnvironment env, const void* sender, QObject* parent);
    ~StudyPaneNoteLinks() override;

    // The widget a preview belongs to and the page area the link rectangles are measured in.
    void setPlace(QWidget* owner, QWidget* pages);

    // Follows a link of the page (its href as the page escaped it) in the layout.
    void follow(const QString& escapedHref, const QString& layoutUuid);
    // The pointer rests on a link at that rectangle of the page: its preview shows after the delay.
    void showPreview(const QString& escapedHref, int left, int top, int width, int height);
    void hidePreview();
    // A link was clicked in an editor, which follows none: the user is told how to follow it (once
    // the page's call has returned), unless they asked not to be told again.
    void clickedInEditor();
    bool isPreviewPending() const { return m_timer.isActive(); }
    QWidget* preview() const { return m_preview; }

private:
    void showPreviewNow();

    StudyPaneEnvironment m_env;
    const void* m_sender;
    QPointer<QWidget> m_owner;
    QPointer<QWidget> m_pages;
    QTimer m_timer;
    QVariantMap m_pending;  // the link waiting for its preview
    QPointer<QWidget> m_preview;
};
