// StoreManagers: the program's book-store clients (owned books, downloads, cover art, special offers),
// made by whoever runs the program (`ProgramServices`) and handed to the store windows and the File
// menu's store commands through the window's environment (`WindowEnvironment::store`). Each manager is
// made on its first use, over the application's folders and the defaults and notification centre
// given, and lives as long as this object.
//
// Main thread only.
#pragma once

#include <memory>

class NotificationCenter;
class UserDefaults;

namespace qs::cloud {

class CoverArtManager;
class DownloadBooksManager;
class MyOffersManager;
class OwnedBooksManager;

class StoreManagers {
public:
    // The managers post on `center` and read `defaults` (the configured service host, the offers'
    // clock and choices); both must outlive this object.
    StoreManagers(UserDefaults& defaults, NotificationCenter& center);
    ~StoreManagers();
    StoreManagers(const StoreManagers&) = delete;
    StoreManagers& operator=(const StoreManagers&) = delete;

    // The owned-books list, cached in the application's support folder.
    OwnedBooksManager& ownedBooks();
    // Book downloads into the application's books folder.
    DownloadBooksManager& downloads();
    // Covers, kept in the cache folder's "Cover Art".
    CoverArtManager& covers();
    // Special offers, for this version of the application.
    MyOffersManager& offers();

private:
    UserDefaults& m_defaults;
    NotificationCenter& m_center;
    std::unique_ptr<OwnedBooksManager> m_ownedBooks;
    std::unique_ptr<DownloadBooksManager> m_downloads;
    std::unique_ptr<CoverArtManager> m_covers;
    std::unique_ptr<MyOffersManager> m_offers;
};

}  // namespace qs::cloud
