// Export... and Import... on the geo-fence page of the window, pressed as a user does.
#include "GeoTestSupport.h"
#include "uFenceExchange.h"
#include "uKmzArchive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <sys/stat.h>

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
<Placemark><name>3</name><LineString><coordinates>-74.01,40.7128 -73.97,40.6833</coordinates>
</LineString></Placemark>
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
    EXPECT_EQ(Row(3), (QStringList{"3", "3", "40.7128", "-74.01", "40.6833", "-73.97"}));
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

// The file's extension chooses the format; links, pipes and names planted where temporary
// files once lay are written the way they must be; what no file can hold is named.
TEST_F(FenceFileWindowTest, ExportWritesEachFormatThroughLinksAndPipesAndNamesWhatItLeavesOut) {
    Reply(QStringLiteral("(0123456789,P08,1,11354.0000,2230.0000,11406.0000,2224.0000,HOME)"));
    Reply(QStringLiteral("(0123456789,P08,2,17700.0000,-1600.0000,-17800.0000,-1900.0000,Fiji)"));
    for (const char* name : {"plan.kml", "plan.kmz", "plan.geojson"}) {
        Messages.FileAnswer = FDir.filePath(QLatin1String(name));
        Press("btnGeoExport");
        const TFenceImport back = TFenceExchange::ImportFile(*Messages.FileAnswer);
        ASSERT_EQ(back.Error, QString()) << name;
        EXPECT_EQ(back.Numbers(), std::vector<int>{1}) << name;
    }
    EXPECT_TRUE(Read(FDir.filePath("plan.kml")).contains("<Placemark>"));
    EXPECT_TRUE(Read(FDir.filePath("plan.kmz")).startsWith("PK\x03\x04"));
    ASSERT_EQ(Messages.Messages.size(), 3);
    EXPECT_EQ(Messages.Messages[0].Icon, TMessageIcon::Warning);
    EXPECT_EQ(Messages.Messages[0].Text,
              "These geo-fences were left out of the file:\n\ngeo-fence 2 \"Fiji\": its left top "
              "corner lies east of its right bottom corner, across the 180° meridian");

    Write("victim", "victim");
    ASSERT_TRUE(QFile::link(FDir.filePath("victim"), FDir.filePath("out.geojson.partial")));
    ASSERT_TRUE(QFile::link(FDir.filePath("real.geojson"), FDir.filePath("link.geojson")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(FDir.filePath("pipe.geojson")).constData(), 0600), 0);
    QProcess reader;
    reader.start("cat", {FDir.filePath("pipe.geojson")});
    for (const char* name : {"out.geojson", "link.geojson", "pipe.geojson"}) {
        Messages.FileAnswer = FDir.filePath(QLatin1String(name));
        Press("btnGeoExport");
    }
    ASSERT_TRUE(reader.waitForFinished(10'000));
    const QByteArray geojson = Read(FDir.filePath("plan.geojson"));
    EXPECT_EQ(reader.readAllStandardOutput(), geojson);
    EXPECT_EQ(Read(FDir.filePath("victim")), "victim");
    EXPECT_EQ(Read(FDir.filePath("out.geojson")), geojson);
    EXPECT_TRUE(QFileInfo(FDir.filePath("link.geojson")).isSymLink());
    EXPECT_EQ(Read(FDir.filePath("real.geojson")), geojson);
    EXPECT_FALSE(QFileInfo(FDir.filePath("pipe.geojson")).isFile());
    // A folder is refused with the reason.
    Messages.FileAnswer = FDir.filePath("folder.geojson");
    ASSERT_TRUE(QDir().mkpath(*Messages.FileAnswer));
    Press("btnGeoExport");
    EXPECT_EQ(Messages.Messages.last().Icon, TMessageIcon::Error);
    EXPECT_EQ(Messages.Messages.last().Text, "Cannot write " +
                                                 QDir::toNativeSeparators(*Messages.FileAnswer) +
                                                 ": it is a folder");
}

TEST_F(FenceFileWindowTest, ImportReadsKmzAndListsWhatItSkips) {
    const QByteArray kml = R"(<kml xmlns="http://www.opengis.net/kml/2.2"><Document>
<Placemark><name>Note</name></Placemark>
<Placemark><name>Yard</name><ExtendedData><Data name="ID"><displayName>Fence</displayName>
<value>7</value></Data></ExtendedData><LineString><coordinates>1,1 2,2</coordinates></LineString>
</Placemark></Document></kml>)";
    QString error;
    Messages.FileAnswer = Write("plan.kmz", TKmzArchive::Pack(kml, error).value());
    Press("btnGeoImport");
    ASSERT_EQ(Messages.Questions.size(), 1) << Messages.Messages.value(0).Text.toStdString();
    EXPECT_EQ(Messages.Questions[0].Text,
              "The file holds 1 geo-fence(s). They take the numbers 7. These features have no "
              "geometry and are skipped: feature 1 \"Note\".\n\nThe device keeps its geo-fences "
              "until you write them with Write Selected Geo-fence.");
    EXPECT_EQ(Row(7), (QStringList{"7", "Yard", "2", "1", "1", "2"}));
}
