// A watch on one file that tells whether anything opened it (inotify), for tests that must show that
// rich text from untrusted content never reads a local file it names.
#pragma once

#include <QByteArray>
#include <QString>

#include <sys/inotify.h>
#include <unistd.h>

class ResourceWatch {
public:
    explicit ResourceWatch(const QString& path)
    {
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd >= 0)
            m_wd = inotify_add_watch(m_fd, path.toLocal8Bit().constData(), IN_OPEN | IN_ACCESS);
    }
    ~ResourceWatch()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ResourceWatch(const ResourceWatch&) = delete;
    ResourceWatch& operator=(const ResourceWatch&) = delete;

    bool valid() const { return m_fd >= 0 && m_wd >= 0; }
    // Whether the file was opened or read since the last call.
    bool touched()
    {
        bool any = false;
        alignas(inotify_event) char buffer[4096];
        while (::read(m_fd, buffer, sizeof buffer) > 0)
            any = true;
        return any;
    }

private:
    int m_fd = -1;
    int m_wd = -1;
};
