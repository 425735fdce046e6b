// The page's answers to scripts (TestSupport.h).
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <optional>

namespace TestSupport {

std::optional<QVariant> runScript(QWebEnginePage* page, const QString& script, int msecs)
{
    if (page == nullptr)
        return std::nullopt;
    // Shared with the callback, which may still come after a wait that gave up.
    struct Answer {
        bool done = false;
        QVariant value;
    };
    auto answer = std::make_shared<Answer>();
    page->runJavaScript(script, [answer](const QVariant& v) {
        answer->value = v;
        answer->done = true;
    });
    QPointer<QWebEnginePage> alive(page);
    if (!waitFor([&] { return answer->done || alive.isNull(); }, msecs) || !answer->done)
        return std::nullopt;
    return answer->value;
}

QString pageText(QWebEnginePage* page, int msecs)
{
    if (page == nullptr)
        return QString();
    // Asked of the page, not of its scripts: it answers with scripts turned off too.
    auto text = std::make_shared<std::optional<QString>>();
    page->toPlainText([text](const QString& t) { *text = t; });
    QPointer<QWebEnginePage> alive(page);
    waitFor([&] { return text->has_value() || alive.isNull(); }, msecs);
    return text->value_or(QString());
}

bool waitForScript(QWebEnginePage* page, const QString& script, const QVariant& expected, int msecs)
{
    QElapsedTimer clock;
    clock.start();
    return waitFor(
        [&] {
            const int left = int(qMax<qint64>(1, msecs - clock.elapsed()));
            const std::optional<QVariant> answer = runScript(page, script, left);
            return answer.has_value() && *answer == expected;
        },
        msecs);
}

namespace {

bool showsMoreThanItsBackground(QWidget* view)
{
    const QImage image = view->grab().toImage();
    if (image.isNull())
        return false;
    const QRgb background = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if (image.pixel(x, y) != background)
                return true;
    return false;
}

}  // namespace

bool waitForPainted(QWebEnginePage* page, QWidget* view, int msecs)
{
    QPointer<QWebEnginePage> alivePage(page);
    QPointer<QWidget> aliveView(view);
    return waitFor(
        [&] {
            return !alivePage.isNull() && !alivePage->isLoading() && !aliveView.isNull() && aliveView->isVisible() &&
                showsMoreThanItsBackground(aliveView);
        },
        msecs);
}

bool waitForViewsPainted(QWidget* window, int msecs)
{
    QElapsedTimer clock;
    clock.start();
    const auto left = [&clock, msecs] { return int(qMax<qint64>(1, msecs - clock.elapsed())); };
    for (QWebEngineView* view : window->findChildren<QWebEngineView*>()) {
        if (!view->isVisible())
            continue;
        QWebEnginePage* page = view->page();
        if (!waitFor([page] { return !page->isLoading(); }, left()))
            return false;
        if (pageText(page, left()).trimmed().isEmpty())
            continue;  // nothing to paint
        if (!waitForPainted(page, view, left()))
            return false;
    }
    return true;
}

}  // namespace TestSupport
