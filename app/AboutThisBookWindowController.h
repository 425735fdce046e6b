// AboutThisBookWindowController: the modal window that shows a book's description (its title,
// citation, copyright, identity and kind) as a page in the user's body font and size, with a button
// that copies the book's bibliographic citation.
//
// The page is the book's own text, shown in a rich-text browser: no scripts run, links are not
// followed and nothing is fetched from elsewhere.
// Made and run by runWithSourceTuple; the window holds the book until it is closed. Main thread only.
#pragma once

#include <QDialog>

#include <memory>

class SourceTuple;
class UserDefaults;

class AboutThisBookWindowController : public QDialog {
    Q_OBJECT
public:
    // The page's font comes from `defaults`.
    AboutThisBookWindowController(
        std::shared_ptr<SourceTuple> book, const UserDefaults& defaults, QWidget* parent = nullptr);
    ~AboutThisBookWindowController() override;

    // Makes the window for the book and runs it modally until it is closed.
    static void runWithSourceTuple(
        const std::shared_ptr<SourceTuple>& book, const UserDefaults& defaults, QWidget* parent = nullptr);

    // The page as loaded: the description in "baseFontSize" points of "bodyFont", 3-pixel margins.
    static QString pageHtml(SourceTuple& book, const UserDefaults& defaults);

    void onCopyBibliography();
    void onClose();

private:
    std::shared_ptr<SourceTuple> m_book;
};
