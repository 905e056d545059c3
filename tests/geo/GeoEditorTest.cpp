// The geo-fence operations on the window's controls and line, with a map page that is there
// and records what it is told.
#include "GeoTestSupport.h"
#include "uGeoFenceEditor.h"

#include <QSignalSpy>
#include <QTest>
#include <cstdlib>

namespace {

class GeoEditorTest : public GeoWindowTest {
protected:
    void SetFence(int id, double ltLatitude, double ltLongitude, double rbLatitude,
                  double rbLongitude, const char* name = "") {
        TGeoFence& fence = Fence(id);
        fence.LTLatitude = ltLatitude;
        fence.LTLongitude = ltLongitude;
        fence.RBLatitude = rbLatitude;
        fence.RBLongitude = rbLongitude;
        fence.Name = QString::fromLatin1(name);
    }
    void TypeIntoPanel(const char* name, const char* ltLongitude, const char* ltLatitude,
                       const char* rbLongitude, const char* rbLatitude) {
        Ui().txtGeofenceName->setText(QString::fromLatin1(name));
        Ui().txtGeofenceLTLongitude->setText(QString::fromLatin1(ltLongitude));
        Ui().txtGeofenceLTLatitude->setText(QString::fromLatin1(ltLatitude));
        Ui().txtGeofenceRBLongitude->setText(QString::fromLatin1(rbLongitude));
        Ui().txtGeofenceRBLatitude->setText(QString::fromLatin1(rbLatitude));
    }
    bool PanelOpen() { return !Ui().pnlGeoEdit->isHidden(); }

    TRecordingMapPage Map;
    TGeoFenceEditor Editor{Ui(), Window->Engine(), Map, Messages, Window->GeoFences(), Model()};
};

const QString kShow = QStringLiteral(
    "showGeoFence(22.500000,113.900000,22.400000,114.100000,3,\"#FF0000\",\"#FF0000\")");
const QString kZoom = QStringLiteral("SetMapZoom(22.500000,113.900000,22.400000,114.100000)");

} // namespace

TEST_F(GeoEditorTest, AListClickDrawsTheSelectedFenceAndPansToIt) {
    SetFence(5, 22.5, 113.9, 22.4, 114.1);
    Select({5});
    Editor.vtListClick();
    EXPECT_EQ(Map.Statements,
              QStringList({"hideGeoFence()", kShow, kZoom, "locateTo(22.500000, 113.900000);"}));
}

// After removing the drawn fences, a click draws only a fence that is set, and pans only to a
// left-top corner with both values set.
TEST_F(GeoEditorTest, AListClickDrawsOnlyWhatItCan) {
    struct TCase {
        const char* what;
        int select; // 0: no row
        double ltLatitude;
        QStringList drawn;
    };
    const TCase cases[] = {
        {"empty fence", 6, 0.0, {}},
        {"no row selected", 0, 22.5, {}},
        {"left-top latitude 0",
         5,
         0.0,
         {"showGeoFence(0.000000,113.900000,22.400000,114.100000,3,\"#FF0000\",\"#FF0000\")",
          "SetMapZoom(0.000000,113.900000,22.400000,114.100000)"}},
    };
    for (const TCase& c : cases) {
        SetFence(5, c.ltLatitude, 113.9, 22.4, 114.1);
        Ui().vtList->clearSelection();
        if (c.select != 0) {
            Select({c.select});
        }
        Map.Statements.clear();
        Editor.vtListClick();
        EXPECT_EQ(Map.Statements, QStringList{"hideGeoFence()"} + c.drawn) << c.what;
    }
}

