#include "bench/screen/ScreenFrames.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>

namespace {

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The keycode of a key symbol on the server's keyboard map; 0 when it has none.
xcb_keycode_t keycodeFor(xcb_connection_t* c, xcb_keysym_t sym)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* map =
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr);
    if (map == nullptr)
        return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    const int per = map->keysyms_per_keycode;
    xcb_keycode_t found = 0;
    for (int k = 0; k < count && found == 0; ++k)
        for (int j = 0; j < per; ++j)
            if (syms[k * per + j] == sym) {
                found = static_cast<xcb_keycode_t>(setup->min_keycode + k);
                break;
            }
    std::free(map);
    return found;
}

}  // namespace

ScreenFrames::~ScreenFrames()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_connection != nullptr)
        xcb_disconnect(m_connection);
}

bool ScreenFrames::open(const char* display, Rect rect, int tolerancePixels)
{
    int screenNumber = 0;
    m_connection = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        m_error = "cannot connect to the X display";
        return false;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i)
        xcb_screen_next(&it);
    if (it.rem == 0) {
        m_error = "no such screen";
        return false;
    }
    m_root = it.data->root;
    m_screenWidth = it.data->width_in_pixels;
    m_screenHeight = it.data->height_in_pixels;
    if (rect.width <= 0 || rect.height <= 0) {
        rect = {0, 0, m_screenWidth, m_screenHeight};
    }
    if (rect.x < 0 || rect.y < 0 || rect.x + rect.width > m_screenWidth || rect.y + rect.height > m_screenHeight) {
        m_error = "the rectangle lies outside the screen";
        return false;
    }
    m_rect = rect;
    m_tolerance = tolerancePixels;
    if (!copy(m_before)) {
        m_error = "the screen could not be copied";
        return false;
    }
    return true;
}

bool ScreenFrames::copy(std::vector<std::uint8_t>& into)
{
    xcb_get_image_cookie_t cookie = xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root,
        static_cast<int16_t>(m_rect.x), static_cast<int16_t>(m_rect.y), static_cast<uint16_t>(m_rect.width),
        static_cast<uint16_t>(m_rect.height), ~0u);
    xcb_get_image_reply_t* reply = xcb_get_image_reply(m_connection, cookie, nullptr);
    if (reply == nullptr)
        return false;
    const int length = xcb_get_image_data_length(reply);
    const std::uint8_t* data = xcb_get_image_data(reply);
    into.assign(data, data + length);
    std::free(reply);
    return true;
}

int ScreenFrames::differingPixels(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) const
{
    if (a.size() != b.size())
        return m_rect.width * m_rect.height;
    // Four bytes a pixel at the depths Xvfb and real screens use (24 and 32 bits).
    const size_t pixels = a.size() / 4;
    const bool masked = m_ignored.size() == pixels;
    int differing = 0;
    for (size_t i = 0; i < pixels; ++i)
        if (std::memcmp(&a[i * 4], &b[i * 4], 3) != 0 && !(masked && m_ignored[i]))
            ++differing;
    return differing;
}

void ScreenFrames::ignore(Rect area)
{
    if (m_rect.width <= 0 || m_rect.height <= 0)
        return;
    const size_t pixels = static_cast<size_t>(m_rect.width) * static_cast<size_t>(m_rect.height);
    if (m_ignored.size() != pixels)
        m_ignored.assign(pixels, false);
    const int left = std::max(area.x, m_rect.x) - m_rect.x;
    const int top = std::max(area.y, m_rect.y) - m_rect.y;
    const int right = std::min(area.x + area.width, m_rect.x + m_rect.width) - m_rect.x;
    const int bottom = std::min(area.y + area.height, m_rect.y + m_rect.height) - m_rect.y;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            m_ignored[static_cast<size_t>(y) * static_cast<size_t>(m_rect.width) + static_cast<size_t>(x)] = true;
}

void ScreenFrames::start(int intervalMs)
{
    m_samples.clear();
    m_pictures.clear();
    m_copyMsTotal = 0;
    m_stop = false;
    m_full = false;
    m_lastChangeMs = -1;
    m_start = std::chrono::steady_clock::now();
    m_startWallMs = double(std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                               .count()) /
        1000.0;
    m_thread = std::thread([this, intervalMs] { run(intervalMs); });
}

