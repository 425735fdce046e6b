// Helpers shared by the layout model's tests: readable geometry in failure messages and a
// capture of the log lines a piece of code writes.
#pragma once

#include "panes/layout/Layout.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <ostream>

inline void PrintTo(const LayoutRect& r, std::ostream* os)
{
    *os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}

inline void PrintTo(const LayoutSize& s, std::ostream* os)
{
    *os << "(" << s.width << ", " << s.height << ")";
}

inline void PrintTo(const LayoutPoint& p, std::ostream* os)
{
    *os << "(" << p.x << ", " << p.y << ")";
}

// Collects every message logged while it lives (and still lets nothing through to stderr).
class LogCapture {
public:
    LogCapture()
    {
        lines().clear();
        m_previous = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const QStringList& messages() const { return lines(); }
    bool contains(const QString& line) const { return lines().contains(line); }

private:
    static QStringList& lines()
    {
        static QStringList l;
        return l;
    }
    static void handler(QtMsgType, const QMessageLogContext&, const QString& msg) { lines().append(msg); }

    QtMessageHandler m_previous = nullptr;
};

inline LayoutRect regionBounds(const Layout& layout, size_t i)
{
    return layout.regionAt(i)->bounds();
}
