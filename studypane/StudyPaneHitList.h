// The hits of a study sub-pane's search (Find, the notes and journal lists): the search session whose
// results the sub-pane shows, and the rows of its table, one per section header ("<section>
// (<count>)") and per hit, painted by StudyPaneHitDelegate. The sub-pane says what a hit row shows
// and when the column's title is known; the list answers the table's model for the rows.
//
// Owned by its sub-pane, which also owns the model (made here with the table). Main thread only (the
// runs themselves execute on the search pool).
#pragma once

#include "studypane/StudyPaneResultListModel.h"

#include <QStyledItemDelegate>

#include <functional>
#include <memory>
#include <optional>

class QTableView;
class QTextDocument;
class SearchResultsAggregator;
class SearchSession;
class SourceTupleID;
class UserDefaults;

class StudyPaneHitList : public StudyPaneResultList {
public:
    // The least heights of the rows (section headers, one-line hits); the rows grow with their font.
    static constexpr int kHeaderRowHeight = 17;
    static constexpr int kSmallRowHeight = 17;
    // A hit with its text shows its title and this many lines of the text.
    static constexpr int kLargeRowTextLines = 4;

    // What a hit row shows for a role (never asked for a section header row).
    using HitData = std::function<QVariant(const SearchResultsAggregator& results, int row, int role)>;
    // The column's title once it can be told (nothing yet).
    using TitleSource = std::function<std::optional<QString>()>;

    StudyPaneHitList(HitData hitData, TitleSource title);
    ~StudyPaneHitList() override;

    SearchSession& session() { return *m_session; }
    SearchResultsAggregator& aggregator();
    const SearchResultsAggregator& aggregator() const;
    // The results when they are of that book, else null.
    SearchResultsAggregator* resultsFor(const SourceTupleID& id);
    // The section or key of a hit row; nothing for a header row or a row that names no place.
    std::optional<quint32> positionOfRow(int row) const;

    // Makes the model (owned by `owner`) and the table of hits under the parent.
    QTableView* makeTable(QWidget* parent, QObject* owner, const UserDefaults* defaults);
    // The column's title (null until the title source or `setTitle` gives one).
    const std::optional<QString>& title() const { return m_title; }
    void setTitle(std::optional<QString> title);
    // The rows changed: names the column if it is still unnamed, and the table reads them again.
    void reload();
    // What the section headers count: the hits `counted` accepts (every hit when it is empty).
    void setCounted(std::function<bool(quint32 section)> counted) { m_counted = std::move(counted); }

    int resultRowCount() const override;
    QVariant resultData(int row, int role) const override;
    QString resultColumnTitle() const override { return m_title.value_or(QString()); }

private:
    void labelColumn();

    std::shared_ptr<SearchSession> m_session;
    HitData m_hitData;
    TitleSource m_titleSource;
    StudyPaneResultListModel* m_model = nullptr;
    std::optional<QString> m_title;
    std::function<bool(quint32 section)> m_counted;
};

// Paints the three kinds of rows: headers, one-line hits and hits with their HTML text; a hit's text
// is measured at the text size of `defaults` (the study pane's; none: the style sheet's own).
class StudyPaneHitDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    StudyPaneHitDelegate(const UserDefaults* defaults, QObject* parent)
        : QStyledItemDelegate(parent), m_defaults(defaults)
    {
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Paints a title in bold on the first line of `r` and the HTML below it, in the text colour,
    // leaving the painter moved to the HTML's top left and clipped to the whole lines that fit; gives
    // that area, and tells whether the HTML goes on below it.
    static QRect paintTitleAndHtml(QPainter* painter, const QStyleOptionViewItem& option, const QRect& r,
        const QString& title, const QString& html, bool* overflows = nullptr);
    // The height of a row that paintTitleAndHtml fills with its title in `font` and `lines` lines of
    // result text at the text size of `defaults` ("baseFontSize" and "bodyFont" of the result pages'
    // style).
    static int titleAndTextRowHeight(const UserDefaults* defaults, const QFont& font, int lines);
    // The HTML laid out in `font` at `width`: made once per markup, font and width, and kept for the
    // paints that follow (the most recently used few thousand KB of markup).
    // On `background` (a chosen row's selection colour), the text's own colours (a search hit's) that
    // would not read there are drawn in the nearest colour that does.
    static const QTextDocument& laidOutHtml(
        const QString& html, const QFont& font, int width, const QColor& background = QColor());
    // The height of the whole lines of that HTML that end within `room` (all of them when negative).
    static int htmlHeight(const QString& html, const QFont& font, int width, int room);
    // The frame of the current row while its list has the keyboard focus.
    static void paintCurrentFrame(QPainter* painter, const QStyleOptionViewItem& option);
    // How many row documents have been made so far.
    static int documentsMade();

private:
    const UserDefaults* m_defaults;
};
