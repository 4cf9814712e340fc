#pragma once
// The list beside the stability charts: files that were skipped or read in
// part, then the marked outliers (file, frame, channel, quantity, value).
#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "trend/FonScan.h"
#include "trend/Outliers.h"

namespace stability {

/// Rows of file problems followed by rows of outliers.
class FindingsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    /// One marked value with the file and record it comes from.
    struct OutlierRow {
        QString Path;
        int Record;     ///< from 0
        int Channel;    ///< 1..4
        trend::TrendQuantity What;
        float Value;
    };

    using QAbstractTableModel::QAbstractTableModel;

    /// File problems plus outliers.
    int rowCount(const QModelIndex& parent = {}) const override;
    /// Файл, Кадр, Канал, Величина, Значение.
    int columnCount(const QModelIndex& parent = {}) const override;
    /// Texts of a row; the full path (and a file problem's message) as tool
    /// tip; the channel in its colour.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    /// Column titles.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// Removes every row.
    void Clear();
    /// Adds a file problem (before the outliers).
    void AddIssue(const QString& path, const trend::FileIssue& issue);
    /// Replaces the outlier rows.
    void SetOutliers(std::vector<OutlierRow> rows);

    /// The file, record and channel of row `row` when it is an outlier;
    /// false for a file problem.
    bool FrameAt(int row, QString* path, int* record, int* channel) const;
    int IssueCount() const { return static_cast<int>(issues_.size()); }
    int OutlierCount() const { return static_cast<int>(outliers_.size()); }

private:
    struct IssueRow {
        QString Path;
        trend::FileIssueKind Kind;
        QString Message;
    };
    std::vector<IssueRow> issues_;
    std::vector<OutlierRow> outliers_;
};

} // namespace stability
