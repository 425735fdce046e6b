// The setting of a test program that runs the reader itself: a private home (HOME and the XDG
// folders in a temporary folder kept for the whole program, a runtime folder only the user may
// enter), offscreen windows, the web engine without sandbox or GPU, the book page scheme registered
// before the application object, and the books that come with the application taken from the build.
//
// The application object is made once and never deleted: one destroyed during exit crashes in the
// web engine's clean-up of its shared OpenGL context. Call from SetUpTestSuite, once per program.
#pragma once

#include "app/QuillsteadAppController.h"
#include "panes/page/BookPageScheme.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>

namespace reader_test {

// Returns the private home's path.
inline QString startReaderTestProgram(const char* programName)
{
    static QTemporaryDir home;
    const QByteArray path = home.path().toUtf8();
    setenv("HOME", path.constData(), 1);
    setenv("XDG_DATA_HOME", (path + "/data").constData(), 1);
    setenv("XDG_CACHE_HOME", (path + "/cache").constData(), 1);
    setenv("XDG_CONFIG_HOME", (path + "/config").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (path + "/run").constData(), 1);
    QDir().mkpath(home.path() + QStringLiteral("/run"));
    QFile::setPermissions(home.path() + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu", 1);
    static int argc = 1;
    static QByteArray name(programName);
    static char* argv[] = {name.data(), nullptr};
    BookPageScheme::registerScheme();
    new QApplication(argc, argv);
    QuillsteadAppController::setBundledBooksFolder(QStringLiteral(QS_BINARY_DIR "/books"));
    return home.path();
}

}  // namespace reader_test
