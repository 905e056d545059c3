// The window's Back up, Compare, Restore and "Save the window's values as a snapshot" against
// the simulated device on a pseudo-terminal.
#include "WindowOnSimSupport.h"
#include "uExchangeEngine.h"
#include "uFieldStates.h"
#include "uLedDisplay.h"
#include "uParamCatalogue.h"
#include "uQtMessageService.h"
#include "uQtSerialPort.h"
#include "uReplyHandler.h"
#include "uSimPty.h"
#include "uSnapshot.h"
#include "uSnapshotActions.h"
#include "ui_uFrmMain.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <functional>

namespace {

const QByteArray kFence5 = "5,11354.0000,2230.0000,11406.0000,2224.0000,HOME";

class SnapshotWindowTest : public WindowOnSimTest {
protected:
    void Connect(const TSimOptions& options = {}) {
        ASSERT_NO_FATAL_FAILURE(WindowOnSimTest::Connect(options, 150, 5, true));
        Ui().pgCtrl->setCurrentWidget(Find<QWidget>("tsSnapshot"));
    }
    QPushButton* Button(const char* name) { return Find<QPushButton>(QString::fromLatin1(name)); }
    // A parameter's value as the device holds it, in a snapshot's form.
    QString Held(int number, int index = 0) const {
        const QByteArray values = Device->Snapshot().Values(number, index).join(',');
        return QString::fromLatin1(index > 0 ? QByteArray::number(index) + ',' + values : values);
    }
    QString Transcript() const { return Find<QPlainTextEdit>("mm_Recv")->toPlainText(); }
    QString WriteSnapshot(const QByteArray& params, const QByteArray& id = "0123456789") {
        const QString path = Path("file.snapshot");
        WriteAll(path, "[Device]\r\nID=" + id + "\r\n[Params]\r\n" + params);
        Messages.FileAnswer = path;
        return path;
    }
    QDialog* WaitForTable() {
        QDialog* dialog = nullptr;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                dialog = Window->findChild<QDialog*>("dlgSnapshotDiff");
                return dialog != nullptr && dialog->isVisible();
            },
            20'000))
            << Transcript().toStdString();
        return dialog;
    }
    // Each row: setting, snapshot's value, device's value, and whether it is ticked.
    static QStringList Rows(QDialog* dialog) {
        QStringList rows;
        auto* table = dialog->findChild<QTableWidget*>("tblSnapshotDiff");
        for (int row = 0; row < table->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < table->columnCount(); ++column) {
                cells.append(table->item(row, column)->text());
            }
            const Qt::ItemFlags flags = table->item(row, 0)->flags();
            if (flags & Qt::ItemIsUserCheckable) {
                cells.append(table->item(row, 0)->checkState() == Qt::Checked ? "ticked"
                                                                              : "unticked");
            }
            rows.append(cells.join(" | "));
        }
        return rows;
    }
    bool WaitIdle() {
        return QTest::qWaitFor(
            [&] { return !Window->Snapshots().Session().Running() && !Window->Engine().IsBusy(); },
            20'000);
    }
    bool WaitForMessage() {
        return QTest::qWaitFor([&] { return !Messages.Messages.isEmpty(); }, 20'000);
    }
    QString Strip() const { return Find<QLabel>("lblOutcome")->text(); }
    QStringList Notices() const {
        QStringList texts;
        for (const auto& message : Messages.Messages) {
            texts.append(message.Text);
        }
        return texts;
    }
};

TEST_F(SnapshotWindowTest, BackUpByAltBSavesEverySettingOfTheDeviceNamedAfterIt) {
    TSimOptions options;
    options.presets = {"(P03,1,+8613800138000)", "(P08,1," + kFence5 + ")", "(P17,1,VAN42)"};
    Connect(options);
    // The file is asked for first: cancelled, nothing is read.
    Messages.FileAnswer = std::nullopt;
    const int answered = Device->Snapshot().Answered();
    QTest::keyClick(Window.get(), Qt::Key_B, Qt::AltModifier);
    QTest::qWait(300);
    EXPECT_EQ(Device->Snapshot().Answered(), answered);
    EXPECT_FALSE(Window->Engine().IsBusy());

    Messages.FileAnswer = Path("van.snapshot");
    QTest::keyClick(Window.get(), Qt::Key_B, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(Path("van.snapshot")); }, 30'000))
        << Transcript().toStdString();
    // One notice, once the file is written, and the strip names it.
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Notices(), QStringList{"Operation success !"});
    EXPECT_EQ(Strip(), "Back up done: 88 values saved to " + Path("van.snapshot"));
    // Once the line has named its device, the next file is named after it.
    Messages.FileAnswer = std::nullopt;
    QTest::keyClick(Window.get(), Qt::Key_B, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Messages.Proposed.size() == 3; }, 2000));
    EXPECT_EQ(Messages.Proposed,
              QStringList({Path("snapshots/device.snapshot"), Path("snapshots/device.snapshot"),
                           Path("snapshots/0123456789.snapshot")}));

    TSnapshot saved;
    ASSERT_EQ(saved.Load(Path("van.snapshot")), std::nullopt);
    EXPECT_EQ(saved.DeviceValue("ID"), "0123456789");
    EXPECT_EQ(saved.DeviceValue("Alias"), "VAN42");
    EXPECT_EQ(saved.Param("P03"), "+8613800138000");
    EXPECT_EQ(saved.Param("P08.5"), QString::fromLatin1(kFence5));
    for (const TParamEntry& entry : TParamCatalogue::Entries()) {
        if (entry.Readable && entry.Writable) {
            EXPECT_EQ(saved.Param(entry.Key), Held(entry.ParamNo, entry.Index))
                << entry.Key.toStdString();
        }
    }
    // The replies went through the window as usual.
    EXPECT_EQ(Ui().txtCenterNumber->text(), "+8613800138000");
    EXPECT_EQ(Window->GeoFences()[4].Name, "HOME");
    EXPECT_EQ(Window->Engine().Batch()->Label, "Back up");
    EXPECT_EQ(Window->Engine().Batch()->Answered, 90);
}

