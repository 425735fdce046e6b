// The private home and the one application object (TestSupport.h).
#include "TestSupport.h"

#include "panes/page/BookPageScheme.h"
#include "panes/page/EngineProcesses.h"
#include "platform/SettingsRegistry.h"
#include "platform/StartupEnvironment.h"
#include "platform/UserDefaults.h"
#include "support/RecordingAlerts.h"
#include "userdata/cSQLiteDbBase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace TestSupport {

namespace {

QString& homePath()
{
    static QString path;
    return path;
}

void setFolder(const char* variable, const QString& path)
{
    QDir().mkpath(path);
    qputenv(variable, path.toUtf8());
}

// Ends the process as soon as the tests have run and said how they went. The application object and
// its browser engine are never destroyed, so the engine's threads still work while the destructors
// of static objects would run at exit, and that has been seen to corrupt the heap (a passed program
// then aborts). The private home goes first; under AddressSanitizer the leak check runs first too.
class EndOnceTheTestsHaveRun : public ::testing::EmptyTestEventListener {
public:
    explicit EndOnceTheTestsHaveRun(QTemporaryDir& home) : m_home(home) { }

private:
    void OnTestIterationEnd(const ::testing::UnitTest& unit, int) override { m_failed = m_failed || unit.Failed(); }
    void OnTestProgramEnd(const ::testing::UnitTest& unit) override
    {
        m_home.remove();
        std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
        __lsan_do_leak_check();
#endif
        endEngineProcesses();
        std::_Exit(m_failed || unit.Failed() ? 1 : 0);
    }

    // The engine is not torn down, so its processes (renderers started from this one) are ended
    // here: one busy when this program goes would not notice, and would hold the test runner's
    // output open until its time limit.
    static void endEngineProcesses()
    {
        const QByteArray self = QByteArray::number(qint64(::getpid()));
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& entry : entries) {
            bool number = false;
            const qint64 pid = entry.toLongLong(&number);
            if (!number)
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // "pid (name) state ppid ...": the name may hold spaces and parentheses.
            const QByteArray line = stat.readAll();
            const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (rest.size() > 1 && rest[1] == self)
                ::kill(pid_t(pid), SIGKILL);
        }
    }

    QTemporaryDir& m_home;
    bool m_failed = false;
};

}  // namespace

QString startApplication(const char* programName, Web web)
{
    if (QCoreApplication::instance() != nullptr)
        return homePath();
    static QTemporaryDir dir;
    homePath() = dir.path();
    if (web == Web::Engine)
        ::testing::UnitTest::GetInstance()->listeners().Append(new EndOnceTheTestsHaveRun(dir));
    const QString root = dir.path();
    qputenv("HOME", root.toUtf8());
    setFolder("XDG_DATA_HOME", root + QStringLiteral("/data"));
    setFolder("XDG_CACHE_HOME", root + QStringLiteral("/cache"));
    setFolder("XDG_CONFIG_HOME", root + QStringLiteral("/config"));
    setFolder("XDG_RUNTIME_DIR", root + QStringLiteral("/run"));
    QFile::setPermissions(root + QStringLiteral("/run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Offscreen, unless QS_TEST_PLATFORM=xcb asks for the X server named by DISPLAY (xvfb-run), where
    // a test can read what the window system is told about its windows.
    const bool underX = qgetenv("QS_TEST_PLATFORM") == "xcb" && !qEnvironmentVariableIsEmpty("DISPLAY");
    qputenv("QT_QPA_PLATFORM", underX ? "xcb" : "offscreen");
    if (web == Web::Engine) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
        BookPageScheme::registerScheme();
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    }
    static QByteArray name(programName);
    static char* given[] = {name.data(), nullptr};
    // The engine's flags reach it as the reader hands them: with the reader's process model, through
    // the application's arguments.
    static EngineProcesses::Arguments arguments(1, given);
    new QApplication(arguments.argc(), arguments.argv());  // never deleted (see the header)
    if (web == Web::Engine)
        EngineProcesses::started();
    else
        StartupEnvironment::restore();  // no engine to start: the environment is the user's at once
    return homePath();
}

QString home()
{
    return homePath();
}

RecordingAlerts& programAlerts()
{
    static const std::shared_ptr<RecordingAlerts> alerts = [] {
        auto made = std::make_shared<RecordingAlerts>();
        Alerts::setShared(made);
        return made;
    }();
    return *alerts;
}

UserDefaults& privateDefaults()
{
    static UserDefaults* const defaults = [] {
        auto* made = new UserDefaults(homePath() + QStringLiteral("/defaults.ini"));  // kept, as the program's are
        SettingsRegistry::registerDefaultsForAllPreferences(*made);
        return made;
    }();
    return *defaults;
}

void usePrivateEngineData()
{
    const QString folder = homePath() + QStringLiteral("/engine/");
    QDir().mkpath(folder);
    cSQLiteDbBase::setEngineDataFolder(cLString16(folder.toUtf8().constData()));
}

}  // namespace TestSupport
