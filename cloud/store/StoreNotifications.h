// The names of the notifications of the maker's store (owned books, downloads, cover art and special
// offers), posted on the default centre by the store managers. Every folder at or above the store
// spells these names through this header, never as text.
#pragma once

#include <QString>

namespace StoreNotifications {

// The list of owned books is being fetched / arrived / failed (object: the owned-books manager).
inline const QString qsOwnedBooksListStartedDownloading = QStringLiteral("qsOwnedBooksListStartedDownloading");
inline const QString qsOwnedBooksListFinishedDownloading = QStringLiteral("qsOwnedBooksListFinishedDownloading");
inline const QString qsOwnedBooksListFinishedDownloadingWithError =
    QStringLiteral("qsOwnedBooksListFinishedDownloadingWithError");
// A book download started, progressed, finished or failed (user info: the download request).
inline const QString DownloadBooksStartedDownloading = QStringLiteral("DownloadBooksStartedDownloading");
inline const QString qsDownloadBooksProgressNotification = QStringLiteral("qsDownloadBooksProgressNotification");
inline const QString qsDownloadBooksFinishedDownloading = QStringLiteral("qsDownloadBooksFinishedDownloading");
inline const QString qsDownloadBooksFinishedDownloadingWithError =
    QStringLiteral("qsDownloadBooksFinishedDownloadingWithError");
// A book's cover arrived.
inline const QString qsCoverArtFinishedDownloading = QStringLiteral("qsCoverArtFinishedDownloading");
// Special offers not seen before arrived.
inline const QString MyOffersManagerHasNewOffers = QStringLiteral("MyOffersManagerHasNewOffers");

}  // namespace StoreNotifications
