#include "cloud/store/StoreManagers.h"

#include "cloud/store/CoverArtManager.h"
#include "cloud/store/DownloadBooksManager.h"
#include "cloud/store/MyOffersManager.h"
#include "cloud/store/OwnedBooksManager.h"
#include "platform/AppFolders.h"
#include "platform/AppVersion.h"
#include "platform/MainThread.h"

#include <QDir>
#include <QUrl>

namespace qs::cloud {

StoreManagers::StoreManagers(UserDefaults& defaults, NotificationCenter& center)
    : m_defaults(defaults), m_center(center)
{
}

StoreManagers::~StoreManagers() = default;

OwnedBooksManager& StoreManagers::ownedBooks()
{
    QS_ASSERT_MAIN_THREAD();
    if (!m_ownedBooks)
        m_ownedBooks =
            std::make_unique<OwnedBooksManager>(OwnedBooksManager::defaultCacheFileName(), m_center, m_defaults);
    return *m_ownedBooks;
}

DownloadBooksManager& StoreManagers::downloads()
{
    QS_ASSERT_MAIN_THREAD();
    if (!m_downloads)
        m_downloads = std::make_unique<DownloadBooksManager>(AppFolders::booksDirectory(), m_center, m_defaults);
    return *m_downloads;
}

CoverArtManager& StoreManagers::covers()
{
    QS_ASSERT_MAIN_THREAD();
    if (!m_covers)
        m_covers = std::make_unique<CoverArtManager>(
            QDir(AppFolders::cacheDirectory()).filePath(QStringLiteral("Cover Art")), m_center, m_defaults);
    return *m_covers;
}

MyOffersManager& StoreManagers::offers()
{
    QS_ASSERT_MAIN_THREAD();
    if (!m_offers)
        m_offers = std::make_unique<MyOffersManager>(m_defaults, m_center, QUrl(), AppVersion::version());
    return *m_offers;
}

}  // namespace qs::cloud
