// StoreCommands: the store's commands of the File menu: Open Book... (the Open Book sheet), Cloud
// Library... (the sheet of the books the account owns), My Special Offers... (the store on the
// customer's offers), and the Bookstore the sheets switch to. Each opens over the main window, and
// each window hands over to the others. Cloud Library, the Bookstore and the offers need an account:
// signed out, each says so and opens the Customer ID page of the settings instead. It registers the
// commands in the main window's ActionRegistry with their places and states.
//
// Owned by the application controller, which owns the settings window: it hands in the window the
// sheets open over and how the Customer ID page is shown, so this class calls nothing above it. Main
// thread only.
#pragma once

#include "panes/environment/WindowEnvironment.h"

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

class StoreCommands : public QObject {
    Q_OBJECT
public:
    // `parentWindow`: the main window the sheets and the store open over; `showCustomerIdPage`: opens the
    // settings on the Customer ID page.
    StoreCommands(const WindowEnvironment& environment, std::function<QWidget*()> parentWindow,
        std::function<void()> showCustomerIdPage);

    // The library is checked for books added or removed outside the reader first.
    void openBook();
    void cloudLibrary();
    void bookstore();
    void myOffers();

private:
    // Signed out: says that `what` needs an account and opens the Customer ID page; true then.
    bool explainSignInNeeded(const QString& what);
    void openStore(const QString& productId);

    WindowEnvironment m_environment;
    std::function<QWidget*()> m_parentWindow;
    std::function<void()> m_showCustomerIdPage;
};
