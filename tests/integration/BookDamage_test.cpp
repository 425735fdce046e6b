// Damaged copies of compiled books (the KJV, a commentary, a dictionary) must never make a reader
// crash, run away, take memory without limit or flood its output. Each copy is damaged the way real
// damage and crafted files look: stream directory fields, storage headers, the section and contents
// tables, node headers and records, text runs, and random bit flips, truncations, zeroed and copied
// blocks, all from a fixed seed. On each copy tvktool runs whole-book commands as a child process
// under hard limits set by this harness: a wall-clock limit after which the child is killed, an
// address-space limit, a CPU limit and caps on what it may print. Any child that is killed, dies of
// a signal or passes a cap is a failure, reported with the damage that caused it; the damaged book is
// kept under build/damage-failures/ for replay.
//
//   QS_DAMAGE_BOOKS=N    how many damaged books (default 600)
//   QS_DAMAGE_SEED=S     another seed (default fixed)
//   QS_DAMAGE_JOBS=J     child processes at once (default 2)
//   QS_DAMAGE_TOOL=PATH  another tvktool (an older build, to see what it fails on)

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kBuild = QS_BINARY_DIR;
const std::string kTool =
    std::getenv("QS_DAMAGE_TOOL") != nullptr ? std::getenv("QS_DAMAGE_TOOL") : kBuild + "/tools/tvktool/tvktool";

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// --- deterministic random numbers (the same sequence on every platform) ---

class Rng {
public:
    explicit Rng(uint64_t seed) : m_state(seed) { }
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 <= n < bound (bound > 0)
    uint32_t below(uint64_t bound) { return static_cast<uint32_t>(next() % bound); }
    uint32_t u32() { return static_cast<uint32_t>(next()); }
    bool chance(uint32_t inN) { return below(inN) == 0; }

private:
    uint64_t m_state;
};

// --- the stream directory of a container, read independently of the engine ---

uint32_t le32(const Bytes& b, size_t at)
{
    return at + 4 <= b.size() ? static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
            static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24
                              : 0;
}

void putLE32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4 && at + i < b.size(); ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct Stream {
    std::string tag;
    uint32_t header = 0;  // offset of its 16-byte header
    uint32_t start = 0;
    uint32_t length = 0;
};

std::vector<Stream> directoryOf(const Bytes& b)
{
    std::vector<Stream> out;
    uint32_t at = 0;
    for (int n = 0; n < 200 && at + 16 <= b.size(); ++n) {
        Stream s;
        const uint32_t id = le32(b, at);
        for (int i = 0; i < 4; ++i) {
            const char c = static_cast<char>(id >> (8 * i));
            s.tag.push_back(c >= 0x20 && c < 0x7F ? c : '.');
        }
        s.header = at;
        s.start = le32(b, at + 4);
        s.length = le32(b, at + 8);
        if (n > 0)
            out.push_back(s);
        const uint32_t next = le32(b, at + 12);
        if (next == 0)
            break;
        at = next;
    }
    return out;
}

const Stream* findStream(const std::vector<Stream>& dir, const std::string& tag)
{
    for (const Stream& s : dir)
        if (s.tag == tag)
            return &s;
    return nullptr;
}

// The fixed header of each storage stream; the record area follows it.
uint32_t storageHeaderSize(const std::string& tag)
{
    static const std::map<std::string, uint32_t> sizes = {{"INFO", 124}, {"SECT", 10}, {"PAGE", 36}, {"TEXT", 4},
        {"TOFC", 44}, {"SYNC", 51}, {"NODE", 56}, {"DATE", 16}, {"WRDS", 48}, {"PUNC", 48}, {"STEM", 48}, {"PHON", 48},
        {"SHEA", 48}, {"SGRK", 48}, {"CONC", 40}, {"STMC", 40}, {"PHNC", 40}, {"SHCN", 40}, {"SGCN", 40}};
    const auto it = sizes.find(tag);
    return it != sizes.end() ? it->second : 16;
}

