#pragma once

#include "WindowOnFakeLine.h"
#include "uGeoFenceModel.h"
#include "uMapPage.h"

// A map page that is always there and keeps every statement it is given.
class TRecordingMapPage : public IMapPage {
public:
    bool CheckMapLoaded() override { return true; }
    void CallJavaScript(const QString& statement) override { Statements.append(statement); }

    QStringList Statements;
};

// The window on a fake line with the device buttons enabled, as after the port switch.
class GeoWindowTest : public TWindowOnFakeLine {
protected:
    GeoWindowTest() { Window->SetDeviceButtons(true); }

    TGeoFenceModel& Model() { return Window->GeoFenceModel(); }
    TGeoFence& Fence(int id) { return Window->GeoFences()[id - 1]; }

    QString Cell(int id, int column) {
        return Model().data(Model().index(id - 1, column)).toString();
    }
    void Select(std::initializer_list<int> ids) {
        for (const int id : ids) {
            Ui().vtList->selectionModel()->select(
                Model().index(id - 1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    // The device answers.
    void Reply(const QString& text) { Port->Feed(EncodeFrame(text.toLatin1()).value()); }
};
