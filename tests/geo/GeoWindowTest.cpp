// The geo-fence page as the window runs it, with no map page loaded.
#include "GeoTestSupport.h"
#include "uGeoFenceEditor.h"
#include "uMapBridge.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

TEST_F(GeoWindowTest, StartupShows64NumberedRowsWithEmptyCells) {
    QTreeView* list = Ui().vtList;
    ASSERT_EQ(list->model(), &Model());
    ASSERT_EQ(Model().rowCount(), 64);
    ASSERT_EQ(Model().columnCount(), 6);
    for (int id = 1; id <= 64; ++id) {
        EXPECT_EQ(Cell(id, TGeoFenceModel::colID), QString::number(id));
        for (int column = TGeoFenceModel::colName; column < TGeoFenceModel::kColumns; ++column) {
            EXPECT_EQ(Cell(id, column), "") << id << " " << column;
        }
    }
    const char* headers[] = {
        "ID", "Name", "Lat-Left Top", "Long-Left Top", "Lat-Right Bottom", "Long-Right Bottom"};
    const int widths[] = {45, 70, 75, 79, 95, 100};
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(Model().headerData(column, Qt::Horizontal).toString(), headers[column]);
        EXPECT_EQ(list->header()->sectionSize(column), widths[column]);
    }
    EXPECT_TRUE(list->header()->sectionsMovable());
    EXPECT_EQ(list->header()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(Ui().pnlGeoEdit->isHidden());
    EXPECT_EQ(Window->MapBridge().WebBrowser(), nullptr); // the web engine waits for the map
}

TEST_F(GeoWindowTest, ReadAllQueues64ReadsInOrderAndRepliesFillTheRows) {
    Ui().btn_GeoRead->click();
    EXPECT_TRUE(Messages.Messages.isEmpty()); // no map needed
    const auto& queue = Window->Engine().Queue();
    ASSERT_EQ(queue.size(), 64u);
    for (int id = 1; id <= 64; ++id) {
        const TCmdItem& item = queue[id - 1];
        EXPECT_EQ(item.ParamNo, 8);
        EXPECT_EQ(item.RW, 0);
        EXPECT_EQ(item.Kind, 0);
        EXPECT_EQ(item.Args, QStringLiteral(",%1").arg(id));
    }
    EXPECT_EQ(Sent(), QStringList{"(P08,0,1)"});

    QSignalSpy repaints(&Model(), &QAbstractItemModel::dataChanged);
    Reply(QStringLiteral("(0123456789,P08,1,11354.0000,2230.0000,11406.0000,2224.0000,HOME)"));
    EXPECT_EQ(Sent().last(), "(P08,0,2)");
    Reply(QStringLiteral("(0123456789,P08,2,-7400.6000,4042.7680,-7358.2000,4041.0000,NY)"));
    EXPECT_EQ(Sent().last(), "(P08,0,3)");
    EXPECT_EQ(repaints.size(), 2); // the list is told of each reply

    const std::pair<int, const char*> row1[] = {
        {TGeoFenceModel::colName, "HOME"},         {TGeoFenceModel::colLTLatitude, "22.5"},
        {TGeoFenceModel::colLTLongitude, "113.9"}, {TGeoFenceModel::colRBLatitude, "22.4"},
        {TGeoFenceModel::colRBLongitude, "114.1"},
    };
    for (const auto& [column, text] : row1) {
        EXPECT_EQ(Cell(1, column), text) << column;
    }
    EXPECT_EQ(Cell(2, TGeoFenceModel::colName), "NY");
    EXPECT_EQ(Cell(2, TGeoFenceModel::colLTLatitude), "40.7128");
    EXPECT_EQ(Cell(2, TGeoFenceModel::colLTLongitude), "-74.01");
    EXPECT_EQ(Cell(3, TGeoFenceModel::colName), "");
}

// Every operation but reading needs the map page: each press says so once and sends nothing.
TEST_F(GeoWindowTest, MapOperationsStopAtTheMapCheck) {
    Fence(4).LTLatitude = 22.5;
    Fence(4).LTLongitude = 113.9;
    Select({4});
    Ui().txtGeofenceName->setText(QStringLiteral("TYPED"));
    QAbstractButton* buttons[] = {
        Ui().btn_GeoEdit,    Ui().btnGeoSave,          Ui().btn_Close,      Ui().btn_GeoSetAll,
        Ui().btn_GeoDisable, Ui().btn_GeoShowAllFence, Ui().btn_GeoClearAll};
    for (QAbstractButton* button : buttons) {
        Messages.Messages.clear();
        button->click();
        ASSERT_EQ(Messages.Messages.size(), 1) << button->objectName().toStdString();
        EXPECT_EQ(Messages.Messages[0].Text, "Google Map not loading !");
        EXPECT_EQ(Messages.Messages[0].Caption, "Message");
        EXPECT_EQ(Messages.Messages[0].Icon, TMessageIcon::Information);
    }
    EXPECT_TRUE(Port->Written.isEmpty());
    EXPECT_EQ(Window->Engine().QueueLength(), 0);
    EXPECT_EQ(Fence(4).Name, "");
    EXPECT_TRUE(Ui().pnlGeoEdit->isHidden());
    EXPECT_FALSE(Window->GeoFenceEditor().FenceSetting());
}

