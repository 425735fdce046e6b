// AutostudyResultsWindowController: shows one finished autostudy report (an HTML file in the cache's
// "Autostudy" folder) and lets the user print it, save a copy, or go back to the dialog that made it
// with the same input. The report file belongs to the window: closing the window deletes it.
//
// What is saved or printed is read outside the reader: there the report's references to places in
// books are text, not links (OutputFile::withReaderLinksAsText).
//
// The report is shown in a QWebEngineView rather than a QTextBrowser: the report carries the block
// renderer's passage markup (floated interlinear tables, word-attribute spans, images from the book
// cache) and a style sheet that QTextBrowser's HTML subset would mangle. The view runs in its own
// off-the-record profile, with no book bridge and with scripts switched off, since the passages come
// from books and the notes from sync, and are not trusted. It loads the report file and nothing else
// but data: URLs (the passage images travel inside the report): no local file or address that a
// book or note names is read or fetched. A click on a link to a Bible passage (a commentary's
// reference) shows the passage in the main window's current layout.
//
// Escape closes the window and Ctrl+S saves a copy (Save As...), wherever the keys are in it.
//
// The window keeps its frame in the environment's defaults, reports failures through its alerts and
// asks for the dialog again on its centre. Each window owns itself (deleted on close); several may be
// open. Main thread only.
#pragma once

#include "panes/environment/WindowEnvironment.h"

#include <QPointer>
#include <QPrinter>
#include <QVariantMap>
#include <QWidget>

#include <functional>
#include <memory>

class QPageLayout;
class QPageRanges;
class QWebEngineProfile;
class QWebEngineView;

class AutostudyResultsWindowController : public QWidget {
    Q_OBJECT
public:
    // Opens a window on the report file. `userInfo` is the originating dialog's input, with
    // "windowTitle" and "saveAsHint".
    static AutostudyResultsWindowController* runWithFile(const WindowEnvironment& env, const QString& filename,
        const QString& notificationName, const QVariantMap& userInfo);

    ~AutostudyResultsWindowController() override;

    QString filename() const { return m_filename; }
    // "Quillstead Autostudy <hint>.<extension>", ":" and "/" in the hint made "_".
    QString suggestedSaveName() const;
    // Copies the report to `path`, replacing a file there; an alert tells why when it fails.
    bool saveCopyTo(const QString& path);
    // Prints the report into a PDF file as the web engine lays it out for paper: text and vector
    // pages. printedToFile tells when the file is written (or why not, by an alert).
    void printToPdfFile(const QString& path, const QPageLayout& layout, const QPageRanges& ranges);

    // The resolution the report's pages are printed at on a printer (never more).
    static constexpr int kPrintDotsPerInch = 300;

signals:
    void printedToFile(const QString& path, bool ok);

public slots:
    void onClose();
    // The print dialog; a PDF file chosen there is written by printToPdfFile, a printer gets the pages.
    void onPrint();
    void onSave();
    void onChangeOptions();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AutostudyResultsWindowController(const WindowEnvironment& env, const QString& filename,
        const QString& notificationName, const QVariantMap& userInfo);

    void reportPrintFailure(const QString& why);
    // Hands `then` the hidden view of the printable copy once it has loaded (null when it cannot be
    // made or loaded).
    void withPrintableView(const std::function<void(QWebEngineView*)>& then);
    void printViewToPdfFile(
        QWebEngineView* view, const QString& path, const QPageLayout& layout, const QPageRanges& ranges);

    WindowEnvironment m_env;
    QString m_filename;
    QString m_notificationName;
    QVariantMap m_userInfo;
    QWebEngineProfile* m_profile = nullptr;
    QWebEngineView* m_view = nullptr;
    // The report with its references as text, which is what is printed (made on the first print).
    QString m_printFilename;
    QPointer<QWebEngineView> m_printView;
    bool m_printViewReady = false;
    bool m_closing = false;
    std::unique_ptr<QPrinter> m_printer;  // while a printout runs
};
