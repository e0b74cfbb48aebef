#include "gui/DetectionsModel.h"

#include "base/Log.h"

namespace lv {

DetectionsModel::DetectionsModel(QObject* parent) : QAbstractListModel(parent) {}

int DetectionsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

QVariant DetectionsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) return {};
    const CDetectionItem& item = items_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole: return QString::fromUtf8(item.line.data(), static_cast<int>(item.line.size()));
        case RecordRole: return QVariant::fromValue(reinterpret_cast<quintptr>(item.result));
        default: return {};
    }
}

CQoxResult* DetectionsModel::Record(int row) const {
    if (row < 0 || row >= rowCount()) return nullptr;
    return items_[static_cast<std::size_t>(row)].result;
}

void DetectionsModel::Append(const CDetectionItem& item) {
    pending_.push_back(item);
    if (!flushQueued_) {
        flushQueued_ = true;
        QMetaObject::invokeMethod(this, &DetectionsModel::Flush, Qt::QueuedConnection);
    }
}

void DetectionsModel::Flush() {
    flushQueued_ = false;
    if (pending_.empty()) return;
    std::vector<CDetectionItem> batch;
    batch.swap(pending_);

    // The purges the window would have made adding the lines one by one.
    std::size_t count = items_.size();
    std::size_t purged = 0;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        if (++count > static_cast<std::size_t>(kPurgeThreshold)) {
            count -= kPurgeCount;
            purged += kPurgeCount;
        }
    }
    for (std::size_t done = 0; done < purged; done += kPurgeCount) WriteLogFile("Purge Detections Window content...");

    const std::size_t fromOld = std::min(purged, items_.size());
    const std::size_t fromBatch = purged - fromOld;
    if (fromOld > 0) {
        beginRemoveRows(QModelIndex(), 0, static_cast<int>(fromOld) - 1);
        items_.erase(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(fromOld));
        endRemoveRows();
    }
    if (fromBatch < batch.size()) {
        const int first = static_cast<int>(items_.size());
        const int last = first + static_cast<int>(batch.size() - fromBatch) - 1;
        beginInsertRows(QModelIndex(), first, last);
        for (std::size_t i = fromBatch; i < batch.size(); ++i) items_.push_back(std::move(batch[i]));
        endInsertRows();
    }
    for (std::size_t done = 0; done < purged; done += kPurgeCount) WriteLogFile("Purge Detections Window done");
    emit linesAppended(static_cast<int>(purged));
}

void DetectionsModel::Clear() {
    pending_.clear();
    if (items_.empty()) return;
    beginResetModel();
    items_.clear();
    endResetModel();
}

void DetectionsModel::RefreshAll() {
    if (items_.empty()) return;
    emit dataChanged(index(0), index(rowCount() - 1));
}

}  // namespace lv
