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
    case Qt::DecorationRole:
        return index.column() == colID ? QVariant(FieldMarkIcon(FMarks[index.row()].Mark))
                                       : QVariant();
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        return FMarks[index.row()].Mark == TFieldMark::None ? QVariant()
                                                            : QVariant(FMarks[index.row()].Text);
    default:
        return {};
    }
}

void TGeoFenceModel::SetMark(int id, TFieldMark mark, const QString& text) {
    if (id < 1 || id > kGeoFenceCount) {
        return;
    }
    TRowMark next{mark, mark == TFieldMark::None ? QString() : text};
    if (FMarks[id - 1].Mark == next.Mark && FMarks[id - 1].Text == next.Text) {
        return;
    }
    FMarks[id - 1] = std::move(next);
    Q_EMIT dataChanged(index(id - 1, 0), index(id - 1, kColumns - 1));
}

TFieldMark TGeoFenceModel::Mark(int id) const {
    return id >= 1 && id <= kGeoFenceCount ? FMarks[id - 1].Mark : TFieldMark::None;
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