bool ScreenFrames::pressKeyAndStart(const char* keysymName, int intervalMs)
{
    xcb_keysym_t sym = 0;
    if (std::strcmp(keysymName, "Return") == 0)
        sym = XK_Return;
    else if (std::strcmp(keysymName, "KP_Enter") == 0)
        sym = XK_KP_Enter;
    else
        return false;
    const xcb_keycode_t code = keycodeFor(m_connection, sym);
    if (code == 0)
        return false;
    xcb_test_fake_input(m_connection, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(m_connection, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    // A round trip: the server has taken the key when the answer comes.
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    start(intervalMs);
    return true;
}

void ScreenFrames::run(int intervalMs)
{
    // Named, so that a benchmark weighing its own process can leave the copying out.
    pthread_setname_np(pthread_self(), kThreadName);
    std::vector<std::uint8_t> picture;
    auto next = m_start;
    while (!m_stop) {
        const auto before = std::chrono::steady_clock::now();
        const double ms = msSince(m_start);
        if (!copy(picture))
            break;
        m_copyMsTotal += msSince(before);
        const std::vector<std::uint8_t>& last = m_pictures.empty() ? m_before : m_pictures.back();
        if (differingPixels(picture, last) > m_tolerance) {
            if (static_cast<int>(m_pictures.size()) >= kMaxDistinct) {
                m_full = true;
                break;
            }
            m_pictures.push_back(picture);
            m_lastChangeMs = ms;
        }
        m_samples.push_back({ms, static_cast<int>(m_pictures.size()) - 1});
        next += std::chrono::milliseconds(intervalMs);
        const auto now = std::chrono::steady_clock::now();
        if (next > now)
            std::this_thread::sleep_until(next);
        else
            next = now;
    }
}

bool ScreenFrames::isDone(int settleMs, int timeoutMs) const
{
    const double now = msSince(m_start);
    return m_full || now >= timeoutMs || (m_lastChangeMs >= 0 && now - m_lastChangeMs >= settleMs);
}

ScreenFrames::Result ScreenFrames::finish(int settleMs, int timeoutMs)
{
    while (!isDone(settleMs, timeoutMs))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    Result r;
    r.samples = static_cast<int>(m_samples.size());
    r.distinct = static_cast<int>(m_pictures.size());
    r.meanCopyMs = r.samples > 0 ? m_copyMsTotal / r.samples : 0;
    if (m_full) {
        r.error = "the picture kept changing";
        return r;
    }
    r.ok = true;
    if (m_pictures.empty())
        return r;
    int last = -1;
    for (const Sample& s : m_samples)
        if (s.picture != last) {
            last = s.picture;
            r.changesMs.push_back(s.ms);
        }
    const int final = static_cast<int>(m_pictures.size()) - 1;
    for (const Sample& s : m_samples)
        if (s.picture >= 0) {
            r.firstChangeMs = s.ms;
            break;
        }
    // The first sample from which on every picture is the final one (later pictures within the
    // tolerance of it count as it).
    for (size_t i = m_samples.size(); i-- > 0;) {
        const int p = m_samples[i].picture;
        if (p != final &&
            (p < 0 || differingPixels(m_pictures[static_cast<size_t>(p)], m_pictures.back()) > m_tolerance))
            break;
        r.settledMs = m_samples[i].ms;
    }
    if (m_lastChangeMs >= 0 && msSince(m_start) < m_lastChangeMs + settleMs)
        r.error = "still changing at the time limit";
    return r;
}

bool ScreenFrames::writePicture(const std::vector<std::uint8_t>& picture, const std::string& path) const
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    std::fprintf(f, "P6\n%d %d\n255\n", m_rect.width, m_rect.height);
    const size_t pixels = static_cast<size_t>(m_rect.width) * static_cast<size_t>(m_rect.height);
    std::vector<std::uint8_t> rgb(pixels * 3);
    for (size_t i = 0; i < pixels && i * 4 + 2 < picture.size(); ++i) {
        // Z-pixmap pixels of a 24-bit visual: blue, green, red, unused.
        rgb[i * 3] = picture[i * 4 + 2];
        rgb[i * 3 + 1] = picture[i * 4 + 1];
        rgb[i * 3 + 2] = picture[i * 4];
    }
    const bool ok = std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
    return std::fclose(f) == 0 && ok;
}

bool ScreenFrames::savePictures(const std::string& prefix) const
{
    auto name = [&](size_t n) { return prefix + "-" + std::to_string(n) + ".ppm"; };
    bool ok = writePicture(m_before, name(0));
    for (size_t i = 0; i < m_pictures.size(); ++i)
        ok = writePicture(m_pictures[i], name(i + 1)) && ok;
    return ok;
}

const std::vector<std::uint8_t>& ScreenFrames::finalPicture() const
{
    return m_pictures.empty() ? m_before : m_pictures.back();
}

bool ScreenFrames::saveFinalPicture(const std::string& path) const
{
    return writePicture(finalPicture(), path);
}

int ScreenFrames::differingFromFile(const std::string& path) const
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return -1;
    int width = 0, height = 0, maximum = 0;
    const bool header = std::fscanf(f, "P6 %d %d %d", &width, &height, &maximum) == 3 && std::fgetc(f) != EOF;
    const size_t pixels = static_cast<size_t>(m_rect.width) * static_cast<size_t>(m_rect.height);
    std::vector<std::uint8_t> rgb(pixels * 3);
    const bool ok = header && width == m_rect.width && height == m_rect.height && maximum == 255 &&
        std::fread(rgb.data(), 1, rgb.size(), f) == rgb.size();
    std::fclose(f);
    if (!ok)
        return -1;
    std::vector<std::uint8_t> reference(pixels * 4, 0);
    for (size_t i = 0; i < pixels; ++i) {
        reference[i * 4] = rgb[i * 3 + 2];
        reference[i * 4 + 1] = rgb[i * 3 + 1];
        reference[i * 4 + 2] = rgb[i * 3];
    }
    return differingPixels(reference, finalPicture());
}
