#include "engine/foundation/cMsgBox.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace {

std::atomic<std::uint32_t> gShownCount {0};
std::atomic<std::int32_t> gLastShownId {0};

// The id a database error report is recorded under.
constexpr std::int32_t kDatabaseErrorId = -1;

// The innermost capture of this thread.
thread_local cDatabaseErrorCapture* tCapture = nullptr;

}  // namespace

cDatabaseErrorCapture::cDatabaseErrorCapture() : m_outer(tCapture)
{
    tCapture = this;
}

cDatabaseErrorCapture::~cDatabaseErrorCapture()
{
    tCapture = m_outer;
}

int cMsgBox::show(std::int32_t id, std::uint32_t style)
{
    std::fprintf(stderr, "engine message %d (style 0x%X)\n", static_cast<int>(id), static_cast<unsigned>(style));
    gLastShownId.store(id);
    gShownCount.fetch_add(1);
    return 1;
}

cEngineTraceLog& cEngineTraceLog::defaultHook()
{
    static cEngineTraceLog* dropped = new cEngineTraceLog();
    return *dropped;
}

void cMsgBox::trace(const char* text)
{
    std::string line(text);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    cEngineTraceLog::current().trace(line.c_str());
}

int cMsgBox::showDatabaseError(const cLString16& text)
{
    const cLString8 utf8(text);
    std::fprintf(stderr, "engine database error: %s\n", utf8.chars());
    gLastShownId.store(kDatabaseErrorId);
    gShownCount.fetch_add(1);
    if (cDatabaseErrorCapture* capture = tCapture) {
        if (capture->m_count++ == 0)
            capture->m_first = text;
        return 1;
    }
    cDatabaseErrorReporter::current().databaseError(text);
    return 1;
}

int cMsgBox::showDatabaseNotice(const cLString16& title, const cLString16& text)
{
    const cLString8 utf8(text);
    std::fprintf(stderr, "engine database notice: %s\n", utf8.chars());
    gShownCount.fetch_add(1);
    cDatabaseErrorReporter::current().databaseNotice(title, text);
    return 1;
}

bool cDatabaseErrorCapture::isActive()
{
    return tCapture != nullptr;
}

std::uint32_t cMsgBox::shownCount()
{
    return gShownCount.load();
}

std::int32_t cMsgBox::lastShownId()
{
    return gLastShownId.load();
}
