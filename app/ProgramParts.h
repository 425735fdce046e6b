// The program's parts, brought up once at start-up in one place: the engine's data folder, then every
// hook a lower layer waits for (documents/StartupHooks.h), filled from the parts that answer them:
// the search code, the user's highlights and notes, the Bible-reference spellings, the renderer's
// entity table, the find-proximity setting and the database error alerts. Runs before any book is
// read or any search thread starts. Main thread only.
#pragma once

#include <QString>

struct WindowEnvironment;

// `dataFolder` is the private data folder (the database lives there). The hooks keep the settings
// and alerts of `environment`, which must outlive them.
void installProgramParts(const QString& dataFolder, const WindowEnvironment& environment);

class QuillsteadAppController;
// The services the book panes ask the application for (BookPaneHooks), posting on the centre of
// `environment`; null takes them out again.
void installPaneHooks(QuillsteadAppController* app, const WindowEnvironment& environment);

// The environment of the main window: the program's shared centre, defaults, alerts, library and
// sync engine, and the program's one layout manager, made here on first use and never destroyed (the
// window adds its commands once it has made them). The one place in the interface that names the
// process-wide objects.
WindowEnvironment applicationEnvironment();
