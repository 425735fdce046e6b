#include "app/ProgramParts.h"

#include "app/DatabaseErrorAlerts.h"
#include "app/DayChangeWatcher.h"
#include "platform/SettingsKeys.h"

#include "cloud/store/StoreManagers.h"
#include "cloud/sync/SyncManager.h"

#include "documents/StartupHooks.h"
#include "documents/cBookUserData.h"
#include "engine/references/cBibleRef.h"
#include "library/EngineStrings.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "panes/bookpane/SpeechSynthesizer.h"
#include "panes/environment/WindowEnvironment.h"
#include "panes/layout/LayoutManager.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "render/HTMLEntities.h"
#include "reports/AutoStudyManager.h"
#include "search/execution/SearchHooks.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cSQLiteDbBase.h"
#include "userdata/cVerseHighlightDoc.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>

#include <algorithm>

namespace {

Q_LOGGING_CATEGORY(lcEngineTrace, "qs.engine.trace", QtInfoMsg)

// The find proximity of Bible documents follows the user default as it is now.
class FindProximityFromDefaults final : public cFindProximitySetting {
public:
    explicit FindProximityFromDefaults(const UserDefaults& defaults) : m_defaults(defaults) { }
    std::uint32_t findProximity() const override
    {
        const qint64 value = m_defaults.value(SettingsKeys::FindProximity);
        return static_cast<std::uint32_t>(std::clamp<qint64>(value, 0, 0xFFFF));
    }

private:
    const UserDefaults& m_defaults;
};

// Named character references of typed references and book information texts: the renderer's table.
class ReferenceEntities final : public cBibleRefEntityLookup {
public:
    std::uint32_t entity(const char* name, std::size_t length) const override
    {
        return name != nullptr ? entityCharacter(std::string_view(name, length)) : 0;
    }
};

class BookInfoEntities final : public cBkInfoEntityLookup {
public:
    uint32_t entity(const std::string& name) const override { return entityCharacter(name); }
};

// A qs_sync element's Bible key spelled for the book's translation and language.
class ReferenceFormatter final : public cBkReferenceFormatter {
public:
    bool formatReference(uint32_t key, int32_t translation, int32_t language, std::string& out) const override
    {
        cBibleRef ref;
        ref.setLanguage(language);
        if (translation > 0 && !ref.setTranslation(translation))
            return false;
        ref.setFromKey(key);
        ref.formatSpelling(kSpellUTF8);
        const char* text = ref.spellingText();
        if (text == nullptr || *text == '\0')
            return false;
        out = text;
        return true;
    }
};

// The engine's traces, as debug lines of the log (shown when the category is turned on, e.g.
// QT_LOGGING_RULES="qs.engine.trace.debug=true").
class EngineTraces final : public cEngineTraceLog {
public:
    void trace(const char* line) override { qCDebug(lcEngineTrace).noquote() << QString::fromUtf8(line); }
};

}  // namespace

void installProgramParts(const QString& dataFolder, const WindowEnvironment& environment)
{
    // The engine builds the database and cache paths from its data folder, which ends in "/".
    QDir().mkpath(dataFolder);
    QString folder = dataFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    cSQLiteDbBase::setEngineDataFolder(EngineStrings::utf16(folder));
    cSQLiteDbBase::setWindowThread();

    StartupHooks hooks;
    hooks.findProximity = std::make_shared<FindProximityFromDefaults>(environment.settings());
    hooks.referenceEntities = std::make_shared<ReferenceEntities>();
    hooks.bookInfoEntities = std::make_shared<BookInfoEntities>();
    hooks.referenceFormatter = std::make_shared<ReferenceFormatter>();
    auto databaseErrors = std::make_shared<DatabaseErrorAlerts>(environment.alert());
    // A database kept elsewhere through a link that leads nowhere now is refused by every store; the
    // user hears why once, at start.
    const QByteArray database = QFile::encodeName(folder + QString::fromUtf8(cSQLiteDbBase::kDatabaseFileName));
    if (const std::string problem = cSQLiteDbBase::linkProblem(database.toStdString()); !problem.empty())
        databaseErrors->refusedLink(QString::fromStdString(problem));
    hooks.databaseErrors = databaseErrors;
    // Kept for the whole process: documents close, and trace, during exit.
    static EngineTraces* const traces = new EngineTraces();
    hooks.engineTraces = std::shared_ptr<cEngineTraceLog>(traces, [](cEngineTraceLog*) {});
    installStartupHooks(hooks);
    // Highlights and note links in rendered verses, and the note document of the documents.
    cBookUserData::install();
    // Search hits in rendered sections, multi-book result lines, the user-data search cache.
    installSearchHooks();
}

ProgramServices::ProgramServices()
    : m_layouts(std::make_unique<LayoutManager>(NotificationCenter::defaultCenter())),
      m_speech(std::make_unique<SharedSpeechSynthesizer>()),
      m_store(std::make_unique<qs::cloud::StoreManagers>(
          UserDefaults::standardUserDefaults(), NotificationCenter::defaultCenter())),
      m_days(std::make_unique<DayChangeWatcher>(NotificationCenter::defaultCenter()))
{
}

ProgramServices::~ProgramServices() = default;

WindowEnvironment ProgramServices::environment() const
{
    WindowEnvironment env;
    env.setNotifications(&NotificationCenter::defaultCenter());
    env.setSettings(&UserDefaults::standardUserDefaults());
    env.setAlert(&Alerts::shared());
    env.setLayoutManager(m_layouts.get());
    env.setBooks(&SourceManager::singleton());
    env.setUserDocuments(noteDocInstance, cVerseHighlightDoc::verseHighlightDocInstance);
    env.sync = &qs::cloud::SyncManager::instance();
    env.speech = m_speech.get();
    env.store = m_store.get();
    env.setAutoStudy([this]() -> AutoStudyManager& {
        if (!m_autoStudy)
            m_autoStudy = AutoStudyManager::create(NotificationCenter::defaultCenter(), SourceManager::singleton(),
                UserDefaults::standardUserDefaults(), noteDocInstance());
        return *m_autoStudy;
    });
    return env;
}
