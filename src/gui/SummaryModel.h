#pragma once
// The lines of the summary window: one runner answer each; the window drops its
// oldest 2000 lines when it reaches 8001.
#include <QAbstractListModel>

#include <deque>

#include "core/DetectionRecords.h"

namespace lv {

class SummaryModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int kPurgeThreshold = 8000;
    static constexpr int kPurgeCount = 2000;

    explicit SummaryModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void Append(const CSummaryItem& item);
    void Clear();
    const CSummaryItem& Item(int row) const { return items_.at(static_cast<std::size_t>(row)); }

private:
    std::deque<CSummaryItem> items_;
};

// The lines of the log window, as the logger hands them over. The logger keeps the
// lines and decides the purge; this model mirrors it.
class LogModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit LogModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Queued; appended once per batch.
    void Append(const std::string& line);
    void Flush();
    void DropOldest(std::size_t count);
    void Clear();

signals:
    void linesAppended();

private:
    std::deque<QString> lines_;
    std::vector<QString> pending_;
    bool flushQueued_ = false;
};

}  // namespace lv
