#include "bench/app/GoToBreakdown.h"

#include "bench/BenchWait.h"
#include "panes/page/BookPageView.h"

#include <QEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QWebEnginePage>
#include <QWidget>

#include <chrono>

namespace {

GoToBreakdown* g_active = nullptr;

double wallMs()
{
    return double(std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
                      .count()) /
        1000.0;
}

// Wraps the page's go-to call and the making of its blocks with the page's clock; the times of the
// latest call stay in window.qsBenchTimes. Once per page.
const char* const kPageTiming = R"JS((function () {
  if (window.qsBenchTimes !== undefined)
    return true;
  var now = function () { return performance.timeOrigin + performance.now(); };
  window.qsBenchTimes = null;
  var make = qsMakeBlock;
  qsMakeBlock = function (n, html) {
    var t = now();
    var div = make(n, html);
    if (window.qsBenchTimes)
      window.qsBenchTimes.make += now() - t;
    return div;
  };
  // The blocks' content made inert (part of make), with the blocks and elements it went through.
  var inert = qsMakeInert;
  qsMakeInert = function (r) {
    var t = now();
    inert(r);
    if (window.qsBenchTimes) {
      window.qsBenchTimes.inert = (window.qsBenchTimes.inert || 0) + now() - t;
      window.qsBenchTimes.elements = (window.qsBenchTimes.elements || 0) + r.getElementsByTagName('*').length;
      window.qsBenchTimes.blocks = (window.qsBenchTimes.blocks || 0) + 1;
    }
  };
  var go = qsGoToPlace;
  qsGoToPlace = function () {
    var times = window.qsBenchTimes = { make: 0, start: now() };
    // Asked for before the page's own, so that this runs first in the frame, and the task after it
    // before the page's task after the paint (which fills the page).
    requestAnimationFrame(function () {
      times.frame = now();
      setTimeout(function () { times.committed = now(); }, 0);
    });
    var answer = go.apply(this, arguments);
    times.end = now();
    return answer;
  };
  return true;
})())JS";

// The steps of the reader's page trace, by the step's text.
const struct {
    const char* text;
    const char* step;
} kTraceSteps[] = {{" ms go-to ", "goto_ms"}, {" ms first screen ", "rendered_ms"},
    {" ms go to within the page ", "sent_ms"}, {" ms bridge placePainted", "reported_ms"}};

}  // namespace

GoToBreakdown::GoToBreakdown(BookPageView* view)
    : m_view(view), m_viewTag(QStringLiteral("[view %1]").arg(quintptr(view), 0, 16))
{
    g_active = this;
    QLoggingCategory::setFilterRules(QStringLiteral("qs.panes.page.trace.debug=true"));
    m_previousHandler = qInstallMessageHandler(&GoToBreakdown::onMessage);
    view->installEventFilter(this);
    for (QWidget* child : view->findChildren<QWidget*>())
        child->installEventFilter(this);
}

GoToBreakdown::~GoToBreakdown()
{
    qInstallMessageHandler(m_previousHandler);
    QLoggingCategory::setFilterRules(QStringLiteral("qs.panes.page.trace.debug=false"));
    g_active = nullptr;
}

bool GoToBreakdown::prepare()
{
    if (!m_view)
        return false;
    bool done = false;
    bool ok = false;
    m_view->page()->runJavaScript(QString::fromUtf8(kPageTiming), [&](const QVariant& v) {
        ok = v.toBool();
        done = true;
    });
    return BenchWait::until([&] { return done; }, 5000) && ok;
}

void GoToBreakdown::keySent()
{
    m_steps.clear();
    m_paints.clear();
    m_keyWallMs = wallMs();
    m_sinceKey.start();
}

void GoToBreakdown::keyReturned()
{
    m_steps.insert(QStringLiteral("returned_ms"), sinceKeyMs());
}

