#pragma once
// The lines of the detections window. Lines arrive in batches from the controller;
// they are appended once per batch (one row insertion), and the window drops its
// oldest 2000 lines whenever it would hold more than 12000.
#include <QAbstractListModel>

#include <deque>
#include <vector>

#include "core/DetectionRecords.h"

namespace lv {

class DetectionsModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int kPurgeThreshold = 12000;
    static constexpr int kPurgeCount = 2000;
    enum Role { RecordRole = Qt::UserRole + 1 };

    explicit DetectionsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Queues the line; the rows appear at the next Flush (posted once per batch).
    void Append(const CDetectionItem& item);
    // Appends the queued lines, purging as the window would have line by line.
    void Flush();
    void Clear();
    // The records' active flags changed: redraw every line.
    void RefreshAll();

    const CDetectionItem& Item(int row) const { return items_.at(static_cast<std::size_t>(row)); }
    CQoxResult* Record(int row) const;
    std::size_t PendingCount() const { return pending_.size(); }

signals:
    // After a flush; purged: how many of the oldest lines were dropped.
    void linesAppended(int purged);

private:
    std::deque<CDetectionItem> items_;
    std::vector<CDetectionItem> pending_;
    bool flushQueued_ = false;
};

}  // namespace lv
