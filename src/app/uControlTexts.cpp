#include "uControlTexts.h"

#include "uLanguage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <array>

namespace {

struct TControlText {
    const char* Name; // object name
    const char* Text;
};

constexpr TControlText kToolTips[] = {
    {"cboCOMIndex", "The serial port of the device: pick one or type its name or path"},
    {"txtBAUD", "The line speed in baud, for example 9600 or 115200"},
    {"btn_Switch", "Opens or closes the serial port"},
    {"ComLed1", "Lit while the serial port is open"},
    {"btnShowMsg", "Shows the debug log of every exchange"},
    {"RzMeter_LED", "The identity of the connected device"},
    {"RzMeter_GSM", "The GSM signal level the device reported, 0 to 5"},
    {"RzMeter_GPS", "The GPS signal level the device reported, 0 to 5"},
    {"RzMeter_Battery", "The battery level the device reported, in percent"},
    {"lblVersion", "The firmware version the device reported"},
    {"sbT01", "Queries the device status: identity, alias, signal and battery levels"},
    {"txtCenterNumber", "The SMS primary number: digits, may start with +"},
    {"txtAlias", "Another name for the device: letters, digits, spaces, - and _"},
    {"cboBatteryAlert", "The battery percentage that raises the low battery alarm, 10 or more"},
    {"txtTimeDifferent", "The device's time difference to UTC in minutes, for example -60"},
    {"txtGSensorParam", "The G-sensor sensitivity in mg: digits only"},
    {"CBox_Main_01", "Ticked: the device reports its position when called"},
    {"CBox_Main_02", "Ticked: the device answers calls automatically"},
    {"CBox_Main_03", "Ticked: the device uploads stored history data by itself"},
    {"btnSnapshotBackup", "Reads every setting and geo-fence of the device into a snapshot file"},
    {"btnSnapshotCompare", "Shows how the device differs from a snapshot file, writing nothing"},
    {"btnSnapshotRestore", "Writes the settings of a snapshot file that you tick to the device"},
    {"btnSnapshotSaveWindow",
     "Saves the values in this window, as Write All would send them, as a snapshot file"},
    {"btnCenterNumberRead", "Reads the basic information from the device"},
    {"btnCenterNumberSet", "Writes the basic information to the device"},
    {"txtIPAddress", "The address of the GPRS server"},
    {"txtPort", "The port of the GPRS server"},
    {"txtAPN", "The access point name of the mobile network"},
    {"txtAPNUsername", "The user name for the access point, if it needs one"},
    {"txtAPNPassword", "The password for the access point, if it needs one"},
    {"btnGprsRead", "Reads the GPRS network parameters from the device"},
    {"btnGprsSet", "Writes the GPRS network parameters to the device"},
    {"RBtn_Main_01", "Uploads at a fixed interval"},
    {"RCox_KeepAlive", "Ticked: the device keeps the connection alive between uploads"},
    {"RzSpinEdit_KeepAlive", "Seconds between keep-alive messages"},
    {"RBtn_Main_02", "Uploads while the device is moving"},
    {"RBtn_Main_03", "Uploads at the time points marked in the grid below"},
    {"pnl_WorkingTime", "Click a time to mark or unmark it as an upload time point"},
    {"cbUpLoadMode", "The channel the device uploads by: SMS or TCP"},
    {"CBox_UploadingInterval", "Seconds between uploads: pick one or type a number"},
    {"Cbox_UploadingTimes", "How many uploads: all the time, or pick or type a number"},
    {"btnWorkModeRead", "Reads the data uploading settings from the device"},
    {"btnWorkModeSet", "Writes the data uploading settings to the device"},
    {"edtVIP_1", "Authorised number 1: digits, may start with +"},
    {"edtVIP_2", "Authorised number 2: digits, may start with +"},
    {"edtVIP_3", "Authorised number 3: digits, may start with +"},
    {"edtVIP_4", "Authorised number 4: digits, may start with +"},
    {"edtVIP_5", "Authorised number 5: digits, may start with +"},
    {"CBox_CheckAll", "Ticks or unticks every alarm; shows whether all are ticked"},
    {"btnVipCfgRead", "Reads the authorised numbers and their alarms from the device"},
    {"btnVipCfgSet", "Writes the authorised numbers and their alarms to the device"},
    {"vtList", "The device's 64 geo-fences; click one to show it on the map"},
    {"btn_GeoRead", "Reads all 64 geo-fences from the device"},
    {"btn_GeoEdit", "Edits the selected geo-fence; drag on the map to pick its corners"},
    {"btn_GeoDisable", "Disables the selected geo-fence on the device"},
    {"btn_GeoSetAll", "Writes the selected geo-fences to the device"},
    {"txtGeofenceName", "The geo-fence name: letters, digits, spaces, - and _"},
    {"txtGeofenceLTLongitude", "Longitude of the left top corner in degrees, -180 to 180"},
    {"txtGeofenceLTLatitude", "Latitude of the left top corner in degrees, -90 to 90"},
    {"txtGeofenceRBLongitude", "Longitude of the right bottom corner in degrees, -180 to 180"},
    {"txtGeofenceRBLatitude", "Latitude of the right bottom corner in degrees, -90 to 90"},
    {"btnGeoSave", "Saves the geo-fence and writes it to the device"},
    {"btn_Close", "Closes the editing panel without saving"},
    {"ed_MapLat", "Latitude of the map centre in degrees, -90 to 90"},
    {"ed_MapLng", "Longitude of the map centre in degrees, -180 to 180"},
    {"ed_MapZoom", "Zoom level of the map: digits only"},
    {"ed_googleurl", "The tile host the map loads its pictures from"},
    {"btnLoadMap", "Loads the map at the centre and zoom given"},
    {"txtLatLng", "The point last clicked on the map"},
    {"btn_GeoShowAllFence", "Draws every set geo-fence on the map"},
    {"btn_GeoClearAll", "Removes the drawn geo-fences from the map"},
    {"edt_Send", "A command to send as typed, for example (P01); Enter sends it"},
    {"btn_AdvOper_Send", "Sends the typed command to the device"},
    {"btn_AdvOper_Clear", "Clears the transcript below"},
    {"btn_AdvOper_CmdSave", "Saves the transcript to a file"},
    {"mm_Recv", "Every command sent and reply received"},
    {"mmHtml", "The map page as the program built it"},
    {"RzMeter_Volume", "The volume level, 0 to 6"},
    {"btnVolumeAdd", "Raises the volume by one step"},
    {"btnVolumeDec", "Lowers the volume by one step"},
    {"btnVolumeRead", "Reads the volume from the device"},
    {"btnVolumeSet", "Writes the volume to the device"},
    {"txtRadius", "Radius of the self geo-fence in metres"},
    {"btn_SelfGeoSet", "Writes the self geo-fence radius to the device"},
    {"btnReadAll", "Reads every setting from the device"},
    {"btnWriteAll", "Writes every setting shown to the device"},
    {"btnDefault", "Restores the device's factory settings"},
    {"cbTipOnOK", "Ticked: a message says when an operation has finished"},
    {"cbLanguage", "The language of the program; used from the next start"},
    {"btnResume", "Sends what is left of the interrupted operation"},
    {"btnCancelBatch", "Stops the running operation; what is not yet sent is dropped"},
    {"btnSave", "Saves the settings shown to a profile file"},
    {"btnLoad", "Loads settings from a profile file into the window"},
};

// The four alarms of every authorised number, in the order of their boxes.
constexpr std::array<const char*, 4> kAlarmToolTips = {
    "Ticked: this number gets the geo-fence alarm",
    "Ticked: this number gets the self geo-fence alarm",
    "Ticked: this number gets the SOS alarm",
    "Ticked: this number gets the battery alarm",
};

// Each field and the label that names it.
constexpr std::pair<const char*, const char*> kLabelledFields[] = {
    {"cboCOMIndex", "lblComPort"},
    {"txtBAUD", "lblBaudRate"},
    {"RzMeter_LED", "lblID"},
    {"RzMeter_GSM", "lblGSM"},
    {"RzMeter_GPS", "lblGPS"},
    {"RzMeter_Battery", "lblBattery"},
    {"txtCenterNumber", "lblSmsNo"},
    {"txtAlias", "lblAlias"},
    {"cboBatteryAlert", "lblBatteryPercent"},
    {"txtTimeDifferent", "lblTimeDif"},
    {"txtGSensorParam", "lblGSensorParam"},
    {"CBox_Main_01", "lblTrackByCall"},
    {"CBox_Main_02", "lblAutomaticAnswerCall"},
    {"CBox_Main_03", "lblHistoryUploadAuto"},
    {"txtIPAddress", "lblGprsIP"},
    {"txtPort", "lblGprsPort"},
    {"txtAPN", "lblGprsAPN"},
    {"txtAPNUsername", "lblAPNName"},
    {"txtAPNPassword", "lblApnPass"},
    {"RzSpinEdit_KeepAlive", "RCox_KeepAlive"},
    {"cbUpLoadMode", "lblWorkMode"},
    {"CBox_UploadingInterval", "lblUpItv"},
    {"Cbox_UploadingTimes", "lblUpTimes"},
    {"edtVIP_1", "lblVIP_1"},
    {"edtVIP_2", "lblVIP_2"},
    {"edtVIP_3", "lblVIP_3"},
    {"edtVIP_4", "lblVIP_4"},
    {"edtVIP_5", "lblVIP_5"},
    {"txtGeofenceName", "lblFenceName"},
    {"txtGeofenceLTLongitude", "lblLTLng"},
    {"txtGeofenceLTLatitude", "lblLTLat"},
    {"txtGeofenceRBLongitude", "lblRBLng"},
    {"txtGeofenceRBLatitude", "lblRBLat"},
    {"ed_MapLat", "lblMapLat"},
    {"ed_MapLng", "lblMapLng"},
    {"ed_MapZoom", "lblMapZoom"},
    {"edt_Send", "lbl_AdvOper_ASCIICmd"},
    {"RzMeter_Volume", "lblVol"},
    {"txtRadius", "lblFenceRadius"},
    {"cbLanguage", "lblLanguage"},
};

// The controls without a label beside them.
constexpr TControlText kOwnNames[] = {
    {"ComLed1", "Connection lamp"}, {"sbT01", "Query status"},     {"rgbBar", "Progress"},
    {"vtList", "Geo-fence list"},   {"ed_googleurl", "Tile host"}, {"txtLatLng", "Clicked point"},
    {"mm_Recv", "Transcript"},
};

// The value labels are named by their caption, as every field is; what they show is their
// description (kept in step where they are given a value).
constexpr std::pair<const char*, const char*> kDescribedValues[] = {
    {"lblAnotherName", "lblAnother"},
    {"lblVersion", "lblVer"},
};

const char* const kLampOpen = "Port open";
const char* const kLampClosed = "Port closed";

QString Translated(const char* text) {
    return TranslateText(QString::fromUtf8(text));
}

QString Caption(const QWidget& label) {
    QString text;
    if (const auto* shown = qobject_cast<const QLabel*>(&label)) {
        text = shown->text();
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(&label)) {
        text = button->text();
    }
    return text.remove(QLatin1Char('&'));
}

} // namespace