TEST_F(SnapshotWindowTest, CompareListsExactlyTheSettingsThatDifferAndWritesNothing) {
    Connect();
    WriteSnapshot("P03=+8613900000000\r\nP17=" + Held(17).toLatin1() +
                  "\r\nP12=" + Held(12).toLatin1() + "\r\nP08.5=" + kFence5 + "\r\nP11.2=2,0\r\n");
    Button("btnSnapshotCompare")->click();
    QDialog* table = WaitForTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(Rows(table),
              QStringList({"SMS Primary number | +8613900000000 | ",
                           "Authorized number 2 | 2,0 | " + Held(11, 2),
                           "Geo-fence 5 | " + QString::fromLatin1(kFence5) + " | " + Held(8, 5)}));
    EXPECT_FALSE(Transcript().contains(",1,")) << "nothing is written";
    table->findChild<QPushButton*>("btnSnapshotCancel")->click();
    EXPECT_FALSE(table->isVisible());
}

TEST_F(SnapshotWindowTest, RestoreWritesOnlyTheTickedRowsCheckedAndTheWindowShowsTheDevice) {
    Connect();
    WriteSnapshot("P03=+8613900000000\r\nP17=VAN42\r\nP12=480\r\n");
    Button("btnSnapshotRestore")->click();
    QDialog* dialog = WaitForTable();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Rows(dialog), QStringList({"SMS Primary number | +8613900000000 |  | ticked",
                                         "Another name | VAN42 |  | ticked",
                                         "Time difference | 480 | -60 | ticked"}));
    // The user keeps the device's name: down to its row, Space, then Alt+W.
    auto* table = dialog->findChild<QTableWidget*>("tblSnapshotDiff");
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_Space);
    EXPECT_EQ(Rows(dialog)[1], "Another name | VAN42 |  | unticked");
    // A screen reader's one action on a row ticks and unticks it.
    const auto toggle = [table](int row) {
        QAccessibleInterface* cell =
            QAccessible::queryAccessibleInterface(table)->tableInterface()->cellAt(row, 0);
        cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        return cell->state().checked;
    };
    EXPECT_FALSE(toggle(0));
    EXPECT_EQ(Rows(dialog)[0], "SMS Primary number | +8613900000000 |  | unticked");
    EXPECT_TRUE(toggle(0));
    EXPECT_EQ(Rows(dialog)[0], "SMS Primary number | +8613900000000 |  | ticked");
    QApplication::setActiveWindow(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    QTest::keyClick(dialog, Qt::Key_W, Qt::AltModifier);
    ASSERT_TRUE(WaitForMessage()) << Transcript().toStdString();
    // Its reads were a step: one notice, at the very end.
    EXPECT_EQ(Notices(), QStringList{"Operation success !"});
    EXPECT_EQ(Strip(), "Restore done: the device confirmed every written setting (2): 2 by "
                       "reading them back, 0 by their echo alone (they cannot be read)");
    EXPECT_TRUE(Messages.Questions.isEmpty()) << Messages.Questions[0].Text.toStdString();

    EXPECT_EQ(Held(3), "+8613900000000");
    EXPECT_EQ(Held(12), "480");
    EXPECT_EQ(Held(17), "");
    EXPECT_FALSE(Transcript().contains("(P17,1,")) << Transcript().toStdString();
    EXPECT_EQ(Ui().txtCenterNumber->text(), "+8613900000000");
    EXPECT_EQ(Ui().txtTimeDifferent->text(), "480");
    EXPECT_TRUE(Window->Engine().Batch()->Succeeded());
}

