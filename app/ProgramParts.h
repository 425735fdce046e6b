// The program's parts, brought up once at start-up in one place: the engine's data folder, then every
// hook a lower layer waits for (documents/StartupHooks.h), filled from the parts that answer them:
// the search code, the user's highlights and notes, the Bible-reference spellings, the renderer's
// entity table, the find-proximity setting and the database error alerts. Runs before any book is
// read or any search thread starts. Main thread only.
#pragma once

#include <QString>

#include <memory>

struct WindowEnvironment;

// `dataFolder` is the private data folder (the database lives there). The hooks keep the settings
// and alerts of `environment`, which must outlive them.
void installProgramParts(const QString& dataFolder, const WindowEnvironment& environment);

class AutoStudyManager;
class DayChangeWatcher;
namespace qs::cloud {
class StoreManagers;
}
class LayoutManager;
class SharedSpeechSynthesizer;

// The objects the program makes for its main window, made once by whoever runs the program (main, a
// test program) before the first window and kept until the window and its layouts are gone: the
// layout manager (posting on the program's centre), the speech synthesizer, the book-store clients
// and the autostudy manager (made on first use, since it checks its books against the loaded
// library; the application makes it at start-up, once the library is loaded, so that its lists follow
// every book the library adds or removes). `environment()` is
// the environment of the main window: these with the program's shared centre, defaults, alerts,
// library, sync engine and note and highlight documents (the window adds its commands once it has
// made them). The one place in
// the interface that names the process-wide objects.
class ProgramServices {
public:
    ProgramServices();
    ~ProgramServices();
    ProgramServices(const ProgramServices&) = delete;
    ProgramServices& operator=(const ProgramServices&) = delete;

    WindowEnvironment environment() const;

private:
    std::unique_ptr<LayoutManager> m_layouts;
    std::unique_ptr<SharedSpeechSynthesizer> m_speech;
    std::unique_ptr<qs::cloud::StoreManagers> m_store;
    mutable std::unique_ptr<AutoStudyManager> m_autoStudy;
    std::unique_ptr<DayChangeWatcher> m_days;
};