// --- damage ---

struct Book {
    Bytes bytes;
    std::vector<Stream> dir;
};

// A value a damaged u32 field takes: the kinds of wrong values that matter to a reader.
uint32_t wrongValue(Rng& rng, uint32_t original, uint32_t near)
{
    switch (rng.below(9)) {
    case 0:
        return 0;
    case 1:
        return 0xFFFFFFFFu;
    case 2:
        return rng.u32();
    case 3:
        return original + 1 + rng.below(64);
    case 4:
        return original - 1 - rng.below(64);
    case 5:
        return original * 2 + 1;
    case 6:
        return near + 1 + rng.below(4096);
    case 7:
        return 3000000000u;
    default:
        return original ^ (1u << rng.below(32));
    }
}

const Stream& anyStream(const Book& book, Rng& rng)
{
    return book.dir[rng.below(book.dir.size())];
}

// A stream the book is known to have, else any.
const Stream& streamOr(const Book& book, Rng& rng, const std::string& tag)
{
    const Stream* s = findStream(book.dir, tag);
    return s != nullptr ? *s : anyStream(book, rng);
}

void overwrite(Book& book, size_t at, const Bytes& with)
{
    for (size_t i = 0; i < with.size() && at + i < book.bytes.size(); ++i)
        book.bytes[at + i] = with[i];
}

Bytes randomBytes(Rng& rng, size_t n)
{
    Bytes b(n);
    for (uint8_t& x : b)
        x = static_cast<uint8_t>(rng.below(256));
    return b;
}

// One field of one stream header: start, length or next.
std::string damageDirectory(Book& book, Rng& rng)
{
    const Stream& s = anyStream(book, rng);
    const uint32_t field = 4 + 4 * rng.below(3);
    const uint32_t old = le32(book.bytes, s.header + field);
    const uint32_t v = wrongValue(rng, old, static_cast<uint32_t>(book.bytes.size()));
    putLE32(book.bytes, s.header + field, v);
    return "directory " + s.tag + " field " + std::to_string(field) + " " + std::to_string(old) + " -> " +
        std::to_string(v);
}

// A u32 field or a byte of a storage's fixed header.
std::string damageStorageHeader(Book& book, Rng& rng, const std::string& tag)
{
    const Stream& s = tag.empty() ? anyStream(book, rng) : streamOr(book, rng, tag);
    const uint32_t size = std::min(storageHeaderSize(s.tag), s.length);
    if (size == 0)
        return "nothing";
    if (size >= 4 && rng.chance(3) == false) {
        const uint32_t at = s.start + 4 * rng.below(size / 4);
        const uint32_t old = le32(book.bytes, at);
        const uint32_t v = wrongValue(rng, old, s.length);
        putLE32(book.bytes, at, v);
        return "header " + s.tag + " +" + std::to_string(at - s.start) + " " + std::to_string(old) + " -> " +
            std::to_string(v);
    }
    const uint32_t at = s.start + rng.below(size);
    const uint8_t v = static_cast<uint8_t>(rng.below(256));
    book.bytes[at] = v;
    return "header " + s.tag + " byte +" + std::to_string(at - s.start) + " -> " + std::to_string(v);
}

// The text end of the TEXT header.
std::string damageTextEnd(Book& book, Rng& rng)
{
    const Stream& s = streamOr(book, rng, "TEXT");
    const uint32_t choices[] = {
        s.length + 1, s.length + 1 + rng.below(1u << 20), 3000000000u, 0xFFFFFFFFu, rng.u32(), 0, 4};
    const uint32_t v = choices[rng.below(sizeof choices / sizeof choices[0])];
    putLE32(book.bytes, s.start, v);
    return "text end -> " + std::to_string(v);
}

