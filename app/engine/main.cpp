// quillstead-engine: the program the web engine starts for its processes (the renderer that draws
// the reader's pages, and the zygotes where the engine's sandbox is on). It is the engine's own
// process entry with one addition: a renderer started on its own (no zygote) hands back the pages
// of code it mapped while it worked, once it goes idle (platform/IdlePageTrim.h). A zygote stays
// one thread, as the engine requires of the process it forks renderers from.
#include "platform/IdlePageTrim.h"

#include <QCoreApplication>

#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace QtWebEngineCore {
int processMain(int argc, const char** argv);
}

// A sandboxed renderer cannot read the time zone files: the engine answers local time through its
// own functions, which the process's program must put in place of the C library's.
namespace sandbox {
struct tm* localtime_override(const time_t* timep);
struct tm* localtime_r_override(const time_t* timep, struct tm* result);
}  // namespace sandbox

extern "C" __attribute__((visibility("default"))) struct tm* localtime(const time_t* timep)
{
    return sandbox::localtime_override(timep);
}

extern "C" __attribute__((visibility("default"))) struct tm* localtime_r(const time_t* timep, struct tm* result)
{
    return sandbox::localtime_r_override(timep, result);
}

int main(int argc, const char** argv)
{
    bool renderer = false;
    for (int i = 1; i < argc; ++i)
        renderer = renderer || std::strcmp(argv[i], "--type=renderer") == 0;

    // The engine rewrites its argv to title the process; Qt's application object gets a copy.
    std::vector<std::unique_ptr<char[]>> copies;
    std::vector<char*> qtArgv;
    for (int i = 0; i < argc; ++i) {
        const size_t length = std::strlen(argv[i]) + 1;
        copies.push_back(std::make_unique<char[]>(length));
        std::memcpy(copies.back().get(), argv[i], length);
        qtArgv.push_back(copies.back().get());
    }
    qtArgv.push_back(nullptr);
    int qtArgc = argc;
    QCoreApplication application(qtArgc, qtArgv.data());

    if (renderer)
        IdlePageTrim::start();
    return QtWebEngineCore::processMain(argc, argv);
}
