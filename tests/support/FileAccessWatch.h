// Watches on files that the reader must never touch, for the tests that feed it hostile names.
//
// FileAccessWatch: whether any process opened or read a regular file since the watch began (the
// kernel's file notifications: the browser's renderer counts as well as the reader).
// FifoOpenWatch: whether any process opened a FIFO for reading. A reader of a FIFO waits in open()
// until a writer comes, so the watch offers itself as the writer from a thread of its own: an open
// that would have stopped the reader for good ends at once with nothing to read, and is counted.
//
// Header only (Linux); main thread, apart from the FIFO watch's own thread.
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TestSupport {

class FileAccessWatch {
public:
    explicit FileAccessWatch(const QString& path)
    {
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd >= 0)
            m_watch = inotify_add_watch(m_fd, path.toLocal8Bit().constData(), IN_OPEN | IN_ACCESS);
    }
    ~FileAccessWatch()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileAccessWatch(const FileAccessWatch&) = delete;
    FileAccessWatch& operator=(const FileAccessWatch&) = delete;

    bool valid() const { return m_fd >= 0 && m_watch >= 0; }

    // Whether the file was opened or read since the watch began.
    bool touched()
    {
        alignas(inotify_event) char buffer[4096];
        while (m_fd >= 0) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_touched = true;
        }
        return m_touched;
    }

private:
    int m_fd = -1;
    int m_watch = -1;
    bool m_touched = false;
};

class FifoOpenWatch {
public:
    explicit FifoOpenWatch(const QString& path) : m_path(path.toLocal8Bit())
    {
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        if (m_made)
            m_thread = std::thread([this] { run(); });
    }
    ~FifoOpenWatch()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_made)
            ::unlink(m_path.constData());
    }
    FifoOpenWatch(const FifoOpenWatch&) = delete;
    FifoOpenWatch& operator=(const FifoOpenWatch&) = delete;

    bool valid() const { return m_made; }
    // How many times a reader opened the FIFO.
    int opens() const { return m_opens.load(); }

private:
    void run()
    {
        while (!m_stop) {
            // Opening for writing without waiting succeeds only while a reader has it open.
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ++m_opens;
                ::close(fd);  // the reader reads the end at once
            } else if (errno != ENXIO && errno != EINTR) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    QByteArray m_path;
    bool m_made = false;
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_opens {0};
    std::thread m_thread;
};

}  // namespace TestSupport
