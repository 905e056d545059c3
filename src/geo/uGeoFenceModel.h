#pragma once

#include "uFieldMark.h"
#include "uGeoFence.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <array>

// The geo-fence table as the list shows it: one row per fence in ID order, cell texts made
// on demand from the records. Columns are identified by their tag, so a column the user
// drags elsewhere keeps its content.
class TGeoFenceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn { colID, colName, colLTLatitude, colLTLongitude, colRBLatitude, colRBLongitude };
    static constexpr int kColumns = 6;

    TGeoFenceModel(TGeoFenceList& fences, QObject* parent);

    // The translated header texts, in tag order.
    void SetHeaders(const QStringList& headers);
    // The records changed behind the model's back: every cell is asked for again.
    void Refresh();
    // How fence id compares with the device: a badge on its ID cell and, in words, the
    // row's tooltip.
    void SetMark(int id, TFieldMark mark, const QString& text);
    TFieldMark Mark(int id) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The text of one cell: the ID in decimal, the name, or a corner's number text (empty for
    // a corner that is not set).
    static QString CellText(const TGeoFence& fence, int column);
    // A number as the list and the edit panel show it: up to 15 significant digits, no
    // trailing zeros, "." as the decimal point whatever the user's regional settings.
    static QString GeneralNumberText(double value);

private:
    struct TRowMark {
        TFieldMark Mark = TFieldMark::None;
        QString Text;
    };

    TGeoFenceList& FFences;
    QStringList FHeaders;
    std::array<TRowMark, kGeoFenceCount> FMarks{};
};