// A click and a double click on a row reach the list's handlers, which need the map too.
TEST_F(GeoWindowTest, ClicksOnTheListStopAtTheMapCheck) {
    QTreeView* list = Ui().vtList;
    QSignalSpy clicks(list, &QAbstractItemView::clicked);
    QSignalSpy doubleClicks(list, &QAbstractItemView::doubleClicked);
    const QPoint row = list->visualRect(Model().index(2, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(Messages.Messages.size(), 1);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, row); // QTest leaves it down
    ASSERT_EQ(doubleClicks.size(), 1);
    EXPECT_EQ(Messages.Messages.size(), clicks.size() + doubleClicks.size());
    for (const auto& message : Messages.Messages) {
        EXPECT_EQ(message.Text, "Google Map not loading !");
    }
    EXPECT_TRUE(Ui().pnlGeoEdit->isHidden());
    EXPECT_TRUE(Port->Written.isEmpty());
}

TEST_F(GeoWindowTest, ADraggedNameColumnKeepsTheNames) {
    Reply(QStringLiteral("(0123456789,P08,1,11354.0000,2230.0000,11406.0000,2224.0000,HOME)"));
    QTreeView* list = Ui().vtList;
    QHeaderView* header = list->header();
    header->moveSection(header->visualIndex(TGeoFenceModel::colName), 0);
    ASSERT_EQ(header->logicalIndex(0), TGeoFenceModel::colName);
    const QPoint firstColumn(header->sectionViewportPosition(TGeoFenceModel::colName) + 5,
                             list->visualRect(Model().index(0, 0)).center().y());
    EXPECT_EQ(list->indexAt(firstColumn).data().toString(), "HOME");
    EXPECT_EQ(header->model()->headerData(TGeoFenceModel::colName, Qt::Horizontal).toString(),
              "Name");
    const QPoint secondColumn(header->sectionViewportPosition(TGeoFenceModel::colID) + 5,
                              firstColumn.y());
    EXPECT_EQ(list->indexAt(secondColumn).data().toString(), "1");
}

// A right double-click on "Latitude" without modifiers shows the tile host field; any other
// press hides it.
TEST_F(GeoWindowTest, TheLatitudeGestureShowsAndHidesTheHostField) {
    Ui().pgCtrl->setCurrentWidget(Ui().tsGeo);
    Window->show();
    QLabel* label = Ui().lblMapLat;
    // QTest sends a double-click without its release; the release keeps the button state true.
    const auto doubleClick = [&](Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
        QTest::mouseDClick(label, button, modifiers);
        QTest::mouseRelease(label, button, modifiers);
    };
    EXPECT_TRUE(Ui().ed_googleurl->isHidden());
    const std::function<void()> hiding[] = {
        [&] { QTest::mouseClick(label, Qt::LeftButton); },
        [&] { QTest::mouseClick(label, Qt::RightButton); },
        [&] { doubleClick(Qt::LeftButton, Qt::NoModifier); },
        [&] { doubleClick(Qt::RightButton, Qt::ShiftModifier); },
    };
    for (const auto& press : hiding) {
        doubleClick(Qt::RightButton, Qt::NoModifier);
        EXPECT_FALSE(Ui().ed_googleurl->isHidden());
        press();
        EXPECT_TRUE(Ui().ed_googleurl->isHidden());
    }
}

TEST_F(GeoWindowTest, AMapCentreOutsideTheGlobeIsRefusedWithAMessage) {
    for (const auto& [field, typed] :
         {std::pair{Ui().ed_MapLat, "-95.5"}, std::pair{Ui().ed_MapLng, "181"}}) {
        Ui().ed_MapLat->setText("-33.9");
        Ui().ed_MapLng->setText("151.2");
        field->clear();
        QTest::keyClicks(field, typed);
        Messages.Messages.clear();
        Ui().btnLoadMap->click();
        ASSERT_EQ(Messages.Messages.size(), 1) << typed;
        EXPECT_EQ(Messages.Messages[0].Caption, "Error");
        EXPECT_TRUE(Messages.Messages[0].Text.contains("-90 and 90")) << typed;
        EXPECT_EQ(Window->MapBridge().WebBrowser(), nullptr); // nothing loaded
    }
}

// The editing panel hides the rows beneath it: what shows inside it is the same whether the
// list behind holds names or not.
TEST_F(GeoWindowTest, TheEditPanelCoversTheListBehindIt) {
    const auto panelPicture = [this] {
        const QImage whole = Ui().gbGeoFence->grab().toImage();
        return whole.copy(Ui().pnlGeoEdit->geometry());
    };
    Ui().pnlGeoEdit->show();
    const QImage empty = panelPicture();
    for (int id = 1; id <= 10; ++id) {
        Fence(id).Name = QStringLiteral("WWWWWWWWWWWWWWWW");
    }
    Model().Refresh();
    EXPECT_EQ(panelPicture(), empty);
}
