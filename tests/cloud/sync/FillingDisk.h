// A disk that fills, for tests of what a full disk does to the user data: a file system of SQLite's
// (the default one, wrapped) on which files may grow by `room` bytes in all.
#pragma once

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <map>

namespace sync_test {

// A disk that fills: a file system of SQLite's (the default one, wrapped) on which files may grow by
// `room` bytes in all (no limit while it is below 0); a write past that fails as on a full disk.
// Installed as the default for the connections opened while it lives.
class FillingDisk {
public:
    static inline std::atomic<qint64> room {-1};

    FillingDisk()
    {
        s_base = sqlite3_vfs_find(nullptr);
        m_vfs = *s_base;
        m_vfs.zName = "filling-disk";
        m_vfs.szOsFile = static_cast<int>(sizeof(File)) + s_base->szOsFile;
        m_vfs.xOpen = &FillingDisk::open;
        EXPECT_EQ(sqlite3_vfs_register(&m_vfs, 1), SQLITE_OK);
    }
    ~FillingDisk()
    {
        room = -1;
        sqlite3_vfs_unregister(&m_vfs);
        sqlite3_vfs_register(s_base, 1);
    }

private:
    struct File {
        sqlite3_file base;
        sqlite3_file* real;
        const sqlite3_io_methods* methods;
    };
    static sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }
    static const sqlite3_io_methods* io(sqlite3_file* f) { return reinterpret_cast<File*>(f)->methods; }

    static int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
    {
        auto* wrapped = reinterpret_cast<File*>(file);
        wrapped->real = reinterpret_cast<sqlite3_file*>(wrapped + 1);
        const int rc = s_base->xOpen(s_base, name, wrapped->real, flags, outFlags);
        wrapped->methods = wrapped->real->pMethods;
        wrapped->base.pMethods = wrapped->methods ? methods(wrapped->methods) : nullptr;
        return rc;
    }
    // A kind of file's methods, with writes that fail while the disk is full.
    static const sqlite3_io_methods* methods(const sqlite3_io_methods* base)
    {
        static std::map<const sqlite3_io_methods*, sqlite3_io_methods> s_kinds;
        if (const auto it = s_kinds.find(base); it != s_kinds.end())
            return &it->second;
        sqlite3_io_methods m = *base;
        m.xClose = [](sqlite3_file* f) { return io(f)->xClose(real(f)); };
        m.xRead = [](sqlite3_file* f, void* b, int n, sqlite3_int64 o) { return io(f)->xRead(real(f), b, n, o); };
        m.xWrite = [](sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
            if (room >= 0) {
                sqlite3_int64 size = 0;
                io(f)->xFileSize(real(f), &size);
                const qint64 growth = std::max<qint64>(0, o + n - size);
                if (growth > room)
                    return SQLITE_FULL;
                room -= growth;
            }
            return io(f)->xWrite(real(f), b, n, o);
        };
        m.xTruncate = [](sqlite3_file* f, sqlite3_int64 n) { return io(f)->xTruncate(real(f), n); };
        m.xSync = [](sqlite3_file* f, int flags) { return io(f)->xSync(real(f), flags); };
        m.xFileSize = [](sqlite3_file* f, sqlite3_int64* n) { return io(f)->xFileSize(real(f), n); };
        m.xLock = [](sqlite3_file* f, int l) { return io(f)->xLock(real(f), l); };
        m.xUnlock = [](sqlite3_file* f, int l) { return io(f)->xUnlock(real(f), l); };
        m.xCheckReservedLock = [](sqlite3_file* f, int* r) { return io(f)->xCheckReservedLock(real(f), r); };
        m.xFileControl = [](sqlite3_file* f, int op, void* a) { return io(f)->xFileControl(real(f), op, a); };
        m.xSectorSize = [](sqlite3_file* f) { return io(f)->xSectorSize(real(f)); };
        m.xDeviceCharacteristics = [](sqlite3_file* f) { return io(f)->xDeviceCharacteristics(real(f)); };
        if (base->iVersion >= 2) {
            m.xShmMap = [](sqlite3_file* f, int p, int s, int e, void volatile** mm) {
                return io(f)->xShmMap(real(f), p, s, e, mm);
            };
            m.xShmLock = [](sqlite3_file* f, int o, int n, int fl) { return io(f)->xShmLock(real(f), o, n, fl); };
            m.xShmBarrier = [](sqlite3_file* f) { io(f)->xShmBarrier(real(f)); };
            m.xShmUnmap = [](sqlite3_file* f, int d) { return io(f)->xShmUnmap(real(f), d); };
        }
        if (base->iVersion >= 3) {
            m.xFetch = [](sqlite3_file* f, sqlite3_int64 o, int n, void** pp) {
                return io(f)->xFetch(real(f), o, n, pp);
            };
            m.xUnfetch = [](sqlite3_file* f, sqlite3_int64 o, void* pp) { return io(f)->xUnfetch(real(f), o, pp); };
        }
        return &s_kinds.emplace(base, m).first->second;
    }

    static inline sqlite3_vfs* s_base = nullptr;
    sqlite3_vfs m_vfs {};
};

}  // namespace sync_test
