// The geo-fence page against the simulated device on a pseudo-terminal, with the live map
// page: fences written from the list come back in a full read and are drawn on the map.
#include "MessageRecorder.h"
#include "PageScripts.h"
#include "uAppPaths.h"
#include "uExchangeEngine.h"
#include "uFrmMain.h"
#include "uGeoFenceModel.h"
#include "uLanguage.h"
#include "uQtSerialPort.h"
#include "uSimPty.h"
#include "ui_uFrmMain.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class GeoSimTest : public ::testing::Test {
protected:
    GeoSimTest() {
        SetAppDirOverride(FDir.path());
        ResetLanguageState();
        QString error;
        EXPECT_TRUE(Device.Start(&error)) << error.toStdString();
        Window = std::make_unique<TFrmMain>(Messages, TQtSerialPort::Factory());
        Window->PresetPort(Device.SlavePath());
        Window->Engine().SetTimingForTests(1000, 0);
        Window->Controls().btn_Switch->click();
        Window->Controls().ed_googleurl->setText(QStringLiteral("127.0.0.1:9")); // no tiles
        Window->Controls().pgCtrl->setCurrentWidget(Window->Controls().tsGeo);
        Window->show();
    }
    ~GeoSimTest() override {
        Window.reset();
        Device.Stop();
        SetAppDirOverride(QString());
        ResetLanguageState();
    }

    bool WaitForBatch() {
        return QTest::qWaitFor([this] { return !Window->Engine().IsBusy(); }, 30'000);
    }
    QString Cell(int id, int column) {
        TGeoFenceModel& model = Window->GeoFenceModel();
        return model.data(model.index(id - 1, column)).toString();
    }

    QTemporaryDir FDir;
    TSimPty Device{TSimOptions{}};
    TMessageRecorder Messages;
    std::unique_ptr<TFrmMain> Window;
};

} // namespace

TEST_F(GeoSimTest, WrittenFencesComeBackInAFullRead) {
    ASSERT_TRUE(Window->ComPort().IsOpen());
    TPageScripts page(Window->MapBridge());
    ASSERT_TRUE(page.LoadMap(Window->Controls()));
    struct TRow {
        int id;
        const char* name;
        double ltLatitude, ltLongitude, rbLatitude, rbLongitude;
    };
    const TRow rows[] = {{2, "HOME", 22.5, 113.9, 22.25, 114.25},
                         {17, "WORK", -33.75, 151.0, -34.0, 151.5},
                         {64, "DEPOT", 51.5, -0.5, 51.25, 0.25}};
    QTreeView* list = Window->Controls().vtList;
    for (const TRow& row : rows) {
        TGeoFence& fence = Window->GeoFences()[row.id - 1];
        fence.Name = QString::fromLatin1(row.name);
        fence.LTLatitude = row.ltLatitude;
        fence.LTLongitude = row.ltLongitude;
        fence.RBLatitude = row.rbLatitude;
        fence.RBLongitude = row.rbLongitude;
        list->selectionModel()->select(Window->GeoFenceModel().index(row.id - 1, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    Window->Controls().btn_GeoSetAll->click();
    ASSERT_TRUE(WaitForBatch());

    for (TGeoFence& fence : Window->GeoFences()) {
        fence = TGeoFence{fence.ID, QString(), 0.0, 0.0, 0.0, 0.0};
    }
    Window->Controls().btn_GeoRead->click();
    ASSERT_TRUE(WaitForBatch());
    EXPECT_EQ(Window->Engine().QueueLength(), 0);

    for (const TRow& row : rows) {
        EXPECT_EQ(Cell(row.id, TGeoFenceModel::colName), row.name);
        EXPECT_EQ(Cell(row.id, TGeoFenceModel::colLTLatitude),
                  TGeoFenceModel::GeneralNumberText(row.ltLatitude));
        EXPECT_EQ(Cell(row.id, TGeoFenceModel::colRBLongitude),
                  TGeoFenceModel::GeneralNumberText(row.rbLongitude));
    }
    EXPECT_EQ(Cell(3, TGeoFenceModel::colName), "");

    Window->Controls().btn_GeoShowAllFence->click();
    EXPECT_EQ(page.Eval(QStringLiteral("user_fence.length")).toInt(), 3);
    ASSERT_EQ(Messages.Messages.size(), 2); // the success tip after each batch, nothing else
    for (const auto& message : Messages.Messages) {
        EXPECT_EQ(message.Text, "Operation success !");
    }
}