// Records of the section table: copied runs, swaps, one wild record, zeroed and reversed runs.
std::string damageSections(Book& book, Rng& rng)
{
    const Stream& s = streamOr(book, rng, "SECT");
    const uint32_t count = le32(book.bytes, s.start);
    const uint32_t r0 = le32(book.bytes, s.start + 4);
    const uint32_t w = s.length > 9 ? book.bytes[s.start + 8] + book.bytes[s.start + 9] : 4;
    if (count < 4 || w == 0 || w > 8 || r0 + static_cast<uint64_t>(count) * w > s.length)
        return damageStorageHeader(book, rng, "SECT");
    auto rec = [&](uint32_t i) { return s.start + r0 + i * w; };
    const uint32_t i = rng.below(count), j = rng.below(count);
    const uint32_t run = 1 + rng.below(std::min<uint32_t>(count - std::max(i, j), 2000));
    switch (rng.below(5)) {
    case 0: {
        Bytes copy(book.bytes.begin() + rec(j), book.bytes.begin() + rec(j) + run * w);
        overwrite(book, rec(i), copy);
        return "sections: " + std::to_string(run) + " records " + std::to_string(j) + " copied to " + std::to_string(i);
    }
    case 1:
        for (uint32_t k = 0; k < w; ++k)
            std::swap(book.bytes[rec(i) + k], book.bytes[rec(j) + k]);
        return "sections: records " + std::to_string(i) + " and " + std::to_string(j) + " swapped";
    case 2:
        overwrite(book, rec(i), randomBytes(rng, w));
        return "sections: record " + std::to_string(i) + " random";
    case 3:
        overwrite(book, rec(i), Bytes(run * w, 0));
        return "sections: " + std::to_string(run) + " records zeroed at " + std::to_string(i);
    default: {
        // Ascending still, but one section spans the rest of the table's text.
        const uint32_t a = book.bytes[s.start + 8];
        const Bytes last(book.bytes.begin() + rec(count - 1) + a, book.bytes.begin() + rec(count - 1) + w);
        for (uint32_t k = i + 1; k < count; ++k)
            overwrite(book, rec(k) + a, last);
        return "sections: text offsets after " + std::to_string(i) + " moved to the last";
    }
    }
}

// Bytes inside a storage's record area (contents entries, node records, word-list groups).
std::string damageRecords(Book& book, Rng& rng, const std::string& tag)
{
    const Stream& s = tag.empty() ? anyStream(book, rng) : streamOr(book, rng, tag);
    const uint32_t header = storageHeaderSize(s.tag);
    if (s.length <= header + 8)
        return damageStorageHeader(book, rng, s.tag);
    const uint32_t at = s.start + header + rng.below(s.length - header - 4);
    const uint32_t n = 1 + rng.below(4);
    switch (rng.below(3)) {
    case 0:
        overwrite(book, at, randomBytes(rng, n));
        break;
    case 1:
        overwrite(book, at, Bytes(n, 0xFF));
        break;
    default:
        overwrite(book, at, Bytes(n, 0));
        break;
    }
    return "records " + s.tag + " +" + std::to_string(at - s.start) + " (" + std::to_string(n) + " bytes)";
}