double GoToBreakdown::sinceKeyMs() const
{
    return m_sinceKey.isValid() ? double(m_sinceKey.nsecsElapsed()) / 1e6 : -1;
}

void GoToBreakdown::onMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    GoToBreakdown* self = g_active;
    const bool trace = context.category != nullptr && qstrcmp(context.category, "qs.panes.page.trace") == 0;
    if (self == nullptr || !trace) {
        if (self != nullptr && self->m_previousHandler != nullptr)
            self->m_previousHandler(type, context, message);
        return;
    }
    if (!self->m_sinceKey.isValid() || !message.startsWith(self->m_viewTag))
        return;
    for (const auto& s : kTraceSteps) {
        const QString step = QLatin1String(s.step);
        if (message.contains(QLatin1String(s.text)) && !self->m_steps.contains(step))
            self->m_steps.insert(step, self->sinceKeyMs());
    }
}

bool GoToBreakdown::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && m_sinceKey.isValid())
        m_paints.append(sinceKeyMs());
    return QObject::eventFilter(watched, event);
}

bool GoToBreakdown::collect(const ScreenFrames::Result& screen)
{
    if (!m_view)
        return false;
    QString json;
    bool done = false;
    // The frame's work ends a task after the paint is reported: wait for it.
    BenchWait::until(
        [&] {
            done = false;
            m_view->page()->runJavaScript(QStringLiteral("window.qsBenchTimes && window.qsBenchTimes.committed ? "
                                                         "JSON.stringify(window.qsBenchTimes) : ''"),
                [&](const QVariant& v) {
                    json = v.toString();
                    done = true;
                });
            BenchWait::until([&] { return done; }, 2000);
            return !json.isEmpty();
        },
        2000);
    const QJsonObject page = QJsonDocument::fromJson(json.toUtf8()).object();
    if (page.isEmpty())
        return false;
    const auto at = [&](const char* key) { return page.value(QLatin1String(key)).toDouble() - m_keyWallMs; };
    m_steps.insert(QStringLiteral("script_ms"), at("start"));
    m_steps.insert(QStringLiteral("script_end_ms"), at("end"));
    m_steps.insert(QStringLiteral("make_ms"), page.value(QLatin1String("make")).toDouble());
    m_steps.insert(QStringLiteral("inert_ms"), page.value(QLatin1String("inert")).toDouble());
    m_steps.insert(QStringLiteral("elements"), page.value(QLatin1String("elements")).toDouble());
    m_steps.insert(QStringLiteral("blocks"), page.value(QLatin1String("blocks")).toDouble());
    m_steps.insert(QStringLiteral("frame_ms"), at("frame"));
    const double committed = at("committed");
    m_steps.insert(QStringLiteral("committed_ms"), committed);
    // The first paint of the view's widgets after the frame was handed on.
    for (const double paint : m_paints)
        if (paint >= committed) {
            m_steps.insert(QStringLiteral("qt_paint_ms"), paint);
            break;
        }
    if (screen.ok && screen.settledMs >= 0) {
        m_steps.insert(QStringLiteral("screen_first_ms"), screen.firstChangeMs);
        m_steps.insert(QStringLiteral("screen_ms"), screen.settledMs);
    }
    for (const char* needed : {"goto_ms", "rendered_ms", "sent_ms", "reported_ms", "qt_paint_ms"})
        if (!m_steps.contains(QLatin1String(needed)))
            return false;
    for (auto it = m_steps.cbegin(); it != m_steps.cend(); ++it) {
        m_sums[it.key()] += it.value();
        ++m_counts[it.key()];
    }
    ++m_count;
    return true;
}

void GoToBreakdown::report(benchmark::State& state) const
{
    state.counters["breakdown_gotos"] = m_count;
    if (m_count == 0)
        return;
    for (auto it = m_sums.cbegin(); it != m_sums.cend(); ++it)
        state.counters[it.key().toStdString()] = it.value() / m_counts.value(it.key());
}
