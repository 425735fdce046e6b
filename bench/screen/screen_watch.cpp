// qs_screen_watch: presses a key on an X display (XTEST) and reports, from the screen itself, when a
// rectangle of it settled on its new picture: the time to the first change and the time from which
// on the picture stayed as it ended. The readers compared in bench/compare_screens.sh are timed
// with it alike, whatever program draws the rectangle.
//
//   qs_screen_watch [--display :N] [--rect X,Y,W,H] [--tolerance PIXELS] [--interval MS]
//                   [--settle MS] [--timeout MS] [--key Return] [--save PREFIX]
//                   [--ignore X,Y,W,H]... [--expect REFERENCE.ppm] [--final FILE.ppm]
//   qs_screen_watch [--display :N] [--rect X,Y,W,H] --snapshot FILE.ppm
//   qs_screen_watch [--display :N] [--rect X,Y,W,H] [options as above] --exec PROGRAM [ARGUMENT]...
//
// --ignore leaves a part of the rectangle (screen pixels; repeatable) out of the comparison, such as
// scroll bars whose thumbs move when a page grows.
// --save writes the distinct pictures seen as PREFIX-<n>.ppm (0: the one before the key).
// --expect compares the picture the rectangle settled on with a reference picture of the same
// rectangle (what the screen shows when the go-to has ended where it should): the line then ends in
// " matches=1" or " matches=0 differing=<pixels>", so a go-to that ended on the wrong verse, or
// under a dialog, is told from one that ended right. --final writes the settled picture.
// --snapshot copies the rectangle once into FILE.ppm, presses nothing and prints nothing.
// --exec starts the program (the rest of the arguments) instead of pressing a key: the times are from
// the moment before it was started, so readable_ms is a start-up as the screen shows it; the program
// (its output going to standard error) is left running and the line ends in " pid=<its process id>".
//
// Prints one line: "first_change_ms=<ms> readable_ms=<ms> samples=<n> distinct=<n> copy_ms=<ms>
// changes_ms=<ms>,... start_wall_ms=<ms>" (-1 when the rectangle did not change; changes_ms: when
// each distinct picture first showed; start_wall_ms: the wall clock at the key or the start, in ms
// since the epoch, to line the times up with a reader's log). Exit status 0, or 1 with the reason on standard error.
#include "bench/screen/ScreenFrames.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

bool parseRect(const char* text, ScreenFrames::Rect& rect)
{
    return std::sscanf(text, "%d,%d,%d,%d", &rect.x, &rect.y, &rect.width, &rect.height) == 4 && rect.width > 0 &&
        rect.height > 0;
}

bool parseInt(const char* text, int& value, int low, int high)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high)
        return false;
    value = static_cast<int>(v);
    return true;
}

