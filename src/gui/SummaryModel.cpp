#include "gui/SummaryModel.h"

#include "base/Log.h"

namespace lv {

SummaryModel::SummaryModel(QObject* parent) : QAbstractListModel(parent) {}

int SummaryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

QVariant SummaryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) return {};
    if (role != Qt::DisplayRole) return {};
    const CSummaryItem& item = items_[static_cast<std::size_t>(index.row())];
    return QString::fromStdString(item.name + " " + item.time + " " + item.rank);
}

void SummaryModel::Append(const CSummaryItem& item) {
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    items_.push_back(item);
    endInsertRows();
    if (items_.size() > static_cast<std::size_t>(kPurgeThreshold)) {
        WriteLogFile("Purge Summary Window content...");
        beginRemoveRows(QModelIndex(), 0, kPurgeCount - 1);
        items_.erase(items_.begin(), items_.begin() + kPurgeCount);
        endRemoveRows();
        WriteLogFile("Purge Summary Window done");
    }
}

void SummaryModel::Clear() {
    beginResetModel();
    items_.clear();
    endResetModel();
}

// ---------------------------------------------------------------------------

LogModel::LogModel(QObject* parent) : QAbstractListModel(parent) {}

int LogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant LogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) return {};
    if (role != Qt::DisplayRole) return {};
    return lines_[static_cast<std::size_t>(index.row())];
}

void LogModel::Append(const std::string& line) {
    pending_.push_back(QString::fromUtf8(line.data(), static_cast<int>(line.size())));
    if (!flushQueued_) {
        flushQueued_ = true;
        QMetaObject::invokeMethod(this, &LogModel::Flush, Qt::QueuedConnection);
    }
}

void LogModel::Flush() {
    flushQueued_ = false;
    if (pending_.empty()) return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(pending_.size()) - 1);
    for (auto& line : pending_) lines_.push_back(std::move(line));
    endInsertRows();
    pending_.clear();
    emit linesAppended();
}

void LogModel::DropOldest(std::size_t count) {
    // The drop follows the lines handed over before it.
    Flush();
    count = std::min(count, lines_.size());
    if (count == 0) return;
    beginRemoveRows(QModelIndex(), 0, static_cast<int>(count) - 1);
    lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(count));
    endRemoveRows();
}

void LogModel::Clear() {
    pending_.clear();
    beginResetModel();
    lines_.clear();
    endResetModel();
}

}  // namespace lv
