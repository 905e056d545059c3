// The records of the window's jobs against the simulated device on a pseudo-terminal, and the
// History... dialog that lists them.
#include "WindowOnSimSupport.h"
#include "uRecordStore.h"
#include "uRecordsLocation.h"

#include <QAccessible>
#include <QCryptographicHash>
#include <QDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTableWidget>

namespace {

class RecordsWindowTest : public WindowOnSimTest {
protected:
    void Connect() {
        ASSERT_NO_FATAL_FAILURE(WindowOnSimTest::Connect({}, 150, 5, false));
        Ui().pgCtrl->setCurrentWidget(Find<QWidget>("tsSnapshot"));
    }
    QString Transcript() const { return Find<QPlainTextEdit>("mm_Recv")->toPlainText(); }
    // Waits until the window is idle and the job's record has been kept.
    bool WaitForRecords(std::size_t count) {
        return QTest::qWaitFor([&] { return Stored().size() == count; }, 30'000);
    }
    std::vector<TJobRecord> Stored(const TRecordFilter& filter = {}) {
        TRecordStore store(TRecordsLocation::Default());
        std::vector<TJobRecord> records;
        return store.Find(filter, records) ? std::vector<TJobRecord>() : records;
    }
    QDialog* WaitForDialog(const char* name) {
        QDialog* dialog = nullptr;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                dialog = Window->findChild<QDialog*>(QLatin1String(name));
                return dialog != nullptr && dialog->isVisible();
            },
            20'000))
            << Transcript().toStdString();
        return dialog;
    }
    static QString Accessible(QWidget* widget, QAccessible::Text kind) {
        return QAccessible::queryAccessibleInterface(widget)->text(kind);
    }
    static QStringList Column(const QTableWidget* table, int column) {
        QStringList cells;
        for (int row = 0; row < table->rowCount(); ++row) {
            cells.append(table->item(row, column)->text());
        }
        return cells;
    }
};

TEST_F(RecordsWindowTest, EveryJobOfTheWindowIsRecordedAndHistoryListsThem) {
    Connect();
    // Back up by its access key, saved.
    Messages.FileAnswer = Path("van.snapshot");
    QTest::keyClick(Window.get(), Qt::Key_B, Qt::AltModifier);
    ASSERT_TRUE(WaitForRecords(1)) << Transcript().toStdString();
    // Compare, then Restore of the one setting that differs.
    const QByteArray snapshot = "[Params]\r\nP03=+8613900000000\r\nP12=-60\r\n";
    WriteAll(Path("file.snapshot"), snapshot);
    Messages.FileAnswer = Path("file.snapshot");
    Find<QPushButton>("btnSnapshotCompare")->click();
    QDialog* compared = WaitForDialog("dlgSnapshotDiff");
    ASSERT_NE(compared, nullptr);
    compared->reject();
    ASSERT_TRUE(WaitForRecords(2));
    // The restore takes the device's row of a values file.
    Find<QPushButton>("btnSnapshotRestore")->click();
    const QPointer<QDialog> compare = WaitForDialog("dlgSnapshotDiff");
    ASSERT_NE(compare, nullptr);
    WriteAll(Path("fleet.csv"), "ID,P17\r\n0123456789,VAN_9\r\n");
    Messages.FileAnswer = Path("fleet.csv");
    compare->findChild<QPushButton*>("btnSnapshotValues")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !compare; }, 5000));
    QDialog* restoring = WaitForDialog("dlgSnapshotDiff");
    ASSERT_NE(restoring, nullptr);
    restoring->findChild<QPushButton*>("btnSnapshotWrite")->click();
    ASSERT_TRUE(WaitForRecords(3)) << Transcript().toStdString();
    // Write All and Factory Default, as the bottom bar runs them.
    Ui().btnWriteAll->click();
    ASSERT_TRUE(WaitForRecords(4)) << Transcript().toStdString();
    Ui().btnDefault->click();
    ASSERT_TRUE(WaitForRecords(5)) << Transcript().toStdString();

    const std::vector<TJobRecord> records = Stored();
    QStringList operations;
    QStringList results;
    for (const TJobRecord& record : records) {
        operations.append(record.Operation);
        results.append(record.Result);
        EXPECT_EQ(record.DeviceId, "0123456789") << record.Operation.toStdString();
        EXPECT_EQ(record.Port, Device->SlavePath());
        EXPECT_EQ(record.Firmware, "TERVO_SIM_V1.0");
        EXPECT_FALSE(record.Station.isEmpty() || record.User.isEmpty() || record.Version.isEmpty());
    }
    EXPECT_EQ(operations,
              QStringList({"factory-default", "write-all", "restore", "compare", "backup"}));
    EXPECT_EQ(results,
              QStringList({"confirmed", "confirmed", "confirmed", "differs", "confirmed"}));
    EXPECT_EQ(records[4].Detail, "saved to " + Path("van.snapshot"));
    const TJobRecord& restore = records[2];
    EXPECT_EQ(restore.Template, "file.snapshot");
    EXPECT_EQ(restore.TemplateSha256,
              QCryptographicHash::hash(snapshot, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(restore.ValuesRow, R"({"file":"fleet.csv","line":2,"values":{"P17":"VAN_9"}})");
    // The written keys confirmed by read-back, the key the device already held as compared.
    const QJsonObject states = QJsonDocument::fromJson(restore.States.toUtf8()).object();
    EXPECT_EQ(states.keys(), QStringList({"P03", "P12", "P17"}));
    EXPECT_EQ(states["P03"].toObject()["device"].toString(), "+8613900000000");
    EXPECT_EQ(states["P12"].toObject()["state"].toString(), "confirmed");
    const QJsonObject written = QJsonDocument::fromJson(records[1].States.toUtf8()).object();
    EXPECT_EQ(written["P03"].toObject()["sent"].toString(), "+8613900000000");
    EXPECT_EQ(written["P03"].toObject()["state"].toString(),
              "echoed"); // Write All reads nothing back

    // History... by its access key: the device's jobs, newest first; the states of the one
    // selected; another device's ID typed in.
    QApplication::setActiveWindow(Window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    QTest::keyClick(Window.get(), Qt::Key_H, Qt::AltModifier);
    QDialog* history = WaitForDialog("dlgRecordsHistory");
    ASSERT_NE(history, nullptr);
    auto* jobs = history->findChild<QTableWidget*>("tblHistory");
    auto* settings = history->findChild<QTableWidget*>("tblHistoryStates");
    auto* id = history->findChild<QLineEdit*>("edtHistoryId");
    EXPECT_EQ(id->text(), "0123456789");
    EXPECT_EQ(Column(jobs, 1), operations);
    EXPECT_EQ(history->focusWidget(), jobs);
    QTest::keyClick(jobs, Qt::Key_Down);
    QTest::keyClick(jobs, Qt::Key_Down);
    EXPECT_EQ(Column(settings, 0), QStringList({"SMS Primary number (P03)", "Another name (P17)",
                                                "Time difference (P12)"}));
    EXPECT_EQ(Column(settings, 1), QStringList({"confirmed", "confirmed", "confirmed"}));
    EXPECT_TRUE(history->findChild<QLabel*>("lblHistoryDetail")->text().contains("file.snapshot"));
    // What a screen reader hears of each control, in the order Tab reaches them.
    QStringList heard;
    QWidget* control = id;
    do {
        if (control->focusPolicy() & Qt::TabFocus) {
            heard.append(Accessible(control, QAccessible::Name));
            EXPECT_FALSE(Accessible(control, QAccessible::Description).isEmpty())
                << control->objectName().toStdString();
        }
        control = control->nextInFocusChain();
    } while (control != id);
    EXPECT_EQ(heard.mid(0, 4), QStringList({"Device ID:", "Show", "Jobs, newest first:",
                                            "Settings of the selected job:"}));
    EXPECT_TRUE(heard.value(4).startsWith("Station ")) << heard.join('|').toStdString();
    EXPECT_EQ(heard.mid(5), QStringList({"Close"}));
    EXPECT_EQ(Accessible(Find<QWidget>("btnRecordsHistory"), QAccessible::Name), "History...");
    id->setFocus();
    id->selectAll();
    QTest::keyClicks(id, "4711");
    QTest::keyClick(id, Qt::Key_Return);
    EXPECT_EQ(jobs->rowCount(), 0);
    EXPECT_EQ(history->findChild<QLabel*>("lblHistoryNotice")->text(),
              "No records of device 4711.");
    for (const auto& message : Messages.Messages) {
        EXPECT_NE(message.Caption, "Records") << message.Text.toStdString();
    }
}

// The records file cannot be written: the jobs run as ever, the window says so once, and the
// records wait in the spool until a later job finds the database writable again.
TEST_F(RecordsWindowTest, RecordsTheDatabaseCannotTakeWaitInTheSpool) {
    WriteAll(Path("db"), "a file where the database's folder should be");
    WriteAll(SettingsFilePath(),
             "[config]\r\nlanguage=english\r\n[records]\r\nDatabase=db/r.sqlite\r\n");
    Connect();
    const auto spooled = [&] { return ReadAll(Path("records-spool.jsonl")).count('\n'); };
    for (int job = 1; job <= 2; ++job) {
        Ui().btnDefault->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return spooled() == job; }, 20'000));
    }
    QTest::qWait(50);
    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_TRUE(Messages.Messages[0].Text.contains(Path("records-spool.jsonl")))
        << Messages.Messages[0].Text.toStdString();
    EXPECT_EQ(Messages.Messages[0].Icon, TMessageIcon::Warning);

    ASSERT_TRUE(QFile::remove(Path("db")));
    Ui().btnDefault->click();
    TRecordStore store(TRecordsLocation{.Path = Path("db/r.sqlite")});
    std::vector<TJobRecord> records;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            records.clear();
            return !store.Find({}, records) && records.size() == 3;
        },
        20'000));
    EXPECT_FALSE(QFile::exists(Path("records-spool.jsonl")));
    EXPECT_EQ(Messages.Messages.size(), 1);
}

} // namespace