TEST_F(SnapshotWindowTest, ASnapshotOfAnotherDeviceIsWrittenOnlyWhenTheUserAgrees) {
    Connect();
    WriteSnapshot("P03=+8613900000000\r\n", "4711");
    Messages.ConfirmAnswer = false;

    // The device is not known yet: its reads come first, the question before any write.
    Button("btnSnapshotRestore")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Messages.Questions.isEmpty(); }, 20'000));
    EXPECT_EQ(Messages.Questions[0].Text.toStdString(),
              "This snapshot was taken from device 4711, but the connected device is "
              "0123456789. Write its values to this device anyway?");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Window->findChild<QDialog*>("dlgSnapshotDiff"), nullptr);
    EXPECT_EQ(Held(3), "");
    EXPECT_TRUE(Messages.Messages.isEmpty()) << Messages.Messages[0].Text.toStdString();
    EXPECT_EQ(Strip(), "Restore cancelled: you chose not to write the snapshot of device 4711 "
                       "to device 0123456789; nothing was written");

    // Now the window knows the device: the question comes before anything is sent.
    const int answered = Device->Snapshot().Answered();
    Button("btnSnapshotRestore")->click();
    EXPECT_EQ(Messages.Questions.size(), 2);
    QTest::qWait(300);
    EXPECT_EQ(Device->Snapshot().Answered(), answered);
    EXPECT_FALSE(Window->Engine().IsBusy());

    // Agreed to, the restore goes on as usual.
    Messages.ConfirmAnswer = true;
    Button("btnSnapshotRestore")->click();
    QDialog* dialog = WaitForTable();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Messages.Questions.size(), 3);
    dialog->findChild<QPushButton*>("btnSnapshotWrite")->click();
    ASSERT_TRUE(WaitForMessage());
    EXPECT_EQ(Held(3), "+8613900000000");
}

TEST_F(SnapshotWindowTest, TheWindowsValuesRoundTripThroughTheReaderAndProgramADevice) {
    Connect();
    // The technician starts from what the device holds and changes a few things by hand.
    QTest::keyClick(Window.get(), Qt::Key_A, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Window->Engine().IsBusy(); }, 2000));
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(Window->Engine().Batch()->Succeeded());
    ASSERT_TRUE(WaitForMessage());
    Messages.Messages.clear();
    Ui().txtCenterNumber->setText("+8613700000000");
    Ui().txtAlias->setText("VAN7");
    Ui().txtRadius->setText("450");
    Window->Replies().SetVolumeLevel(5);
    TGeoFence& fence = Window->GeoFences()[2];
    fence.Name = "DEPOT";
    fence.LTLongitude = 113.9;
    fence.LTLatitude = 22.5;
    fence.RBLongitude = 114.1;
    fence.RBLatitude = 22.4;
    Messages.FileAnswer = Path("clone.snapshot");
    Button("btnSnapshotSaveWindow")->click();
    EXPECT_EQ(Messages.Proposed, QStringList{Path("snapshots/VAN7.snapshot")});
    ASSERT_TRUE(Messages.Messages.isEmpty()) << Messages.Messages[0].Text.toStdString();

    TSnapshot saved;
    ASSERT_EQ(saved.Load(Path("clone.snapshot")), std::nullopt);
    EXPECT_EQ(saved.DeviceValue("ID"), "");
    EXPECT_EQ(saved.Param("P03"), "+8613700000000");
    EXPECT_EQ(saved.Param("P17"), "VAN7");
    EXPECT_EQ(saved.Param("P09"), "450");
    EXPECT_EQ(saved.Param("P14"), "5");
    EXPECT_EQ(saved.Params().size(), 22 + 64 + 2) << saved.ToBytes().toStdString();

    // Restored to the device, it programs what the window showed; the radius, which the
    // device cannot report, is listed and written too.
    Button("btnSnapshotRestore")->click();
    QDialog* dialog = WaitForTable();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(Rows(dialog).contains("Self geo-fence radius | 450 | (the device cannot report "
                                      "it) | ticked"))
        << Rows(dialog).join("\n").toStdString();
    dialog->findChild<QPushButton*>("btnSnapshotWrite")->click();
    ASSERT_TRUE(WaitForMessage()) << Transcript().toStdString();
    EXPECT_EQ(Messages.Messages[0].Icon, TMessageIcon::Information)
        << Messages.Messages[0].Text.toStdString();
    EXPECT_EQ(Held(3), "+8613700000000");
    EXPECT_EQ(Held(17), "VAN7");
    EXPECT_EQ(Held(9), "450");
    EXPECT_EQ(Held(14), "5");
    EXPECT_EQ(Held(8, 3), saved.Param("P08.3"));
    EXPECT_TRUE(Held(8, 3).endsWith(",DEPOT"));
}