TEST_F(GeoEditorTest, ShowAllDrawsEverySetFenceAndPansOnlyToTheLast) {
    SetFence(2, 22.5, 113.9, 22.4, 114.1);
    SetFence(40, 22.5, 113.9, 22.4, 114.1);
    Editor.btn_GeoShowAllFenceClick();
    EXPECT_EQ(Map.Statements, QStringList({"hideGeoFence()", kShow, kZoom, kShow, kZoom}));

    SetFence(64, 1.5, 2.5, 1.0, 3.0);
    Map.Statements.clear();
    Editor.btn_GeoShowAllFenceClick();
    ASSERT_EQ(Map.Statements.size(), 8);
    EXPECT_EQ(Map.Statements.last(), "locateTo(1.500000, 2.500000);");
    EXPECT_TRUE(Port->Written.isEmpty());
}

TEST_F(GeoEditorTest, EditOpensThePanelOnTheSelectedFence) {
    SetFence(5, 22.5, 113.9, 0.0, 114.1, "HOME");
    Select({5});
    Editor.btn_GeoEditClick();
    EXPECT_EQ(Map.Statements, QStringList{"FenceEnterSetting(true)"});
    EXPECT_TRUE(Editor.FenceSetting());
    EXPECT_TRUE(PanelOpen());
    EXPECT_FALSE(Ui().vtList->isEnabled());
    EXPECT_EQ(Ui().pnlGeoEdit->title(), "Geo-Fence ID: [ 5 ]");
    EXPECT_EQ(Ui().txtGeofenceName->text(), "HOME");
    EXPECT_EQ(Ui().txtGeofenceLTLongitude->text(), "113.9");
    EXPECT_EQ(Ui().txtGeofenceLTLatitude->text(), "22.5");
    EXPECT_EQ(Ui().txtGeofenceRBLongitude->text(), "114.1");
    EXPECT_EQ(Ui().txtGeofenceRBLatitude->text(), "0");

    // Again while open: corner picking starts afresh and the panel drops what was typed.
    Ui().txtGeofenceName->setText(QStringLiteral("TYPED"));
    Editor.btn_GeoEditClick();
    EXPECT_EQ(Map.Statements, QStringList({"FenceEnterSetting(true)", "FenceEnterSetting(false)",
                                           "FenceEnterSetting(true)"}));
    EXPECT_EQ(Ui().txtGeofenceName->text(), "HOME");

    // Close keeps the record and leaves corner picking.
    Editor.btn_CloseClick();
    EXPECT_EQ(Map.Statements.last(), "FenceEnterSetting(false)");
    EXPECT_FALSE(Editor.FenceSetting());
    EXPECT_FALSE(PanelOpen());
    EXPECT_TRUE(Ui().vtList->isEnabled());
    EXPECT_EQ(Fence(5).Name, "HOME");
    EXPECT_TRUE(Port->Written.isEmpty());
}

TEST_F(GeoEditorTest, EditWithoutASelectedRowOnlyStartsCornerPicking) {
    Editor.btn_GeoEditClick();
    EXPECT_EQ(Map.Statements, QStringList{"FenceEnterSetting(true)"});
    EXPECT_FALSE(PanelOpen());
}

TEST_F(GeoEditorTest, SaveStoresThePanelAndSendsIt) {
    Select({5});
    Editor.btn_GeoEditClick();
    TypeIntoPanel("HOME", "113.9", "22.5", "abc", "-22.25");
    QSignalSpy repaints(&Model(), &QAbstractItemModel::dataChanged);
    Editor.btnGeoSaveClick();
    EXPECT_EQ(repaints.size(), 1);
    EXPECT_EQ(Sent(), QStringList{"(P08,1,5,11354.0000,2230.0000,000.0000,-2215.0000,HOME)"});
    EXPECT_EQ(Fence(5).Name, "HOME");
    EXPECT_EQ(Fence(5).LTLongitude, 113.9);
    EXPECT_EQ(Fence(5).LTLatitude, 22.5);
    EXPECT_EQ(Fence(5).RBLongitude, 0.0);
    EXPECT_EQ(Fence(5).RBLatitude, -22.25);
    EXPECT_EQ(Cell(5, TGeoFenceModel::colLTLongitude), "113.9");
    EXPECT_EQ(Cell(5, TGeoFenceModel::colRBLongitude), "");
    EXPECT_FALSE(PanelOpen());
    EXPECT_TRUE(Ui().vtList->isEnabled());
    EXPECT_FALSE(Editor.FenceSetting());
    EXPECT_EQ(Map.Statements.last(), "FenceEnterSetting(false)");
}

