#include "studypane/SearchResultPage.h"

#include "render/CSSManager.h"

#include <QRegularExpression>

#include <algorithm>

namespace SearchResultPage {

QString page(const UserDefaults* defaults, const QString& body)
{
    // The sheet of result lists, and the rules of the highlight colours the cell shows.
    const QString css = defaults != nullptr
        ? CSSManager(*defaults).cssForSearchResultsView() + CSSManager(*defaults).highlightColorRulesFor(body)
        : QString();
    // html-safe: the style sheet is the user's own; the body is the search page, built with its texts escaped
    return QStringLiteral("<html><head><meta charset=\"UTF-8\"><title>Title</title><style type=\"text/css\">%1</style>"
                          "</head><body>")
               .arg(css) +
        withoutHiddenElements(body, hiddenClasses(css)) + QStringLiteral("</body></html>");
}

QSet<QString> hiddenClasses(const QString& css)
{
    static const QRegularExpression rule(QStringLiteral("\\.([A-Za-z0-9_-]+)\\s*\\{[^}]*display\\s*:\\s*none"));
    QSet<QString> out;
    for (auto it = rule.globalMatch(css); it.hasNext();)
        out.insert(it.next().captured(1));
    return out;
}

QString withoutHiddenElements(const QString& html, const QSet<QString>& hidden)
{
    if (hidden.isEmpty())
        return html;
    static const QRegularExpression open(
        QStringLiteral("<([A-Za-z][A-Za-z0-9]*)\\b[^>]*\\bclass\\s*=\\s*['\"]([^'\"]*)['\"][^>]*>"));
    QString out;
    out.reserve(html.size());
    qsizetype at = 0;
    for (auto it = open.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedStart() < at)
            continue;  // inside an element already cut
        const QStringList classes = m.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (std::none_of(classes.begin(), classes.end(), [&hidden](const QString& c) { return hidden.contains(c); }))
            continue;
        if (m.captured(0).endsWith(QStringLiteral("/>"))) {
            out += QStringView(html).mid(at, m.capturedStart() - at);
            at = m.capturedEnd();
            continue;
        }
        // Find the matching end tag, counting nested elements of the same name.
        const QString name = m.captured(1).toLower();
        const QRegularExpression tag(
            QStringLiteral("<(/?)%1\\b[^>]*>").arg(name), QRegularExpression::CaseInsensitiveOption);
        int depth = 1;
        qsizetype end = html.size();
        for (auto t = tag.globalMatch(html, m.capturedEnd()); t.hasNext();) {
            const QRegularExpressionMatch tm = t.next();
            if (tm.captured(0).endsWith(QStringLiteral("/>")))
                continue;
            depth += tm.captured(1).isEmpty() ? 1 : -1;
            if (depth == 0) {
                end = tm.capturedEnd();
                break;
            }
        }
        out += QStringView(html).mid(at, m.capturedStart() - at);
        at = end;
    }
    out += QStringView(html).mid(at);
    return out;
}

}  // namespace SearchResultPage
