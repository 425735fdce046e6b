// Shared set-up of the sub-pane tests: the study pane screen of the study pane tests, the compiled
// sample library in a private books folder, the user-data database in a private folder, the
// highlight marks of rendered verses, recorded alerts, and prompts and toasts answered by the test.
#pragma once

#include "StudyPaneTestSupport.h"
#include "documents/cBookUserData.h"
#include "library/EngineStrings.h"
#include "library/GoToRequest.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "search/execution/SearchHooks.h"
#include "studypane/StudyPaneBookmarksViewController.h"
#include "studypane/StudyPaneSubpanes.h"
#include "support/RecordingAlerts.h"
#include "tools/tvkbuild/cTvkBookBuilder.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cSQLiteDbBase.h"
#include "userdata/cVerseHighlightDoc.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

namespace SubpaneTest {

using namespace StudyPaneTest;

inline const QString kLib = QStringLiteral(QS_BINARY_DIR "/library/");

constexpr quint32 key(quint32 book, quint32 chapter, quint32 verse)
{
    return (book << 16) | (chapter << 8) | verse;
}

// One library and one database folder for the whole test program.
struct World {
    QTemporaryDir folder;
    SourceManager* library = nullptr;
    SourceTuple::Ptr kjv, web, scofield, treasury, nave, devotional, plan, greek, help;
    // The profile's note and highlight documents (the ones the renderer marks from), which the
    // sub-panes are handed as the program hands them.
    cNoteDoc* notes = nullptr;
    cVerseHighlightDoc* highlights = nullptr;

    World()
    {
        ensureApplication();
        const QString data = folder.filePath(QStringLiteral("data/"));
        QDir().mkpath(data);
        cSQLiteDbBase::setEngineDataFolder(EngineStrings::utf16(data));
        cBookUserData::install();
        installSearchHooks();
        notes = noteDocInstance();
        highlights = cVerseHighlightDoc::verseHighlightDocInstance();
        if (!QFile::exists(kLib + QStringLiteral("KJV.tvk")))
            return;
        const QString books = folder.filePath(QStringLiteral("books"));
        QDir().mkpath(books);
        for (const char* name : {"KJV.tvk", "WEB.tvk", "Scofield.tvk", "TreasuryOfDavid.tvk", "Nave.tvk",
                 "DailyReadings.tvk", "StrongsGreek.tvk"})
            QFile::link(kLib + QLatin1String(name), QDir(books).filePath(QLatin1String(name)));
        QFile::link(
            QStringLiteral(QS_BINARY_DIR "/books/MXHelp.tvk"), QDir(books).filePath(QStringLiteral("MXHelp.tvk")));
        // A plan of 120 numbered readings, counted from the start date the user chooses.
        cTvkBookBuilder numbered;
        numbered.kind = cTvkBookBuilder::Kind::Dated;
        numbered.info.bookName = "Reading Plan";
        numbered.info.abbreviatedTitle = "PLAN";
        numbered.info.publisherId = 9;
        numbered.info.bookId = 940;
        std::vector<std::uint32_t> readings;
        for (int i = 1; i <= 120; ++i)
            readings.push_back(
                numbered.addSection({"Day " + std::to_string(i), 1, "Plan reading " + std::to_string(i), 0}));
        numbered.setReadings(readings, 1, 1);
        numbered.writeFile(QDir(books).filePath(QStringLiteral("ReadingPlan.tvk")).toStdString(), nullptr);
        SourceManager::Folders folders;
        folders.books = books;
        folders.cache = folder.filePath(QStringLiteral("cache"));
        folders.refused = folder.filePath(QStringLiteral("refused"));
        QDir().mkpath(folders.cache);
        library = new SourceManager(folders);
        const auto all = library->allSources();
        kjv = all->tupleForPubID(1, 101);
        scofield = all->tupleForPubID(1, 110);
        for (qint64 i = 0; i < all->count(); ++i) {
            const SourceTuple::Ptr t = all->tupleAtIndex(i);
            const QString name = t->record().name;
            if (t->isABible() && t != kjv && t->record().abbr == QStringLiteral("WEB"))
                web = t;
            else if (t->record().syncType == 3 && name.contains(QStringLiteral("Plan")))
                plan = t;
            else if (t->record().syncType == 3)
                devotional = t;
            else if (name.contains(QStringLiteral("Treasury")))
                treasury = t;
            else if (name.contains(QStringLiteral("Nave")))
                nave = t;
            else if (name.contains(QStringLiteral("Greek")))
                greek = t;
            else if (t->record().syncType == 0 && !t->isABible())
                help = t;
        }
    }
};

inline World& world()
{
    static World* w = new World;  // kept to the end of the process, like the application
    return *w;
}

// A study pane over the sample library, the sub-panes registered, an environment whose services
// post on the screen's centre, whose alerts are recorded, whose prompts are answered from a queue
// and whose dialogs are answered by `dialogAnswer` (rejected when it is empty).
class SubpaneFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (world().library == nullptr || !world().kjv)
            GTEST_SKIP() << "the sample library is not built";
        screen = std::make_unique<Screen>();
        alerts = std::make_shared<RecordingAlerts>();
        env = screen->environment();
        StudyPaneSubpanes::addFactories(env);
        env.library = world().library;
        env.notes = world().notes;
        env.highlights = world().highlights;
        env.activeBook = [this] { return activeBook; };
        env.alerts = alerts.get();
        env.textPrompt = [this](const QVariantMap& options) -> std::optional<QString> {
            prompts.append(options);
            if (answers.isEmpty())
                return std::nullopt;
            return answers.takeFirst();
        };
        env.toast = [this](const QString& m) { toasts.append(m); };
        env.runDialog = [this](QDialog& dialog) { return dialogAnswer ? dialogAnswer(dialog) : 0; };
    }

    StudyPaneViewController* makePane(const SourceTuple::Ptr& active)
    {
        activeBook = active;
        pane = screen->install(env);
        pane->paneView()->resize(320, 600);
        return pane;
    }

    // Saves a picture of the pane into the build's screenshot folder.
    void screenshot(const QString& name)
    {
        QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
        QWidget* view = pane->paneView();
        view->show();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        view->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/") + name);
    }

    std::unique_ptr<Screen> screen;
    StudyPaneEnvironment env;
    SourceTuple::Ptr activeBook;
    StudyPaneViewController* pane = nullptr;
    std::shared_ptr<RecordingAlerts> alerts;
    std::function<int(QDialog&)> dialogAnswer;
    QList<QVariantMap> prompts;
    QStringList answers;
    QStringList toasts;
};

}  // namespace SubpaneTest
