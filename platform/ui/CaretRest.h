// CaretRest: lets the text caret rest once the reader has stopped typing, as the desktop's own
// toolkits do. A blinking caret repaints its field twice a second for as long as the window is
// open, and so wakes the whole program while nothing happens; once no key, click or wheel turn has
// come for restAfterMs(), the caret stops blinking (shown, not hidden), and the next one sets it
// blinking again. The blink period is the application's cursor flash time, so every field rests
// and wakes together. A desktop that does not blink the caret (a flash time of 0) is left alone.
//
// One per application, installed on it as an event filter; main thread only.
#pragma once

#include <QObject>
#include <QTimer>

class CaretRest : public QObject {
public:
    explicit CaretRest(QObject* parent = nullptr);
    // The caret blinks again.
    ~CaretRest() override;
    CaretRest(const CaretRest&) = delete;
    CaretRest& operator=(const CaretRest&) = delete;

    static constexpr int kRestAfterMs = 5000;
    int restAfterMs() const { return m_restAfter.interval(); }
    // Waits this long from now (and after every later input) before the caret rests.
    void setRestAfterMs(int ms);
    bool resting() const { return m_resting; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rest();
    void wake();

    QTimer m_restAfter;
    int m_flashTime = 0;  // the desktop's blink period, put back on waking
    bool m_resting = false;
};
