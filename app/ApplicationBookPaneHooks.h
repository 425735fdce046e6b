// ApplicationBookPaneHooks: what the application gives the book panes (BookPaneHooks): the study
// pane's colour and category menus, highlights and bookmarks (StudyPaneBookPaneHooks), and here the
// passage copier for the copy commands and for speech, the book image cache, whether a verse or
// section carries a note and the removal of a note (the user-data stores), the saving of the layouts
// and the refresh of the window's command states (the application controller).
//
// The main window makes one and hands it to every book pane it makes (BookPaneViewController::
// Environment). A pane may outlive the application controller (the layouts keep their panes): once
// the controller is gone, the commands that need it do nothing. Main thread only.
#pragma once

#include "studypane/StudyPaneBookPaneHooks.h"

#include "panes/environment/WindowEnvironment.h"

#include <QPointer>

class QuillsteadAppController;

class ApplicationBookPaneHooks : public StudyPaneBookPaneHooks {
public:
    // The copy windows are made with `environment`; the notes and highlights are its documents, and a
    // removed note is announced on its centre.
    ApplicationBookPaneHooks(QuillsteadAppController* app, const WindowEnvironment& environment);

    void copyPassage(const QVariantMap& request, bool now) override;
    QString passagePlainText(const SourceTuple::Ptr& book, bool bySection, quint32 start, quint32 end,
        const PassageOptions& options) override;
    QString patchImageSources(const QString& html, const SourceTuple::Ptr& book) override;
    QString copyImageToCache(const QString& fileName, const SourceTuple::Ptr& book) override;

    void preemptiveSaveState() override;
    void validateToolbar() override;

    // The folder of a book's extracted images.
    static QString imageCacheFolder(const SourceTuple& book);

private:
    QPointer<QuillsteadAppController> m_app;
    WindowEnvironment m_environment;
};