// The bench without the command line: one device takes its row of the fleet's values file.
TEST_F(SnapshotWindowTest, RestoreTakesTheDevicesRowOfAValuesFile) {
    Connect();
    const QString snapshot = WriteSnapshot("P03=+8613900000000\r\nP17=FLEET\r\n");
    Button("btnSnapshotRestore")->click();
    QDialog* dialog = WaitForTable();
    ASSERT_NE(dialog, nullptr);
    auto* values = dialog->findChild<QPushButton*>("btnSnapshotValues");
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(values->accessibleName(), "Values...");
    EXPECT_FALSE(values->toolTip().isEmpty());
    EXPECT_TRUE(values->focusPolicy() & Qt::TabFocus);

    // A file without this device's row changes nothing; the user is told why.
    WriteAll(Path("other.csv"), "ID,P17\r\n4711,VAN_1\r\n");
    Messages.FileAnswer = Path("other.csv");
    values->click();
    ASSERT_TRUE(WaitForMessage());
    EXPECT_EQ(Messages.Messages[0].Text,
              "other.csv has no row for device 0123456789 (port " + Device->SlavePath() + ").");
    Messages.Messages.clear();

    Messages.FileAnswer = snapshot;
    Button("btnSnapshotRestore")->click();
    dialog = WaitForTable();
    ASSERT_NE(dialog, nullptr);
    WriteAll(Path("fleet.csv"),
             "ID,P17,P11.2\r\n4711,VAN_1,\r\n0123456789,VAN_9,\"2,13900000002\"\r\n");
    Messages.FileAnswer = Path("fleet.csv");
    QApplication::setActiveWindow(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    const QPointer<QDialog> first = dialog;
    QTest::keyClick(dialog, Qt::Key_L, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !first; }, 5000));
    dialog = WaitForTable();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->findChild<QLabel*>("lblSnapshotValues")->text(),
              "Values of this device from fleet.csv, line 3: P17, P11.2");
    EXPECT_EQ(Rows(dialog),
              QStringList({"SMS Primary number | +8613900000000 |  | ticked",
                           "Another name | VAN_9 |  | ticked",
                           "Authorized number 2 | 2,13900000002 | " + Held(11, 2) + " | ticked"}));
    dialog->findChild<QPushButton*>("btnSnapshotWrite")->click();
    ASSERT_TRUE(WaitForMessage()) << Transcript().toStdString();
    EXPECT_EQ(Notices(), QStringList{"Operation success !"});
    EXPECT_EQ(Held(17), "VAN_9");
    EXPECT_EQ(Held(11, 2), "2,13900000002");
}

