#include "engine/foundation/FileHelpers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

struct cFolderListing {
    DIR* dir;
};

namespace {

constexpr mode_t kDefaultFolderMode = 0777;

bool isDotEntry(const char* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// The permission bits of the folder holding `path`, or the default when that
// folder cannot be read.
mode_t parentMode(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return kDefaultFolderMode;
    struct stat st;
    if (::stat(path.substr(0, slash).c_str(), &st) != 0)
        return kDefaultFolderMode;
    return st.st_mode & 07777;
}

// Empties the folder open as `dirFd` (which this call owns and closes). Entries are
// examined without following links: a link is unlinked like a file. `depth` bounds
// the descent so a pathological tree cannot exhaust the stack.
void deleteContents(int dirFd, int depth)
{
    DIR* dir = ::fdopendir(dirFd);
    if (dir == nullptr) {
        ::close(dirFd);
        return;
    }
    while (struct dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (isDotEntry(name))
            continue;
        struct stat st;
        bool isFolder;
        if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            isFolder = S_ISDIR(st.st_mode);
        else
            isFolder = entry->d_type == DT_DIR;
        if (!isFolder) {
            ::unlinkat(dirFd, name, 0);
            continue;
        }
        if (depth > 0) {
            // O_NOFOLLOW: a folder swapped for a link since the test is not entered.
            const int child = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0)
                deleteContents(child, depth - 1);
        }
        ::unlinkat(dirFd, name, AT_REMOVEDIR);
    }
    ::closedir(dir);  // closes dirFd
}

constexpr int kMaxFolderDepth = 4096;

}  // namespace

bool fileExists(const char* path)
{
    if (path == nullptr)
        return false;
    struct stat st;
    return ::stat(path, &st) == 0;
}

void deleteFile(const char* path)
{
    if (path != nullptr)
        ::unlink(path);
}

void makeFolderPath(const char* path)
{
    if (path == nullptr || *path == 0)
        return;
    const std::string full(path);
    // Ancestors first, from the root down; each takes its parent's mode.
    for (std::size_t slash = full.find('/', 1); slash != std::string::npos; slash = full.find('/', slash + 1)) {
        const std::string ancestor = full.substr(0, slash);
        ::mkdir(ancestor.c_str(), parentMode(ancestor));
    }
    ::mkdir(full.c_str(), parentMode(full));
}

void deleteFolderRecursively(const char* path)
{
    if (path == nullptr || *path == 0)
        return;
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    deleteContents(fd, kMaxFolderDepth);
    ::rmdir(path);
}

cFolderListing* openFolder(const char* path)
{
    if (path == nullptr)
        return nullptr;
    DIR* dir = ::opendir(path);
    if (dir == nullptr)
        return nullptr;
    return new cFolderListing {dir};
}

bool readNextFolderEntry(
    const char* path, cFolderListing* listing, bool includeFolders, bool includeFiles, cLString8& outPath)
{
    if (listing == nullptr || path == nullptr)
        return false;
    const int dirFd = ::dirfd(listing->dir);
    while (struct dirent* entry = ::readdir(listing->dir)) {
        const char* name = entry->d_name;
        if (isDotEntry(name))
            continue;
        struct stat st;
        bool isFolder;
        if (::fstatat(dirFd, name, &st, 0) == 0)
            isFolder = S_ISDIR(st.st_mode);
        else
            isFolder = entry->d_type == DT_DIR;
        if (isFolder ? !includeFolders : !includeFiles)
            continue;
        outPath.assignCStr(path);
        outPath.appendChar('/');
        outPath.appendCStr(name);
        return true;
    }
    return false;
}

void closeFolder(cFolderListing* listing)
{
    if (listing == nullptr)
        return;
    ::closedir(listing->dir);
    delete listing;
}
