#include "platform/FileWriteQueue.h"

#include "platform/FileSave.h"
#include "platform/MainThread.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

struct FileWriteQueue::State : std::enable_shared_from_this<FileWriteQueue::State> {
    struct Job {
        QString path;
        Encoder encode;  // none for a removal
        QString what;
        Done done;
        bool ifChanged = false;
    };
    // The bytes last written to a file by a write that asked to be skipped when unchanged, and the
    // file as it was then. Worker only.
    struct Written {
        QByteArray bytes;
        qint64 size = 0;
        QDateTime modified;
    };
    struct Finished {
        Done done;
        Result result;
        // What the job's encoder held (a QVariant's shared data): dropped with the delivery, on the
        // main thread, so that the data the main thread shares with a job is never freed on the worker.
        Encoder encode;
    };

    std::mutex mutex;
    std::condition_variable wake;  // a job was queued, or the queue is going
    std::condition_variable idle;  // a job is over
    std::deque<Job> jobs;
    std::vector<Finished> finished;
    bool busy = false;
    bool stopping = false;
    bool deliveryScheduled = false;
    std::thread worker;
    std::map<QString, Written> lastWritten;

    Result perform(const Job& job);
    bool holdsAlready(const QString& path, const QByteArray& bytes);
    void enqueue(Job job);
    void run();
    void deliver();
};

bool FileWriteQueue::State::holdsAlready(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    if (const auto it = lastWritten.find(path);
        it != lastWritten.end() && it->second.size == info.size() && it->second.modified == info.lastModified())
        return it->second.bytes == bytes;
    // Not written here, or changed since: what the file holds now (read only when it can be equal).
    if (info.size() != bytes.size())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.readAll() != bytes)
        return false;
    lastWritten[path] = {bytes, info.size(), info.lastModified()};
    return true;
}

FileWriteQueue::Result FileWriteQueue::State::perform(const Job& job)
{
    Result result;
    result.path = job.path;
    if (!job.ifChanged)
        lastWritten.erase(job.path);
    if (!job.encode) {
        QFile::remove(job.path);
        result.ok = !QFileInfo(job.path).isFile();
        if (!result.ok)
            result.error = QStringLiteral("The file could not be removed.");
        return result;
    }
    Content content = job.encode();
    if (!content.error.isEmpty()) {
        qWarning().noquote() << "could not save" << job.path << ":" << content.error;
        result.error = content.error;
        return result;
    }
    if (content.unchanged || (job.ifChanged && holdsAlready(job.path, content.bytes))) {
        result.ok = true;
        return result;
    }
    result.ok = FileSave::writeFile(job.path, content.bytes, job.what, &result.error);
    result.written = result.ok;
    if (job.ifChanged) {
        const QFileInfo info(job.path);
        if (result.ok)
            lastWritten[job.path] = {content.bytes, info.size(), info.lastModified()};
        else
            lastWritten.erase(job.path);
    }
    if (result.ok)
        result.bytes = std::move(content.bytes);
    return result;
}

void FileWriteQueue::State::run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return stopping || !jobs.empty(); });
            if (jobs.empty())
                return;
            job = std::move(jobs.front());
            jobs.pop_front();
            busy = true;
        }
        Result result = perform(job);
        std::lock_guard lock(mutex);
        busy = false;
        finished.push_back({std::move(job.done), std::move(result), std::move(job.encode)});
        if (!deliveryScheduled) {
            // The call finds the state only while its queue lives.
            deliveryScheduled = runOnMainThread([self = weak_from_this()] {
                if (const auto state = self.lock())
                    state->deliver();
            });
        }
        idle.notify_all();
    }
}

void FileWriteQueue::State::deliver()
{
    std::vector<Finished> due;
    {
        std::lock_guard lock(mutex);
        due.swap(finished);
        deliveryScheduled = false;
    }
    for (Finished& f : due) {
        if (f.done)
            f.done(f.result);
    }
}

FileWriteQueue& FileWriteQueue::shared()
{
    static FileWriteQueue queue;
    return queue;
}

FileWriteQueue::FileWriteQueue() : m_state(std::make_shared<State>())
{
}

FileWriteQueue::~FileWriteQueue()
{
    {
        std::unique_lock lock(m_state->mutex);
        m_state->idle.wait(lock, [this] { return m_state->jobs.empty() && !m_state->busy; });
        m_state->stopping = true;
    }
    m_state->wake.notify_all();
    if (m_state->worker.joinable())
        m_state->worker.join();
    m_state->deliver();
}

void FileWriteQueue::State::enqueue(Job job)
{
    Job replaced;  // dropped here, on the main thread, once the lock is let go
    {
        std::lock_guard lock(mutex);
        for (auto it = jobs.begin(); it != jobs.end(); ++it) {
            if (it->path == job.path) {
                replaced = std::move(*it);
                jobs.erase(it);
                break;
            }
        }
        jobs.push_back(std::move(job));
        if (!worker.joinable())
            worker = std::thread([this] { run(); });
    }
    wake.notify_one();
}

void FileWriteQueue::write(const QString& path, Encoder encode, const QString& what, Done done)
{
    QS_ASSERT_MAIN_THREAD();
    if (!encode)
        encode = [] { return Content(); };
    m_state->enqueue({path, std::move(encode), what, std::move(done)});
}

void FileWriteQueue::writeIfChanged(const QString& path, Encoder encode, const QString& what, Done done)
{
    QS_ASSERT_MAIN_THREAD();
    if (!encode)
        encode = [] { return Content(); };
    m_state->enqueue({path, std::move(encode), what, std::move(done), true});
}

void FileWriteQueue::write(const QString& path, const QByteArray& bytes, const QString& what, Done done)
{
    write(
        path,
        [bytes] {
            return Content {bytes, QString(), false};
        },
        what, std::move(done));
}

void FileWriteQueue::remove(const QString& path, Done done)
{
    QS_ASSERT_MAIN_THREAD();
    m_state->enqueue({path, Encoder(), QString(), std::move(done)});
}

void FileWriteQueue::finish()
{
    QS_ASSERT_MAIN_THREAD();
    {
        std::unique_lock lock(m_state->mutex);
        m_state->idle.wait(lock, [this] { return m_state->jobs.empty() && !m_state->busy; });
    }
    m_state->deliver();
}