// Token runs of the text: end-of-section codes removed, invalid codes, wild reference and literal
// lengths, random runs.
std::string damageText(Book& book, Rng& rng)
{
    const Stream& s = streamOr(book, rng, "TEXT");
    if (s.length < 64)
        return damageStorageHeader(book, rng, "TEXT");
    const uint32_t at = s.start + 4 + rng.below(s.length - 64);
    const uint32_t window = std::min<uint32_t>(1 + rng.below(1u << 16), s.start + s.length - at);
    switch (rng.below(6)) {
    case 0: {
        uint32_t removed = 0;
        for (uint32_t k = at; k < at + window; ++k)
            if (book.bytes[k] == 0xCE) {
                book.bytes[k] = 0x00;
                ++removed;
            }
        return "text: " + std::to_string(removed) + " end-of-section codes removed at +" + std::to_string(at - s.start);
    }
    case 1: {
        uint32_t n = 0;
        for (uint32_t k = at; k < at + window; k += 1 + rng.below(16), ++n)
            book.bytes[k] = static_cast<uint8_t>(0xF8 + rng.below(7));
        return "text: " + std::to_string(n) + " invalid codes at +" + std::to_string(at - s.start);
    }
    case 2: {
        const uint32_t length = rng.chance(2) ? 0xFFFFFFF0u : s.length + rng.below(1u << 20);
        overwrite(book, at,
            {0xC8, 0x00, static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
                static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
        return "text: reference of " + std::to_string(length) + " bytes at +" + std::to_string(at - s.start);
    }
    case 3:
        overwrite(book, at, {0xFF, 0xFF});
        return "text: literal of 255 bytes at +" + std::to_string(at - s.start);
    case 4:
        overwrite(book, at, randomBytes(rng, std::min<uint32_t>(window, 4096)));
        return "text: random run at +" + std::to_string(at - s.start);
    default: {
        // Capitalisation and attribute codes whose payload runs off.
        const uint8_t codes[] = {0xE7, 0xEF, 0xCF, 0xD0, 0xCB, 0xCC, 0xCD, 0xC3};
        uint32_t n = 0;
        for (uint32_t k = at; k < at + window; k += 2 + rng.below(32), ++n)
            book.bytes[k] = codes[rng.below(sizeof codes)];
        return "text: " + std::to_string(n) + " markup codes at +" + std::to_string(at - s.start);
    }
    }
}

std::string flipBits(Book& book, Rng& rng)
{
    const uint32_t n = 1 + rng.below(64);
    for (uint32_t k = 0; k < n; ++k) {
        // The first header is left alone: a flip there only makes the open fail.
        const uint32_t at = 16 + rng.below(book.bytes.size() - 16);
        book.bytes[at] ^= static_cast<uint8_t>(1u << rng.below(8));
    }
    return std::to_string(n) + " bits flipped";
}

std::string truncate(Book& book, Rng& rng)
{
    const uint32_t cut = 16 + rng.below(book.bytes.size() - 16);
    book.bytes.resize(cut);
    // Half the time the first header is made to agree, so the cut reaches the readers.
    const bool agree = rng.chance(2);
    if (agree)
        putLE32(book.bytes, 8, cut);
    return "cut to " + std::to_string(cut) + (agree ? " (length field agrees)" : "");
}

std::string zeroBlock(Book& book, Rng& rng)
{
    const uint32_t n = 16 + rng.below(65536);
    const uint32_t at = 16 + rng.below(book.bytes.size() - 16);
    overwrite(book, at, Bytes(n, 0));
    return std::to_string(n) + " bytes zeroed at " + std::to_string(at);
}

std::string copyBlock(Book& book, Rng& rng)
{
    const uint32_t n = 16 + rng.below(65536);
    const uint32_t from = 16 + rng.below(book.bytes.size() - 16);
    const uint32_t to = 16 + rng.below(book.bytes.size() - 16);
    const Bytes block(book.bytes.begin() + from, book.bytes.begin() + std::min<size_t>(from + n, book.bytes.size()));
    overwrite(book, to, block);
    return std::to_string(block.size()) + " bytes copied from " + std::to_string(from) + " to " + std::to_string(to);
}

// Damage kind k of the damaged book; each book gets one to three damages.
std::string damageOnce(Book& book, Rng& rng, uint32_t kind)
{
    switch (kind % 14) {
    case 0:
        return damageDirectory(book, rng);
    case 1:
        return damageStorageHeader(book, rng, "");
    case 2:
        return damageTextEnd(book, rng);
    case 3:
        return damageSections(book, rng);
    case 4:
        return damageStorageHeader(book, rng, "TOFC");
    case 5:
        return damageRecords(book, rng, "TOFC");
    case 6:
        return damageStorageHeader(book, rng, "NODE");
    case 7:
        return damageRecords(book, rng, "NODE");
    case 8:
        return damageText(book, rng);
    case 9:
        return flipBits(book, rng);
    case 10:
        return truncate(book, rng);
    case 11:
        return zeroBlock(book, rng);
    case 12:
        return copyBlock(book, rng);
    default:
        return damageRecords(book, rng, "");
    }
}

// --- running tvktool under limits ---

struct Limits {
    int wallSeconds = 20;              // the child is killed after this
    rlim_t addressSpace = 2ull << 30;  // bytes (left out under the sanitizers, which reserve more)
    size_t maxOut = 32u << 20;         // bytes of standard output
    size_t maxErrLines = 20;           // lines of standard error
};

struct Outcome {
    bool killedForTime = false;
    bool killedForOutput = false;
    bool killedForErrors = false;
    double seconds = 0;
    int signal = 0;
    int exitCode = -1;
    size_t outBytes = 0;
    size_t errLines = 0;
    std::string errHead;  // the first bytes of standard error

    bool sound(const Limits& limits) const
    {
        return !killedForTime && !killedForOutput && !killedForErrors && signal == 0 &&
            (exitCode == 0 || exitCode == 1) && errLines <= limits.maxErrLines;
    }
    std::string describe() const
    {
        std::string s;
        if (killedForTime)
            s += "killed after the time limit; ";
        if (killedForOutput)
            s += "killed for printing too much; ";
        if (killedForErrors)
            s += "killed for its flood of error lines; ";
        if (signal != 0)
            s += "died of signal " + std::to_string(signal) + "; ";
        s += "exit " + std::to_string(exitCode) + ", " + std::to_string(outBytes) + " bytes out, " +
            std::to_string(errLines) + " error lines";
        if (!errHead.empty())
            s += ": " + errHead.substr(0, 200);
        return s;
    }
};

Outcome runLimited(const std::vector<std::string>& args, const Limits& limits)
{
    Outcome o;
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2], err[2];
    // Close-on-exec: a child started at the same time by another worker must not hold these open.
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        return o;
    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        if (!kSanitized) {
            struct rlimit as = {limits.addressSpace, limits.addressSpace};
            setrlimit(RLIMIT_AS, &as);
        }
        const rlim_t cpu = static_cast<rlim_t>(limits.wallSeconds) + 1;
        struct rlimit cpuLimit = {cpu, cpu};
        setrlimit(RLIMIT_CPU, &cpuLimit);
        struct rlimit core = {0, 0};
        setrlimit(RLIMIT_CORE, &core);
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        close(out[1]);
        close(err[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    const auto started = std::chrono::steady_clock::now();
    const auto deadline = started + std::chrono::seconds(limits.wallSeconds);
    bool outOpen = true, errOpen = true, killed = false;
    char buffer[65536];
    while (outOpen || errOpen) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0 && !killed) {
            o.killedForTime = true;
            kill(pid, SIGKILL);
            killed = true;
        }
        pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        const int ready = poll(fds, 2, killed ? 1000 : static_cast<int>(std::max<long long>(1, left)));
        if (ready < 0 && errno != EINTR)
            break;
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || (fds[k].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            const ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
            if (n <= 0) {
                (k == 0 ? outOpen : errOpen) = false;
                continue;
            }
            if (k == 0) {
                o.outBytes += static_cast<size_t>(n);
                if (o.outBytes > limits.maxOut && !killed) {
                    o.killedForOutput = true;
                    kill(pid, SIGKILL);
                    killed = true;
                }
            } else {
                for (ssize_t i = 0; i < n; ++i)
                    o.errLines += buffer[i] == '\n' ? 1 : 0;
                if (o.errHead.size() < 1024)
                    o.errHead.append(buffer, static_cast<size_t>(std::min<ssize_t>(n, 1024)));
                if (o.errLines > 10000 && !killed) {
                    o.killedForErrors = true;
                    kill(pid, SIGKILL);
                    killed = true;
                }
            }
        }
    }
    close(out[0]);
    close(err[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (WIFSIGNALED(status)) {
        if (!killed)
            o.signal = WTERMSIG(status);
    } else if (WIFEXITED(status)) {
        o.exitCode = WEXITSTATUS(status);
    }
    return o;
}

// --- the books and the commands run on each damaged copy ---

struct Source {
    std::string file;
    std::vector<std::vector<std::string>> commands;  // the tvktool command, then its arguments after the book
    Bytes bytes;
};

std::vector<Source> sources()
{
    return {
        {"KJV.tvk",
            {{"verse", "Gen 1-5"}, {"verse", "Mat-Rev"}, {"phrase", "the the"}, {"strongs", "H430"}, {"render", "1000"},
                {"count", "lo*"}, {"contents"}, {"search", "grace peace"}},
            {}},
        {"Scofield.tvk", {{"phrase", "the the"}, {"render", "100"}, {"count", "god"}, {"contents"}}, {}},
        {"Nave.tvk", {{"phrase", "the the"}, {"render", "500"}, {"count", "a*"}, {"search", "faith"}, {"contents"}},
            {}},
    };
}

bool readFile(const std::string& path, Bytes& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !out.empty();
}

bool writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

uint64_t envNumber(const char* name, uint64_t fallback)
{
    const char* v = std::getenv(name);
    return v != nullptr && *v != 0 ? std::strtoull(v, nullptr, 0) : fallback;
}

std::string joined(const std::vector<std::string>& args)
{
    std::string s;
    for (const std::string& a : args)
        s += (s.empty() ? "" : " ") + ("'" + a + "'");
    return s;
}

class BookDamage : public ::testing::Test {
protected:
    void SetUp() override
    {
#if !QS_LIBRARY_BUILT
        GTEST_SKIP() << "the sample library is not built";
#endif
        m_sources = sources();
        for (Source& s : m_sources)
            if (!readFile(kBuild + "/library/" + s.file, s.bytes))
                GTEST_SKIP() << "missing " << s.file;
        char templ[] = "/tmp/qs-damage-XXXXXX";
        const char* made = mkdtemp(templ);
        ASSERT_NE(made, nullptr);
        m_dir = made;
    }
    void TearDown() override
    {
        if (!m_dir.empty())
            std::system(("rm -rf '" + m_dir + "'").c_str());
    }

    std::vector<Source> m_sources;
    std::string m_dir;
};

// The harness itself: a sound book answers within every limit, and the limits do stop a child that
// runs away or prints without end.
TEST_F(BookDamage, HarnessLetsSoundBooksThroughAndStopsRunaways)
{
    Limits limits;
    for (const Source& s : m_sources) {
        for (const auto& command : s.commands) {
            std::vector<std::string> args {kTool, command[0], kBuild + "/library/" + s.file};
            args.insert(args.end(), command.begin() + 1, command.end());
            const Outcome o = runLimited(args, limits);
            EXPECT_TRUE(o.sound(limits) && o.exitCode == 0) << joined(args) << ": " << o.describe();
        }
    }
    Limits tight;
    tight.wallSeconds = 1;
    const Outcome slow = runLimited({"/bin/sleep", "30"}, tight);
    EXPECT_TRUE(slow.killedForTime);
    EXPECT_FALSE(slow.sound(tight));
    tight.maxOut = 1000;
    const Outcome loud = runLimited({"/usr/bin/yes"}, tight);
    EXPECT_TRUE(loud.killedForOutput);
    EXPECT_FALSE(loud.sound(tight));
    if (!kSanitized) {
        Limits small;
        small.addressSpace = 64ull << 20;
        const Outcome greedy = runLimited({"/usr/bin/python3", "-c", "x = bytearray(512 * 1024 * 1024)"}, small);
        EXPECT_FALSE(greedy.sound(small) && greedy.exitCode == 0) << greedy.describe();
    }
}

TEST_F(BookDamage, DamagedBooksStayWithinTheirLimits)
{
    const uint64_t seed = envNumber("QS_DAMAGE_SEED", 0x51A7E5EEDull);
    const uint32_t books = static_cast<uint32_t>(envNumber("QS_DAMAGE_BOOKS", 600));
    const uint32_t jobs = static_cast<uint32_t>(std::max<uint64_t>(1, envNumber("QS_DAMAGE_JOBS", 2)));
    Limits limits;
    std::atomic<uint32_t> nextBook {0};
    std::mutex lock;
    std::vector<std::string> failures;
    std::map<std::string, int> outcomes;  // how the commands ended, for the log
    double slowest = 0;
    std::string slowestWhat;
    const std::string keep = kBuild + "/damage-failures";

    auto worker = [&]() {
        for (uint32_t i = nextBook++; i < books; i = nextBook++) {
            const Source& source = m_sources[i % m_sources.size()];
            Rng rng(seed ^ (0x9E3779B97F4A7C15ull * (i + 1)));
            Book book {source.bytes, directoryOf(source.bytes)};
            std::string what;
            const uint32_t damages = 1 + (rng.chance(4) ? rng.below(3) : 0);
            for (uint32_t d = 0; d < damages; ++d) {
                if (book.bytes.size() <= 64)
                    break;
                what += (what.empty() ? "" : "; ") + damageOnce(book, rng, (i / m_sources.size()) + d * 5);
            }
            const std::string path = m_dir + "/book" + std::to_string(i) + ".tvk";
            if (!writeFile(path, book.bytes)) {
                std::lock_guard<std::mutex> g(lock);
                failures.push_back("cannot write " + path);
                continue;
            }
            // Each book runs two of its source's commands, in turn, so every command meets every damage.
            bool kept = false;
            for (uint32_t c = 0; c < 2; ++c) {
                const size_t n = source.commands.size();
                const auto& command = source.commands[(i / m_sources.size() + c * (1 + n / 2)) % n];
                std::vector<std::string> args {kTool, command[0], path};
                args.insert(args.end(), command.begin() + 1, command.end());
                const Outcome o = runLimited(args, limits);
                std::lock_guard<std::mutex> g(lock);
                ++outcomes[command[0] + (o.exitCode == 0 ? " answered" : " refused")];
                if (o.seconds > slowest) {
                    slowest = o.seconds;
                    slowestWhat = "book " + std::to_string(i) + " " + command[0];
                }
                if (o.sound(limits))
                    continue;
                std::string kept_as;
                if (!kept) {
                    mkdir(keep.c_str(), 0755);
                    kept_as = keep + "/" + source.file + "-" + std::to_string(i) + ".tvk";
                    writeFile(kept_as, book.bytes);
                    kept = true;
                }
                failures.push_back("book " + std::to_string(i) + " (" + source.file + ": " + what + "): tvktool " +
                    command[0] + (command.size() > 1 ? " '" + command[1] + "'" : std::string()) + ": " + o.describe() +
                    (kept_as.empty() ? "" : " [" + kept_as + "]"));
            }
            unlink(path.c_str());
        }
    };
    std::vector<std::thread> threads;
    for (uint32_t j = 0; j < jobs; ++j)
        threads.emplace_back(worker);
    for (auto& t : threads)
        t.join();

    std::string summary;
    for (const auto& [kind, n] : outcomes)
        summary += kind + " " + std::to_string(n) + "; ";
    std::printf("%u damaged books (seed 0x%llX): %sslowest %.2f s (%s)\n", books, static_cast<unsigned long long>(seed),
        summary.c_str(), slowest, slowestWhat.c_str());
    for (const std::string& f : failures)
        ADD_FAILURE() << f;
}

}  // namespace
