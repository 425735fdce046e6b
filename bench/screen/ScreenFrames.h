// ScreenFrames: what an X server shows in one rectangle of its screen, copied every few
// milliseconds on a thread of its own (its own X connection), so that a benchmark can tell when a
// change became visible: the time from a start until the rectangle reached, and kept, the picture it
// settled on.
//
// Two pictures count as the same when fewer than `tolerancePixels` pixels differ (a blinking caret,
// a few pixels, is no change; text moved by one pixel is). Only distinct pictures are kept, so the
// memory is bounded by kMaxDistinct pictures of the rectangle.
//
// start() and finish() are called from one thread; the copying runs between them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

struct xcb_connection_t;

class ScreenFrames {
public:
    struct Rect {
        int x = 0, y = 0, width = 0, height = 0;
    };
    struct Result {
        bool ok = false;
        std::string error;
        double firstChangeMs = -1;      // the first picture unlike the one before the start; -1: none
        double settledMs = -1;          // from here on every picture was the last one; -1: no change
        int samples = 0;                // pictures copied after the start
        int distinct = 0;               // distinct pictures among them
        double meanCopyMs = 0;          // the time one copy took
        std::vector<double> changesMs;  // when each distinct picture was first copied
    };
    static constexpr int kMaxDistinct = 64;
    // The name of the copying thread (as /proc shows it).
    static constexpr char kThreadName[] = "qs-screen-copy";

    ScreenFrames() = default;
    ~ScreenFrames();
    ScreenFrames(const ScreenFrames&) = delete;
    ScreenFrames& operator=(const ScreenFrames&) = delete;

    // Connects to the display (null: $DISPLAY) and copies the rectangle once, as the picture before
    // the start; false with the reason in error() when it cannot.
    bool open(const char* display, Rect rect, int tolerancePixels);
    // The whole screen's size once open.
    int screenWidth() const { return m_screenWidth; }
    int screenHeight() const { return m_screenHeight; }
    const std::string& error() const { return m_error; }
    // Leaves the part of the rectangle that lies in `area` (screen pixels) out of every comparison:
    // a scroll bar whose thumb moves, say. Before start().
    void ignore(Rect area);

    // Starts copying every intervalMs; times are from this call on.
    void start(int intervalMs);
    // The wall clock at the start (ms since the epoch), to line the times up with other programs' logs.
    double startWallMs() const { return m_startWallMs; }
    // Whether the picture has stayed the same for settleMs after a change, or timeoutMs has passed
    // since the start (finish() then answers at once). For callers that keep an event loop running
    // while they wait.
    bool isDone(int settleMs, int timeoutMs) const;
    // Copies until isDone(settleMs, timeoutMs), then stops and answers.
    Result finish(int settleMs, int timeoutMs);

    // Writes the distinct pictures of the last finish() as PPM files "<prefix>-<n>.ppm" (0: the
    // picture before the start); false when a file cannot be written.
    bool savePictures(const std::string& prefix) const;
    // The picture the rectangle ended on in the last finish() (before any start: the one open()
    // copied), and the same written as one PPM file.
    const std::vector<std::uint8_t>& finalPicture() const;
    bool saveFinalPicture(const std::string& path) const;
    // How many pixels of the final picture differ from a PPM file of the rectangle's size (ignored
    // parts left out); -1 when the file cannot be read or is of another size.
    int differingFromFile(const std::string& path) const;

    // Sends a key press and release of the named key ("Return") through the XTEST extension on the
    // copying connection, then start(intervalMs) at once: the start is the moment the key was sent.
    bool pressKeyAndStart(const char* keysymName, int intervalMs);

private:
    struct Sample {
        double ms;
        int picture;  // index into m_pictures
    };
    bool copy(std::vector<std::uint8_t>& into);
    bool writePicture(const std::vector<std::uint8_t>& picture, const std::string& path) const;
    int differingPixels(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) const;
    void run(int intervalMs);

    xcb_connection_t* m_connection = nullptr;
    std::uint32_t m_root = 0;
    Rect m_rect;
    int m_tolerance = 0;
    int m_screenWidth = 0, m_screenHeight = 0;
    std::string m_error;
    std::vector<bool> m_ignored;  // per pixel of the rectangle, when anything is ignored
    std::vector<std::uint8_t> m_before;
    std::vector<std::vector<std::uint8_t>> m_pictures;
    std::vector<Sample> m_samples;
    double m_copyMsTotal = 0;
    std::chrono::steady_clock::time_point m_start;
    double m_startWallMs = 0;
    std::atomic<bool> m_stop {false};
    std::atomic<double> m_lastChangeMs {-1};
    std::atomic<bool> m_full {false};
    std::thread m_thread;
};