int usage()
{
    std::fprintf(stderr,
        "usage: qs_screen_watch [--display :N] [--rect X,Y,W,H] [--tolerance PIXELS] [--interval MS]\n"
        "                       [--settle MS] [--timeout MS] [--key Return|KP_Enter] [--save PREFIX]\n"
        "                       [--ignore X,Y,W,H]... [--expect REFERENCE.ppm] [--final FILE.ppm]\n"
        "       qs_screen_watch [--display :N] [--rect X,Y,W,H] --snapshot FILE.ppm\n"
        "       qs_screen_watch [--display :N] [--rect X,Y,W,H] [options] --exec PROGRAM [ARGUMENT]...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* display = nullptr;
    const char* key = "Return";
    const char* save = nullptr;
    const char* expect = nullptr;
    const char* finalFile = nullptr;
    const char* snapshot = nullptr;
    ScreenFrames::Rect rect;
    std::vector<ScreenFrames::Rect> ignored;
    int tolerance = 40, interval = 5, settle = 600, timeout = 5000;
    char** program = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--exec") {
            if (i + 1 >= argc)
                return usage();
            program = argv + i + 1;
            break;
        }
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = v != nullptr;
        if (a == "--display" && ok)
            display = v;
        else if (a == "--rect" && ok)
            ok = parseRect(v, rect);
        else if (a == "--tolerance" && ok)
            ok = parseInt(v, tolerance, 0, 1 << 24);
        else if (a == "--interval" && ok)
            ok = parseInt(v, interval, 1, 1000);
        else if (a == "--settle" && ok)
            ok = parseInt(v, settle, 10, 60000);
        else if (a == "--timeout" && ok)
            ok = parseInt(v, timeout, 10, 600000);
        else if (a == "--key" && ok)
            key = v;
        else if (a == "--save" && ok)
            save = v;
        else if (a == "--expect" && ok)
            expect = v;
        else if (a == "--final" && ok)
            finalFile = v;
        else if (a == "--snapshot" && ok)
            snapshot = v;
        else if (a == "--ignore" && ok) {
            ScreenFrames::Rect area;
            ok = parseRect(v, area);
            ignored.push_back(area);
        } else
            return usage();
        if (!ok)
            return usage();
        ++i;
    }
    ScreenFrames frames;
    if (!frames.open(display, rect, tolerance)) {
        std::fprintf(stderr, "qs_screen_watch: %s\n", frames.error().c_str());
        return 1;
    }
    for (const ScreenFrames::Rect& area : ignored)
        frames.ignore(area);
    if (snapshot != nullptr) {
        if (frames.saveFinalPicture(snapshot))
            return 0;
        std::fprintf(stderr, "qs_screen_watch: the picture could not be saved as %s\n", snapshot);
        return 1;
    }
    pid_t child = -1;
    if (program != nullptr) {
        std::fflush(nullptr);
        frames.start(interval);
        child = fork();
        if (child == 0) {
            // The program gets none of the watcher's descriptors but the standard ones, and writes its
            // output to the watcher's standard error: the watcher's own line is all its standard output.
            dup2(2, 1);
            for (int fd = 3; fd < 1024; ++fd)
                close(fd);
            execvp(program[0], program);
            std::fprintf(stderr, "qs_screen_watch: %s cannot be started: %s\n", program[0], std::strerror(errno));
            _exit(127);
        }
        if (child < 0) {
            std::fprintf(stderr, "qs_screen_watch: cannot start %s: %s\n", program[0], std::strerror(errno));
            frames.finish(settle, 0);
            return 1;
        }
    } else if (!frames.pressKeyAndStart(key, interval)) {
        std::fprintf(stderr, "qs_screen_watch: the key %s cannot be sent (no XTEST, or no such key)\n", key);
        return 1;
    }
    const ScreenFrames::Result r = frames.finish(settle, timeout);
    if (!r.ok) {
        std::fprintf(stderr, "qs_screen_watch: %s\n", r.error.c_str());
        if (child > 0)
            std::printf("pid=%d\n", static_cast<int>(child));
        return 1;
    }
    if (!r.error.empty())
        std::fprintf(stderr, "qs_screen_watch: %s\n", r.error.c_str());
    if (save != nullptr && !frames.savePictures(save))
        std::fprintf(stderr, "qs_screen_watch: the pictures could not be saved as %s-<n>.ppm\n", save);
    std::printf("first_change_ms=%.1f readable_ms=%.1f samples=%d distinct=%d copy_ms=%.2f changes_ms=",
        r.firstChangeMs, r.settledMs, r.samples, r.distinct, r.meanCopyMs);
    for (size_t i = 0; i < r.changesMs.size(); ++i)
        std::printf("%s%.1f", i > 0 ? "," : "", r.changesMs[i]);
    std::printf(" start_wall_ms=%.1f", frames.startWallMs());
    if (finalFile != nullptr && !frames.saveFinalPicture(finalFile))
        std::fprintf(stderr, "qs_screen_watch: the settled picture could not be saved as %s\n", finalFile);
    if (expect != nullptr) {
        const int differing = frames.differingFromFile(expect);
        if (differing < 0) {
            std::fprintf(
                stderr, "qs_screen_watch: the reference %s cannot be read as a picture of the rectangle\n", expect);
            std::printf(" matches=0 differing=-1");
        } else if (differing > tolerance)
            std::printf(" matches=0 differing=%d", differing);
        else
            std::printf(" matches=1");
    }
    if (child > 0)
        std::printf(" pid=%d", static_cast<int>(child));
    std::printf("\n");
    return 0;
}
