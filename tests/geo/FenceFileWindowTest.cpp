// Export... and Import... on the geo-fence page of the window, pressed as a user does.
#include "GeoTestSupport.h"
#include "uFenceExchange.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <algorithm>

namespace {

class FenceFileWindowTest : public GeoWindowTest {
protected:
    QPushButton* Button(const char* name) {
        auto* button = Window->findChild<QPushButton*>(QString::fromLatin1(name));
        EXPECT_NE(button, nullptr) << name;
        return button;
    }
    void Press(const char* name) { QTest::mouseClick(Button(name), Qt::LeftButton); }

    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = FDir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }
    QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    std::vector<int> SelectedIds() {
        std::vector<int> ids;
        for (const QModelIndex& index : Ui().vtList->selectionModel()->selectedRows()) {
            ids.push_back(index.row() + 1);
        }
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    QStringList Row(int id) {
        QStringList cells;
        for (int column = 0; column < TGeoFenceModel::kColumns; ++column) {
            cells.append(Cell(id, column));
        }
        return cells;
    }
};

const QByteArray kPlan = R"(<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Document>
<Placemark><name>Depot, North!</name><Polygon><outerBoundaryIs><LinearRing><coordinates>
113.9,22.5,0 114.1,22.5,0 114.1,22.4,0 113.9,22.4,0 113.9,22.5,0
</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>
<Placemark><name>3</name><Point><coordinates>-74.01,40.7128</coordinates></Point></Placemark>
<Placemark><name>Road</name><LineString><coordinates>10,20 11,21</coordinates></LineString>
</Placemark>
</Document></kml>)";

} // namespace

TEST_F(FenceFileWindowTest, TheButtonsSitUnderTheListWithTheirTexts) {
    for (const auto& [name, text] :
         {std::pair{"btnGeoImport", "Import..."}, std::pair{"btnGeoExport", "Export..."}}) {
        QPushButton* button = Button(name);
        EXPECT_EQ(button->text(), text);
        EXPECT_FALSE(button->toolTip().isEmpty());
        EXPECT_EQ(button->parentWidget(), Ui().gbGeoFence);
        EXPECT_GT(button->geometry().top(), Ui().vtList->geometry().bottom());
        EXPECT_LT(button->geometry().bottom(), Ui().btn_GeoRead->geometry().top());
        EXPECT_TRUE(button->isEnabled()); // a file needs no device
        // While a fence is edited, the panel covers them with the list.
        Ui().pnlGeoEdit->show();
        const QWidget* top = Ui().gbGeoFence->childAt(button->geometry().center());
        EXPECT_TRUE(top == Ui().pnlGeoEdit || Ui().pnlGeoEdit->isAncestorOf(top)) << name;
        Ui().pnlGeoEdit->hide();
    }
    // Tab goes from the list to them, in the order they stand, then on to the row below.
    QStringList order;
    for (QWidget* widget = Ui().vtList; order.size() < 4; widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus) {
            order.append(widget->objectName());
        }
    }
    EXPECT_EQ(order, QStringList({"vtList", "btnGeoImport", "btnGeoExport", "btn_GeoRead"}));
}

