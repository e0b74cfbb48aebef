#include "gui/LineDelegates.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

#include "gui/DetectionsModel.h"
#include "gui/StateImages.h"
#include "gui/SummaryModel.h"

namespace lv {

namespace {

QFont NormalWeight(QFont font) {
    font.setBold(false);
    font.setWeight(QFont::Normal);
    return font;
}

void DrawColumn(QPainter* painter, const QRect& cell, int left, int width, const QString& text) {
    QRect column(left, cell.top(), width, cell.height());
    painter->save();
    painter->setClipRect(column.intersected(cell));
    painter->drawText(column, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter->restore();
}

int LineHeight(const QStyleOptionViewItem& option) { return QFontMetrics(NormalWeight(option.font)).height() + 2; }

}  // namespace

const QColor DetectionsDelegate::kSelectedBackground(0, 0, 128);

std::vector<int> DetectionColumnWidths(const QString& line) {
    return {line.startsWith('+') ? 15 : 10, 25, 30, 80};
}

DetectionsDelegate::DetectionsDelegate(QObject* parent)
    : QStyledItemDelegate(parent), removedMarker_(RemovedMarkerImage(14)) {}

void DetectionsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QRect cell = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(cell, selected ? kSelectedBackground : QColor(Qt::white));
    painter->setPen(selected ? QColor(Qt::white) : QColor(Qt::black));
    const QFont font = NormalWeight(option.font);
    painter->setFont(font);
    const int avg = QFontMetrics(font).averageCharWidth();

    int x = cell.left() + avg;
    auto* record = reinterpret_cast<const CQoxResult*>(index.data(DetectionsModel::RecordRole).value<quintptr>());
    if (record && record->active == 0) {
        const QSize size = removedMarker_.size();
        painter->drawPixmap(x + (kMarkerColumnPixels - size.width()) / 2,
                            cell.top() + (cell.height() - size.height()) / 2, removedMarker_);
    }
    x += kMarkerColumnPixels;

    const QString line = index.data(Qt::DisplayRole).toString();
    const std::vector<int> widths = DetectionColumnWidths(line);
    const QStringList columns = line.split('\t');
    for (int i = 0; i < columns.size(); ++i) {
        const int width = widths[std::min<std::size_t>(static_cast<std::size_t>(i), widths.size() - 1)] * avg;
        DrawColumn(painter, cell, x, width, columns[i]);
        x += width;
    }
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.rect = cell;
        focus.state = option.state;
        focus.backgroundColor = selected ? kSelectedBackground : QColor(Qt::white);
        QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter);
    }
    painter->restore();
}

QSize DetectionsDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int avg = QFontMetrics(NormalWeight(option.font)).averageCharWidth();
    return QSize(avg * (1 + 15 + 25 + 30 + 80) + kMarkerColumnPixels, LineHeight(option));
}

// ---------------------------------------------------------------------------

QColor SummaryTextColour(int status) {
    if (status == 0) return QColor(0, 64, 0);
    if (status > 0) return QColor(140, 70, 0);
    return QColor(Qt::black);
}

SummaryDelegate::SummaryDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void SummaryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    auto* model = qobject_cast<const SummaryModel*>(index.model());
    if (!model) return;
    const CSummaryItem& item = model->Item(index.row());
    const QRect cell = option.rect;
    painter->save();
    painter->fillRect(cell, Qt::white);
    const QFont font = NormalWeight(option.font);
    painter->setFont(font);
    painter->setPen(SummaryTextColour(item.status));
    const int avg = QFontMetrics(font).averageCharWidth();

    const QString texts[] = {item.bib != 0 ? QString::number(item.bib) : QString(), QString::fromStdString(item.name),
                             QString::fromStdString(item.time), QString::fromStdString(item.info),
                             QString::fromStdString(item.rank)};
    const int widths[] = {5, 25, 10, 4, 80};
    int x = cell.left() + avg;
    for (int i = 0; i < 5; ++i) {
        DrawColumn(painter, cell, x, widths[i] * avg, texts[i]);
        x += (widths[i] + 1) * avg;
    }
    painter->restore();
}

QSize SummaryDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int avg = QFontMetrics(NormalWeight(option.font)).averageCharWidth();
    return QSize(avg * (1 + 6 + 26 + 11 + 5 + 80), LineHeight(option));
}

TabStopsDelegate::TabStopsDelegate(QStringList samples, QObject* parent)
    : QStyledItemDelegate(parent), samples_(std::move(samples)) {}

std::vector<int> TabStopsDelegate::TabStops(const QFont& font) const {
    const QFontMetrics metrics(font);
    // The margin of a dialog's tab stop: 15 dialog units, a dialog unit being a quarter
    // of the average character width.
    const int margin = 15 * metrics.averageCharWidth() / 4;
    std::vector<int> stops;
    int x = 0;
    for (const QString& sample : samples_) {
        x += metrics.horizontalAdvance(sample) + margin;
        stops.push_back(x);
    }
    return stops;
}

void TabStopsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString line = item.text;
    item.text.clear();
    QStyle* style = item.widget ? item.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget);
    const std::vector<int> stops = TabStops(item.font);
    const QStringList columns = line.split('\t');
    painter->save();
    painter->setFont(item.font);
    painter->setPen(item.palette.color(item.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    for (int i = 0; i < columns.size(); ++i) {
        const int left = text.left() + (i == 0 ? 0 : stops[std::min<std::size_t>(i - 1, stops.size() - 1)]);
        const int right = i < static_cast<int>(stops.size()) ? text.left() + stops[i] : text.right();
        if (left >= text.right()) break;
        const QRect column(left, text.top(), std::max(0, std::min(right, text.right()) - left), text.height());
        painter->drawText(column, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, columns[i]);
    }
    painter->restore();
}

}  // namespace lv
