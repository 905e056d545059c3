#pragma once

#include "uGeoFence.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <array>
#include <functional>
#include <stdexcept>

namespace Ui {
class TFrmMain;
}
class TExchangeEngine;
class TUploadSchedule;

// A reply that cannot be applied: a field it lacks, a value that must be an integer and is
// not, a geo-fence number outside the table. The handling stops where it stands and the
// queue does not advance.
class TReplyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Applies every device reply to the window's controls, the geo-fence table and the upload
// schedule, shows the device status and runs the charging animation of the battery meter.
class TReplyHandler : public QObject {
    Q_OBJECT
public:
    TReplyHandler(Ui::TFrmMain& ui, TExchangeEngine& engine, TUploadSchedule& schedule,
                  TGeoFenceList& geoFences, std::function<void()> repaintGeoFences,
                  QObject* parent = nullptr);

    // One reply text "(...)". Throws TReplyError when the reply cannot be applied; what it
    // set before that stays set.
    void HandleReply(const QByteArray& reply);

    void SetGpsLevel(int level);
    void SetGsmLevel(int level);
    void SetVolumeLevel(int level);
    int VolumeLevel() const { return FVolumeLevel; }
    void ShowAlarmFlags(const QStringList& fields);

    // The charging animation: started by a status report, stopped with the level and the
    // meter back at 0 whenever the port opens or closes.
    void tmBatteyChargingTimer();
    void StopCharging();
    // Another line, or none: identity, alias, version, levels and battery back to their start.
    void ForgetDevice();
    bool IsCharging() const { return tmBatteyCharging.isActive(); }
    int ChargingLevel() const { return FChargingLevel; }

private:
    void HandleStatusReport(const QStringList& fields);
    void HandleParameter(int number, const QStringList& fields);
    void HandleUploading(const QStringList& fields);
    void HandleMode(const QStringList& fields);
    void HandleGeoFence(const QStringList& fields);
    void HandleVipNumber(const QStringList& fields);
    void HandleTimePoints(const QStringList& fields);
    void ShowBatteryLevel(int percent);

    Ui::TFrmMain& FUi;
    TExchangeEngine& FEngine;
    TUploadSchedule& FSchedule;
    TGeoFenceList& FGeoFences;
    std::function<void()> FRepaintGeoFences;
    QTimer tmBatteyCharging;
    int FChargingLevel = 0;
    int FVolumeLevel = 0;
};