// The pixels of a cell's text that stand out from the cell's own background, as an eye reads
// them: a selected row drawn in one colour has none.
int ReadablePixels(QTreeView* list, const QModelIndex& cell) {
    const QImage picture = list->viewport()->grab().toImage();
    const QRect area = list->visualRect(cell).adjusted(1, 1, -2, -2);
    const int background = qGray(picture.pixel(area.right(), area.center().y()));
    int readable = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            readable += std::abs(qGray(picture.pixel(x, y)) - background) > 90 ? 1 : 0;
        }
    }
    return readable;
}

// A selected row keeps its text readable with the list focused or not, and a saved row shows
// what was saved while it stays selected.
TEST_F(GeoEditorTest, TheSelectedRowStaysReadable) {
    Window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    Ui().pgCtrl->setCurrentWidget(Ui().tsGeo);
    SetFence(4, 22.5, 113.9, 22.4, 114.1, "DEPOT");
    Model().Refresh();
    QTreeView* list = Ui().vtList;
    Select({4});
    const QModelIndex name = Model().index(3, TGeoFenceModel::colName);
    list->setFocus();
    EXPECT_GT(ReadablePixels(list, name), 10) << "focused";
    Ui().txtGeofenceName->setFocus();
    EXPECT_GT(ReadablePixels(list, name), 10) << "not focused";

    Select({7});
    list->selectionModel()->select(Model().index(3, 0),
                                   QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    Editor.btn_GeoEditClick();
    TypeIntoPanel("YARD", "113.9", "22.5", "114", "22.25");
    Editor.btnGeoSaveClick();
    const QModelIndex saved = Model().index(6, TGeoFenceModel::colName);
    EXPECT_TRUE(list->selectionModel()->isRowSelected(6, {}));
    EXPECT_GT(ReadablePixels(list, saved), 10) << "saved";
}

// A pasted name could carry the characters that separate the command's fields or end the
// command; they are dropped before the name is stored and sent.
TEST_F(GeoEditorTest, SaveDropsCommandCharactersFromThePastedName) {
    Select({2});
    Editor.btn_GeoEditClick();
    TypeIntoPanel("A,B(C)!D", "1", "1", "2", "0.5");
    Editor.btnGeoSaveClick();
    EXPECT_EQ(Fence(2).Name, "ABCD");
    ASSERT_EQ(Sent().size(), 1);
    EXPECT_TRUE(Sent().first().endsWith(",ABCD)")) << Sent().first().toStdString();
}

TEST_F(GeoEditorTest, WriteSelectedSendsTheRecordsInListOrder) {
    SetFence(3, 22.5, 113.9, 22.25, 114.25, "THREE");
    SetFence(7, 1.0, 2.0, 0.5, 2.5, "SEVEN");
    Select({7, 3});
    Ui().txtGeofenceName->setText(QStringLiteral("NOT READ"));
    Editor.btn_GeoSetAllClick();
    EXPECT_EQ(Sent(), QStringList{"(P08,1,3,11354.0000,2230.0000,11415.0000,2215.0000,THREE)"});
    ASSERT_EQ(Window->Engine().QueueLength(), 2);
    EXPECT_EQ(Window->Engine().Queue()[1].Args, ",7,200.0000,100.0000,230.0000,030.0000,SEVEN");
    Reply(QStringLiteral("(0123456789,P08,3,11354.0000,2230.0000,11406.0000,2224.0000,THREE)"));
    EXPECT_EQ(Sent().last(), "(P08,1,7,200.0000,100.0000,230.0000,030.0000,SEVEN)");
}

// A coordinate too large to be one reaches neither the table, nor the page, nor the line.
TEST_F(GeoEditorTest, AnOverflowingCoordinateCountsLikeOneThatIsNotANumber) {
    Reply(QStringLiteral("(0123456789,P08,5,1e3080000000,2230.0000,11415.0000,2215.0000,BIG)"));
    Reply(QStringLiteral("(0123456789,P08,6,abc,2230.0000,11415.0000,2215.0000,BIG)"));
    EXPECT_EQ(Fence(5).LTLongitude, 0.0);
    EXPECT_EQ(Fence(5).LTLongitude, Fence(6).LTLongitude);
    EXPECT_EQ(Cell(5, 1), Cell(6, 1));

    Select({5});
    Editor.vtListClick();
    ASSERT_FALSE(Map.Statements.isEmpty());
    for (const QString& statement : Map.Statements) {
        EXPECT_FALSE(statement.contains(QLatin1String("inf"), Qt::CaseInsensitive) ||
                     statement.contains(QLatin1String("nan"), Qt::CaseInsensitive))
            << statement.toStdString();
    }

    Editor.btn_GeoSetAllClick();
    EXPECT_EQ(Sent(), QStringList{"(P08,1,5,000.0000,2230.0000,11415.0000,2215.0000,BIG)"});
}

TEST_F(GeoEditorTest, WriteSelectedWithNoRowSendsNothing) {
    Editor.btn_GeoSetAllClick();
    EXPECT_TRUE(Port->Written.isEmpty());
    EXPECT_FALSE(Window->Engine().IsBusy());
}

// A name from the device longer than the device keeps is refused, never framed; the outcome and
// the row say why.
TEST_F(GeoEditorTest, AWriteThatBreaksTheNameRuleIsRefused) {
    Fence(1).Name = QString(240, QLatin1Char('N'));
    Select({1});
    Editor.btn_GeoSetAllClick();
    EXPECT_TRUE(Messages.Messages.isEmpty());
    EXPECT_TRUE(Window->Engine().Batch()->Note.endsWith(
        "was not sent: P08.1: Geo-fence name holds 240 characters; at most 20 fit"));
    EXPECT_TRUE(Port->Written.isEmpty());
    EXPECT_FALSE(Window->Engine().IsBusy());
    EXPECT_EQ(Window->Engine().QueueLength(), 0);
}

TEST_F(GeoEditorTest, DisableSendsTheZeroFormAndKeepsTheRow) {
    SetFence(5, 22.5, 113.9, 22.4, 114.1, "HOME");
    Select({5});
    Editor.btn_GeoDisableClick();
    EXPECT_EQ(Sent(), QStringList{"(P08,1,5,0,0,0,0,)"});
    EXPECT_EQ(Map.Statements, QStringList{"hideGeoFence()"});
    EXPECT_EQ(Cell(5, TGeoFenceModel::colName), "HOME");
    EXPECT_EQ(Cell(5, TGeoFenceModel::colLTLatitude), "22.5");

    Ui().vtList->clearSelection();
    Port->Written.clear();
    Editor.btn_GeoDisableClick();
    EXPECT_TRUE(Port->Written.isEmpty());
}

TEST_F(GeoEditorTest, ClearAllLeavesCornerPickingAndOnlyClearsTheDrawing) {
    SetFence(5, 22.5, 113.9, 22.4, 114.1, "HOME");
    Editor.btn_GeoEditClick();
    Map.Statements.clear();
    Editor.btn_GeoClearAllClick();
    EXPECT_EQ(Map.Statements, QStringList({"FenceEnterSetting(false)", "hideGeoFence()"}));
    EXPECT_FALSE(Editor.FenceSetting());
    EXPECT_EQ(Fence(5).Name, "HOME");
    EXPECT_TRUE(Port->Written.isEmpty());
}
