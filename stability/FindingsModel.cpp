#include "stability/FindingsModel.h"

#include <QBrush>
#include <QFileInfo>

#include "stability/TrendCharts.h"

namespace stability {

namespace {

enum Column { kFile, kFrame, kChannel, kWhat, kValue, kColumns };

QString KindText(trend::FileIssueKind k)
{
    switch (k) {
    case trend::FileIssueKind::Unreadable: return QStringLiteral("Не читается");
    case trend::FileIssueKind::NotRegular: return QStringLiteral("Пропущен");
    case trend::FileIssueKind::TornTail: return QStringLiteral("Неполный");
    case trend::FileIssueKind::ReadFailed: return QStringLiteral("Ошибка чтения");
    case trend::FileIssueKind::BadLine: return QStringLiteral("Неверная строка");
    }
    return {};
}

} // namespace

int FindingsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : IssueCount() + OutlierCount();
}

int FindingsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant FindingsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case kFile: return QStringLiteral("Файл");
    case kFrame: return QStringLiteral("Кадр");
    case kChannel: return QStringLiteral("Канал");
    case kWhat: return QStringLiteral("Величина");
    case kValue: return QStringLiteral("Значение");
    }
    return {};
}

QVariant FindingsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row();
    if (row < IssueCount()) {
        const IssueRow& i = issues_[static_cast<size_t>(row)];
        if (role == Qt::ToolTipRole) // the whole message, which the column may cut
            return i.Message.isEmpty() ? i.Path : i.Path + QLatin1Char('\n') + i.Message;
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case kFile: return QFileInfo(i.Path).fileName();
        case kWhat: return KindText(i.Kind);
        case kValue: return i.Message;
        }
        return {};
    }
    const OutlierRow& o = outliers_[static_cast<size_t>(row - IssueCount())];
    if (role == Qt::ToolTipRole)
        return QStringLiteral("%1, кадр %2: открыть в окне просмотра, канал %3").arg(o.Path).arg(o.Record + 1).arg(o.Channel);
    if (role == Qt::ForegroundRole && index.column() == kChannel)
        return QBrush(kChannelColours[static_cast<size_t>(o.Channel - 1)]);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case kFile: return QFileInfo(o.Path).fileName();
    case kFrame: return o.Record + 1;
    case kChannel: return o.Channel;
    case kWhat: return o.What == trend::TrendQuantity::Rate ? QStringLiteral("Счёт") : QStringLiteral("Центр");
    case kValue:
        return o.What == trend::TrendQuantity::Rate ? QString::number(static_cast<double>(o.Value), 'f', 2)
                                             : QString::number(static_cast<int>(o.Value));
    }
    return {};
}

void FindingsModel::Clear()
{
    beginResetModel();
    issues_.clear();
    outliers_.clear();
    endResetModel();
}

void FindingsModel::AddIssue(const QString& path, const trend::FileIssue& issue)
{
    const int row = IssueCount();
    beginInsertRows({}, row, row);
    issues_.push_back({path, issue.Kind, QString::fromStdString(issue.Message)});
    endInsertRows();
}

void FindingsModel::SetOutliers(std::vector<OutlierRow> rows)
{
    beginResetModel();
    outliers_ = std::move(rows);
    endResetModel();
}

bool FindingsModel::FrameAt(int row, QString* path, int* record, int* channel) const
{
    if (row < IssueCount() || row >= rowCount())
        return false;
    const OutlierRow& o = outliers_[static_cast<size_t>(row - IssueCount())];
    *path = o.Path;
    *record = o.Record;
    *channel = o.Channel;
    return true;
}

} // namespace stability