void ApplyControlTexts(QWidget& window) {
    const auto find = [&window](const QString& name) { return window.findChild<QWidget*>(name); };
    for (const TControlText& tip : kToolTips) {
        if (QWidget* control = find(QString::fromLatin1(tip.Name))) {
            control->setToolTip(Translated(tip.Text));
        }
    }
    for (int row = 1; row <= 5; ++row) {
        for (int alarm = 1; alarm <= static_cast<int>(kAlarmToolTips.size()); ++alarm) {
            if (QWidget* box = find(QStringLiteral("cbVIP_%1%2").arg(row).arg(alarm))) {
                box->setToolTip(Translated(kAlarmToolTips[alarm - 1]));
                if (const QWidget* number = find(QStringLiteral("lblVIP_%1").arg(row))) {
                    box->setAccessibleDescription(Caption(*number));
                }
            }
        }
    }
    for (const auto& [fieldName, labelName] : kLabelledFields) {
        QWidget* field = find(QString::fromLatin1(fieldName));
        QWidget* label = find(QString::fromLatin1(labelName));
        if (field == nullptr || label == nullptr) {
            continue;
        }
        if (auto* text = qobject_cast<QLabel*>(label)) {
            text->setBuddy(field);
        }
        field->setAccessibleName(Caption(*label));
        if (auto* list = qobject_cast<QComboBox*>(field); list && list->lineEdit()) {
            list->lineEdit()->setAccessibleName(Caption(*label));
        }
    }
    for (const TControlText& name : kOwnNames) {
        if (QWidget* control = find(QString::fromLatin1(name.Name))) {
            control->setAccessibleName(Translated(name.Text));
        }
    }
    for (const auto& [valueName, labelName] : kDescribedValues) {
        QWidget* value = find(QString::fromLatin1(valueName));
        const QWidget* label = find(QString::fromLatin1(labelName));
        if (value != nullptr && label != nullptr) {
            value->setAccessibleName(Caption(*label));
            value->setAccessibleDescription(Caption(*value));
        }
    }
    // Both states now, so that opening the port looks no new text up.
    if (QWidget* lamp = find(QStringLiteral("ComLed1"))) {
        DescribeConnectionLamp(*lamp, true);
        DescribeConnectionLamp(*lamp, false);
    }
}

QStringList ControlTexts() {
    QStringList texts;
    for (const TControlText& tip : kToolTips) {
        texts.append(QString::fromUtf8(tip.Text));
    }
    for (const char* tip : kAlarmToolTips) {
        texts.append(QString::fromUtf8(tip));
    }
    for (const TControlText& name : kOwnNames) {
        texts.append(QString::fromUtf8(name.Text));
    }
    texts.append(QString::fromUtf8(kLampOpen));
    texts.append(QString::fromUtf8(kLampClosed));
    return texts;
}

void DescribeConnectionLamp(QWidget& lamp, bool lit) {
    lamp.setAccessibleDescription(Translated(lit ? kLampOpen : kLampClosed));
}
