#pragma once
// How the lines of the detections and summary windows are drawn: tab-separated
// columns of fixed widths counted in average character widths.
#include <QPixmap>
#include <QStringList>
#include <QStyledItemDelegate>

#include <vector>

namespace lv {

// Column widths of a detections line, in average character widths: 10, 25, 30, 80,
// the first 15 when the line starts with "+" (a time beyond 24 hours).
std::vector<int> DetectionColumnWidths(const QString& line);

class DetectionsDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kMarkerColumnPixels = 20;
    static const QColor kSelectedBackground;  // dark blue (0, 0, 128)

    explicit DetectionsDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QPixmap removedMarker_;
};

// Text colour of a summary line: dark green for status 0, brown for a positive
// status, black for a negative one.
QColor SummaryTextColour(int status);

class SummaryDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit SummaryDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Tab-separated lines drawn with tab stops made from sample texts: stop n is the sum of
// the widths of samples 1..n in the list's font, each with a margin, so that columns
// of numbers, dates and times line up whatever the font.
class TabStopsDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TabStopsDelegate(QStringList samples, QObject* parent = nullptr);

    // The stops, in pixels from the line's left, for `font`.
    std::vector<int> TabStops(const QFont& font) const;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QStringList samples_;
};

}  // namespace lv