// A restore stopped part-way says what the device took and what it may hold, also after a late
// answer; a command the device left unanswered is sent again, and the strip says so. The day
// log keeps each outcome once, as the strip shows it.
TEST_F(SnapshotWindowTest, ARestoreSaysWhatTheDeviceTookWhateverStopsIt) {
    TSimOptions slow;
    slow.delayMs = 300;
    TSimOptions drops = slow;
    drops.dropEvery = 3;
    const QString unknown = "0 of 2 writes answered (0 confirmed, 0 differ); 0 of 2 reads "
                            "answered; no answer to (P03,1,+4911111); 3 not sent. Sent, result "
                            "unknown: SMS Primary number.";
    const struct {
        const char* Case;
        TSimOptions Options;
        std::function<void()> Stop; // once the device holds the first write, before its echo
        QStringList Outcomes;       // the day log's, in order; the strip shows the last
    } cases[] = {
        {"the line is lost",
         slow,
         [&] { Device->Unplug(); },
         {"Restore interrupted: the line was lost. " + unknown}},
        {"the user cancels, and the echo comes late",
         slow,
         [&] { Button("btnCancelBatch")->click(); },
         {"Restore cancelled by the user. " + unknown,
          "Restore cancelled by the user. 1 of 2 writes answered (1 confirmed, 0 differ); 0 of 2 "
          "reads answered; 3 not sent. Written: SMS Primary number."}},
        {"replies are lost and their commands sent again",
         drops,
         {},
         {"Restore done: the device confirmed every written setting (2): 2 by reading them back, "
          "0 by their echo alone (they cannot be read)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Window.reset();
        if (Device) {
            Device->Stop();
        }
        ASSERT_NO_FATAL_FAILURE(Connect(c.Options));
        const qsizetype from = DayLog(0).size() - 1;
        const auto outcomes = [&] {
            QStringList lines;
            for (const QString& line : DayLog(from)) {
                if (line.startsWith("== Outcome : ")) {
                    lines.append(line.mid(13));
                }
            }
            return lines;
        };
        QStringList shown;
        const auto watch = [&] {
            if (shown.isEmpty() || shown.last() != Strip()) {
                shown.append(Strip());
            }
        };
        WriteSnapshot("P03=+4911111\r\nP12=480\r\n");
        Button("btnSnapshotRestore")->click();
        QDialog* dialog = WaitForTable();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QPushButton*>("btnSnapshotWrite")->click();
        if (c.Stop) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return Held(3) == "+4911111"; }, 20'000));
            c.Stop();
        }
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                watch();
                return outcomes().size() >= c.Outcomes.size() && !Window->Engine().IsBusy();
            },
            20'000))
            << outcomes().join('\n').toStdString();
        QTest::qWait(400);
        EXPECT_EQ(outcomes().join('\n').toStdString(), c.Outcomes.join('\n').toStdString());
        EXPECT_EQ(Strip().toStdString(), c.Outcomes.last().toStdString());
        if (!c.Stop) {
            EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const QString& text) {
                return text.startsWith("Restore: the device did not answer (") &&
                       text.endsWith("; trying again (2 of 3)");
            })) << shown.join('\n').toStdString();
        }
    }
}

// The window's own message boxes; only the file dialogs answer by themselves.
class TBoxesOnScreen : public TQtMessageService {
public:
    std::optional<QString> GetOpenFileName(const QString&, const QString&) override {
        return FileAnswer;
    }
    std::optional<QString> FileAnswer;
};

class SnapshotBoxesTest : public SnapshotWindowTest {
protected:
    SnapshotBoxesTest() { Service = &Boxes; }
    ~SnapshotBoxesTest() override { Window.reset(); }
    QList<QMessageBox*> Shown() const {
        QList<QMessageBox*> shown;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                shown.append(box);
            }
        }
        return shown;
    }
    TBoxesOnScreen Boxes;
};

// A Restore with tips on: its reads tell no end of their own, the writes' immediate echoes are
// read as they come, one notice ends it, and a message that comes while it is open waits.
TEST_F(SnapshotBoxesTest, ARestoreEndsWithOneNoticeAndNoBoxStopsTheLine) {
    Connect();
    Boxes.SetOwner(Window.get());
    Boxes.FileAnswer = WriteSnapshot("P03=+4911111\r\n");
    Button("btnSnapshotRestore")->click();
    QDialog* dialog = WaitForTable();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(Shown().isEmpty());
    dialog->findChild<QPushButton*>("btnSnapshotWrite")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Shown().isEmpty(); }, 20'000))
        << Transcript().toStdString();
    EXPECT_EQ(Shown().size(), 1);
    EXPECT_EQ(Shown()[0]->text(), "Operation success !");
    EXPECT_FALSE(Transcript().contains("No answer")) << Transcript().toStdString();
    EXPECT_EQ(Held(3), "+4911111");
    EXPECT_EQ(Window->FieldStates().Mark(Ui().txtCenterNumber), TFieldMark::None);

    // The line goes while the notice is open: its message follows once the notice is closed.
    Device->Unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Window->ComPort().IsOpen(); }, 5000));
    QTest::qWait(100);
    ASSERT_EQ(Shown().size(), 1);
    Shown()[0]->accept();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Shown().size() == 1 && Shown()[0]->text() != "Operation success !"; }, 2000));
    EXPECT_EQ(Shown()[0]->windowTitle(), "ERROR");
}

} // namespace
