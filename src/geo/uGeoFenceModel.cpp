#include "uGeoFenceModel.h"

namespace {

const int kLeftAligned = int(Qt::AlignLeft | Qt::AlignVCenter);

QString CornerText(double value) {
    return value == 0.0 ? QString() : TGeoFenceModel::GeneralNumberText(value);
}

} // namespace

TGeoFenceModel::TGeoFenceModel(TGeoFenceList& fences, QObject* parent)
    : QAbstractTableModel(parent), FFences(fences) {}

void TGeoFenceModel::SetHeaders(const QStringList& headers) {
    FHeaders = headers;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

void TGeoFenceModel::Refresh() {
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1), {Qt::DisplayRole});
}

int TGeoFenceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FFences.size());
}

int TGeoFenceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant TGeoFenceModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return CellText(FFences[index.row()], index.column());
    case Qt::TextAlignmentRole:
        return kLeftAligned;
    default:
        return {};
    }
}

QVariant TGeoFenceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= FHeaders.size()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return FHeaders[section];
    case Qt::TextAlignmentRole:
        return kLeftAligned;
    default:
        return {};
    }
}

QString TGeoFenceModel::CellText(const TGeoFence& fence, int column) {
    switch (column) {
    case colID:
        return QString::number(fence.ID);
    case colName:
        return fence.Name;
    case colLTLatitude:
        return CornerText(fence.LTLatitude);
    case colLTLongitude:
        return CornerText(fence.LTLongitude);
    case colRBLatitude:
        return CornerText(fence.RBLatitude);
    case colRBLongitude:
        return CornerText(fence.RBLongitude);
    default:
        return {};
    }
}

QString TGeoFenceModel::GeneralNumberText(double value) {
    // QString::number always writes the C locale's form.
    return QString::number(value, 'g', 15);
}
