#include "support/CallRecorder.h"

#include "engine/foundation/cLIntArray.h"

namespace qs::userdata {
namespace {

std::string bookText(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition)
{
    return std::to_string(pubid) + ":" + std::to_string(bookid) + ":" + std::to_string(edition);
}

}  // namespace

CallRecorder& CallRecorder::shared()
{
    static CallRecorder* recorder = new CallRecorder();  // stores may call during exit
    return *recorder;
}

void CallRecorder::installShared()
{
    CallRecorder* recorder = &shared();
    // Not owned: the shared recorder lives for the process.
    SyncRequestHandler::install(std::shared_ptr<SyncRequestHandler>(recorder, [](SyncRequestHandler*) {}));
    SearchCacheHandler::install(std::shared_ptr<SearchCacheHandler>(recorder, [](SearchCacheHandler*) {}));
}

void CallRecorder::add(std::string line)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_calls.push_back(std::move(line));
}

void CallRecorder::requestSync(SyncRecordType type, bool now, std::int64_t editingId)
{
    std::string line = std::string("sync ") + syncRecordTypeName(type) + " now=" + (now ? "1" : "0");
    if (editingId >= 0)
        line += " editing=" + std::to_string(editingId);
    add(std::move(line));
}

void CallRecorder::invalidateNoteSearchCache(
    std::int32_t kind, std::int32_t section, std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition)
{
    add("cache note kind=" + std::to_string(kind) + " section=" + std::to_string(section) +
        " book=" + bookText(pubid, bookid, edition));
}

void CallRecorder::invalidateUserDataSearchCacheForBook(std::int32_t kind, const cBibleRef&, std::int32_t flag)
{
    add("cache bible kind=" + std::to_string(kind) + " flag=" + std::to_string(flag));
}

void CallRecorder::clearColorSearchCache()
{
    add("cache clear color");
}

void CallRecorder::invalidateCategorySearchCache(const cBibleRef* reference, std::int32_t section, std::uint16_t pubid,
    std::uint16_t bookid, std::uint8_t edition, const cLIntArray& categories)
{
    std::string line = std::string("cache category ref=") + (reference ? "yes" : "no") +
        " section=" + std::to_string(section) + " book=" + bookText(pubid, bookid, edition) + " categories=";
    for (std::int32_t i = 0; i < categories.count(); ++i) {
        if (i)
            line += ",";
        line += std::to_string(categories.at(i));
    }
    add(std::move(line));
}

std::vector<std::string> CallRecorder::calls() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_calls;
}

std::vector<std::string> CallRecorder::takeCalls()
{
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<std::string> out;
    out.swap(m_calls);
    return out;
}

void CallRecorder::clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_calls.clear();
}

}  // namespace qs::userdata