TEST_F(FenceFileWindowTest, ImportFillsTheListMarkedAndSelectedAfterTheUserAgrees) {
    Reply(QStringLiteral("(0123456789,P08,1,11354.0000,2230.0000,11406.0000,2224.0000,HOME)"));
    Reply(QStringLiteral("(0123456789,P08,2,-7400.6000,4042.7680,-7358.2000,4041.0000,NY)"));
    Port->Written.clear();
    Messages.FileAnswer = Write("plan.kml", kPlan);

    Press("btnGeoImport");
    ASSERT_EQ(Messages.Messages.size(), 0) << Messages.Messages.value(0).Text.toStdString();
    ASSERT_EQ(Messages.Questions.size(), 1);
    EXPECT_EQ(Messages.Questions[0].Caption, "Import");
    EXPECT_EQ(Messages.Questions[0].Text,
              "The file holds 3 geo-fence(s). They take the numbers 1-3. These numbers hold a "
              "geo-fence now, which is replaced: 1-2.\n\nThe device keeps its geo-fences until "
              "you write them with Write Selected Geo-fence.");

    EXPECT_EQ(Row(1), (QStringList{"1", "Depot North", "22.5", "113.9", "22.4", "114.1"}));
    EXPECT_EQ(Row(3), (QStringList{"3", "3", "40.7128", "-74.01", "40.7128", "-74.01"}));
    EXPECT_EQ(Row(2), (QStringList{"2", "Road", "21", "10", "20", "11"}));
    for (const int id : {1, 2, 3}) {
        EXPECT_EQ(Model().Mark(id), TFieldMark::Edited) << id;
        EXPECT_EQ(Model().data(Model().index(id - 1, 0), Qt::ToolTipRole).toString(),
                  "Imported from a file, not yet written to the device");
    }
    EXPECT_EQ(Model().Mark(4), TFieldMark::None);
    EXPECT_EQ(SelectedIds(), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(Sent().isEmpty()); // writing stays the user's

    // What the device answers for a fence clears its mark.
    Ui().btn_GeoRead->click();
    Reply(QStringLiteral("(0123456789,P08,1,11354.0000,2230.0000,11406.0000,2224.0000,HOME)"));
    EXPECT_EQ(Model().Mark(1), TFieldMark::None);
    EXPECT_EQ(Model().Mark(2), TFieldMark::Edited);
}

TEST_F(FenceFileWindowTest, ADeclinedOrRefusedImportChangesNothing) {
    Reply(QStringLiteral("(0123456789,P08,1,11354.0000,2230.0000,11406.0000,2224.0000,HOME)"));
    const QStringList before = Row(1);

    Messages.FileAnswer = Write("plan.kml", kPlan);
    Messages.ConfirmAnswer = false;
    Press("btnGeoImport");
    EXPECT_EQ(Messages.Questions.size(), 1);
    EXPECT_EQ(Row(1), before);
    EXPECT_EQ(Cell(3, TGeoFenceModel::colName), "");

    // Refused: which feature and why, and no question.
    Messages.FileAnswer = Write("bad.geojson", R"({"type":"FeatureCollection","features":[
            {"type":"Feature","properties":{"id":7},"geometry":{"type":"Point","coordinates":[1,2]}},
            {"type":"Feature","properties":{"name":"Pole"},
             "geometry":{"type":"Point","coordinates":[10,91]}}]})");
    Press("btnGeoImport");
    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_EQ(Messages.Messages[0].Icon, TMessageIcon::Error);
    EXPECT_EQ(Messages.Messages[0].Text,
              "The geo-fences were not imported, nothing has changed.\n\n" +
                  QDir::toNativeSeparators(*Messages.FileAnswer) +
                  ": feature 2 \"Pole\": latitude 91 is outside -90 to 90");
    EXPECT_EQ(Messages.Questions.size(), 1);
    EXPECT_EQ(Row(1), before);
    EXPECT_EQ(Cell(7, TGeoFenceModel::colName), "");

    // A cancelled file dialog does nothing at all.
    Messages.FileAnswer.reset();
    Press("btnGeoImport");
    EXPECT_EQ(Messages.Messages.size(), 1);
    EXPECT_EQ(Messages.Questions.size(), 1);
}

TEST_F(FenceFileWindowTest, ExportWritesTheSetFencesAndAsksBeforeReplacingAFile) {
    // Nothing set: said so, and no dialog.
    Press("btnGeoExport");
    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_EQ(Messages.Messages[0].Text, "No geo-fence is set, so there is nothing to export.");
    EXPECT_TRUE(Messages.Proposed.isEmpty());

    Reply(QStringLiteral("(0123456789,P08,1,11354.0000,2230.0000,11406.0000,2224.0000,HOME)"));
    Reply(QStringLiteral("(0123456789,P08,9,-7400.6000,4042.7680,-7358.2000,4041.0000,NY)"));
    const QString path = FDir.filePath("out/fences.geojson");
    Messages.FileAnswer = path;
    Press("btnGeoExport");
    ASSERT_EQ(Messages.Proposed.size(), 1);
    EXPECT_TRUE(Messages.Proposed[0].endsWith("/fences/geofences.geojson"));
    EXPECT_TRUE(Messages.Questions.isEmpty());
    const TFenceImport back = TFenceExchange::ImportFile(path);
    ASSERT_EQ(back.Error, QString());
    ASSERT_EQ(back.Fences.size(), 2U);
    EXPECT_EQ(TFenceExchange::DeviceValue(back.Fences[0]),
              "1,11354.0000,2230.0000,11406.0000,2224.0000,HOME");
    EXPECT_EQ(TFenceExchange::DeviceValue(back.Fences[1]),
              "9,-7400.6000,4042.7680,-7358.2000,4041.0000,NY");

    // The file is there: replacing it is asked; declined, it stays as it was.
    const QByteArray first = Read(path);
    Fence(9).Name = QStringLiteral("CHANGED");
    Messages.ConfirmAnswer = false;
    Press("btnGeoExport");
    ASSERT_EQ(Messages.Questions.size(), 1);
    EXPECT_EQ(Messages.Questions[0].Text,
              QDir::toNativeSeparators(path) + " already exists. Replace it with the geo-fences?");
    EXPECT_EQ(Read(path), first);
    Messages.ConfirmAnswer = true;
    Press("btnGeoExport");
    EXPECT_TRUE(Read(path).contains("CHANGED"));
    EXPECT_EQ(Messages.Messages.size(), 1);

    // A name typed without an extension gets ".geojson".
    Messages.FileAnswer = FDir.filePath("plain");
    Press("btnGeoExport");
    EXPECT_EQ(Read(FDir.filePath("plain.geojson")), Read(path));
    EXPECT_FALSE(QFile::exists(FDir.filePath("plain")));
}
