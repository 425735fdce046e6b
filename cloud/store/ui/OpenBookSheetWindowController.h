// OpenBookSheetWindowController: the "Open Book" sheet. It lists the installed books of the library
// by kind (with covers) and asks the layout to open the chosen one in a new tab by posting
// UserWantsToOpenThisBookNotification {"pubid", "bookid", "edition", "revision"}. With "Close
// automatically" on (the "closeOpenBookOnOpen" default) it closes after a book is chosen. It follows
// the library while open: a book installed meanwhile is listed at once.
//
// The shell makes it with factory() over the main window (it deletes itself when closed) and
// connects switchToCloudLibrary / switchToBookstore to its own commands. Main thread only.
#pragma once

#include "cloud/store/ui/BookKindLists.h"
#include "cloud/store/ui/BookKinds.h"
#include "cloud/store/ui/StoreContext.h"
#include "library/SourceTupleArray.h"

#include <QDialog>
#include <memory>

class QCheckBox;

namespace qs::cloud {

class OpenBookSheetWindowController : public QDialog {
    Q_OBJECT
public:
    OpenBookSheetWindowController(const StoreContext& context, QWidget* parent = nullptr);
    ~OpenBookSheetWindowController() override;

    // A sheet over `parent` that deletes itself when closed.
    static OpenBookSheetWindowController* factory(const StoreContext& context, QWidget* parent);

    // The kinds, made once per sheet.
    const QList<BookKind>& kinds();
    // The library list of the selected kind.
    SourceTupleArray::Ptr sourcesOfSelectedKind() const;

    // Choosing a kind row: an active one becomes the selection; an inactive one leaves it as it is.
    void chooseKindRow(int row);
    // Choosing a book row: opens it, then closes the sheet when "Close automatically" is on.
    void chooseBookRow(int row);
    void onCloseAutomaticallyCheckbox();
    void closeOpenBookSheet();
    void onSwitchToCloudLibraryWindow();
    void onSwitchToBookstore();
    // Both lists again from the library (books added or covers arrived).
    void reloadTables();

signals:
    void switchToCloudLibrary();
    void switchToBookstore();

private:
    SourceTupleArray::Ptr listForInclude(int includeValue) const;
    void reloadBooks();

    StoreContext m_context;
    QList<BookKind> m_kinds;
    bool m_closed = false;
    std::unique_ptr<BookKindLists> m_lists;
    QCheckBox* m_closeAutomatically = nullptr;
};

}  // namespace qs::cloud
