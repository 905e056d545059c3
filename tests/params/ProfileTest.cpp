// Profile files: what a save writes, what a load shows.
#include "ParamsTestSupport.h"
#include "uAtomicFile.h"
#include "uLedDisplay.h"
#include "uProfile.h"
#include "uSegmentMeter.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>

namespace {

class ProfileTest : public ParamsTest {
protected:
    QString Path(const QString& relative) const { return FDir.filePath(relative); }
    static QByteArray ReadAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void WriteAll(const QString& path, const QByteArray& bytes) {
        ASSERT_FALSE(WriteFileAtomic(path, bytes));
    }
    void Load(const QByteArray& content) {
        WriteAll(Path("config/device.cfg"), content);
        Profile.LoadProfile(Path("config/device.cfg"));
    }

    TProfile Profile{Ui(), Messages, *Replies};
};

TEST_F(ProfileTest, AFreshSaveWritesEveryKeyInOrderUnderTheDeviceId) {
    Ui().txtCenterNumber->setText(" +861 ");
    Ui().txtAlias->setText("Van");
    Ui().cboBatteryAlert->setEditText("30%");
    Ui().txtRadius->setText("");
    Ui().ed_MapLat->setText("1.5");
    Ui().ed_MapLng->setText("2.5");
    Ui().ed_MapZoom->setText("9");
    Replies->SetVolumeLevel(4);
    Profile.btnSaveClick();

    const QByteArray expected = "[Para]\r\n"
                                "COM=" +
                                QByteArray::number(Ui().cboCOMIndex->currentIndex()) +
                                "\r\n"
                                "CenterNumber=+861\r\n"
                                "VIPNumber1=\r\nVIPNumber2=\r\nVIPNumber3=\r\nVIPNumber4=\r\n"
                                "VIPNumber5=\r\n"
                                "IPAddress=123.123.123.123\r\n"
                                "Port=8888\r\n"
                                "APN=CMNET\r\nAPNUserName=\r\nAPNPassword=\r\n"
                                "Battery=30\r\n"
                                "Volume=4\r\n"
                                "AnotherName=Van\r\n"
                                "TimeDifferent=-60\r\n"
                                "WorkMode=1\r\n"
                                "UpInterval=150\r\n"
                                "UpTimes=0\r\n"
                                "Radius=0\r\n"
                                "MapLat=1.5\r\nMapLng=2.5\r\nMapZoom=9\r\n"
                                "\r\n";
    EXPECT_EQ(ReadAll(Path("param/0000000000.cfg")), expected);
    EXPECT_TRUE(Messages.Messages.isEmpty());
}

TEST_F(ProfileTest, ASecondSaveKeepsForeignKeysAndReplacesKnownOnesInPlace) {
    Ui().RzMeter_LED->SetText("0123456789");
    WriteAll(Path("param/0123456789.cfg"),
             "[Other]\r\nKeep=1\r\n\r\n[Para]\r\nRadius=5\r\nMine=yes\r\n\r\n");
    Ui().txtRadius->setText("450");
    Profile.btnSaveClick();
    Ui().txtRadius->setText("460");
    Profile.btnSaveClick();

    const QList<QByteArray> lines = ReadAll(Path("param/0123456789.cfg")).split('\n');
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines[0], "[Other]\r");
    EXPECT_EQ(lines[1], "Keep=1\r");
    EXPECT_EQ(lines[3], "[Para]\r");
    EXPECT_EQ(lines[4], "Radius=460\r");
    EXPECT_EQ(lines[5], "Mine=yes\r");
    EXPECT_EQ(lines[6], "COM=" + QByteArray::number(Ui().cboCOMIndex->currentIndex()) + "\r");
    EXPECT_EQ(lines.count("Radius=460\r"), 1);
}

// A profile saved by an editor that marks UTF-8, with one byte that is not UTF-8 in it.
TEST_F(ProfileTest, AByteOrderMarkNeitherHidesTheSectionNorDoublesIt) {
    Ui().RzMeter_LED->SetText("0123456789");
    WriteAll(Path("param/0123456789.cfg"), "\xEF\xBB\xBF[Para]\r\nRadius=555\r\nAPN=caf\xE9\r\n");
    Profile.LoadProfile(Path("param/0123456789.cfg"));
    EXPECT_EQ(Ui().txtRadius->text(), "555");
    EXPECT_EQ(Ui().txtAPN->text(), QString::fromUtf8("café"));

    Profile.btnSaveClick();
    const QByteArray saved = ReadAll(Path("param/0123456789.cfg"));
    EXPECT_TRUE(saved.startsWith("\xEF\xBB\xBF[Para]\r\nRadius=555\r\nAPN=caf\xE9\r\n"));
    EXPECT_EQ(saved.count("[Para]"), 1);
    EXPECT_EQ(saved.count("\xEF\xBB\xBF"), 1);
}

TEST_F(ProfileTest, LoadingAnAlmostEmptyFileShowsTheDefaults) {
    Ui().cbUpLoadMode->setCurrentIndex(1);
    Load("[para]\r\nworkmode=1\r\n");
    EXPECT_EQ(Ui().cbUpLoadMode->currentIndex(), 0);
    EXPECT_EQ(Ui().txtPort->text(), "0");
    EXPECT_EQ(Ui().cboBatteryAlert->currentText(), "20");
    EXPECT_EQ(Replies->VolumeLevel(), 5);
    EXPECT_EQ(Ui().RzMeter_Volume->Value(), 5);
    EXPECT_EQ(Ui().CBox_UploadingInterval->currentText(), "120");
    EXPECT_EQ(Ui().Cbox_UploadingTimes->currentText(), "0");
    EXPECT_EQ(Ui().txtRadius->text(), "300");
    EXPECT_EQ(Ui().ed_MapLat->text(), "22.917922");
    EXPECT_EQ(Ui().ed_MapLng->text(), "125.156251");
    EXPECT_EQ(Ui().ed_MapZoom->text(), "2");
    for (QLineEdit* zero :
         {Ui().txtCenterNumber, Ui().edtVIP_1, Ui().edtVIP_5, Ui().txtIPAddress}) {
        EXPECT_EQ(zero->text(), "0") << zero->objectName().toStdString();
    }
    for (QLineEdit* empty :
         {Ui().txtAPN, Ui().txtAPNUsername, Ui().txtAPNPassword, Ui().txtAlias}) {
        EXPECT_EQ(empty->text(), "") << empty->objectName().toStdString();
    }
    EXPECT_EQ(Ui().txtTimeDifferent->text(), "0"); // nothing saved or loaded yet
}

TEST_F(ProfileTest, AMissingTimeDifferenceKeepsTheLastSavedOrLoadedOne) {
    Ui().txtTimeDifferent->setText("480");
    Profile.SaveProfile(Path("param/a.cfg"));
    Load("[Para]\r\n");
    EXPECT_EQ(Ui().txtTimeDifferent->text(), "480");
    Load("[Para]\r\nTimeDifferent=-120\r\n");
    Load("[Para]\r\nTimeDifferent=soon\r\n");
    EXPECT_EQ(Ui().txtTimeDifferent->text(), "-120");
}

TEST_F(ProfileTest, LoadReadsHexAndQuotedValues) {
    Load("[Para]\r\nPort=0x1F\r\nRadius=$10\r\nAPN='net.example'\r\nAPNUserName=\"u\"\r\n"
         "Battery=abc\r\nWorkMode=7\r\n");
    EXPECT_EQ(Ui().txtPort->text(), "31");
    EXPECT_EQ(Ui().txtRadius->text(), "16");
    EXPECT_EQ(Ui().txtAPN->text(), "net.example");
    EXPECT_EQ(Ui().txtAPNUsername->text(), "u");
    EXPECT_EQ(Ui().cboBatteryAlert->currentText(), "20");
    EXPECT_EQ(Ui().cbUpLoadMode->currentIndex(), -1);
}

TEST_F(ProfileTest, SavedIntegersTakeTheirLeadingDigits) {
    for (const auto& [text, value] : {std::pair{"30%", 30},
                                      {"", 0},
                                      {"Uploading all the time", 0},
                                      {"-12ab", -12},
                                      {"0x1Fz", 31},
                                      {"$ff", 255},
                                      {" 42 ", 42},
                                      {"99999999999", 999999999},
                                      {"+7", 7}}) {
        EXPECT_EQ(TProfile::LeadingInteger(QString::fromLatin1(text).trimmed()), value) << text;
    }
}

TEST_F(ProfileTest, LoadStartsInTheConfigFolderAndACancelChangesNothing) {
    Ui().txtRadius->setText("777");
    Profile.btnLoadClick();
    ASSERT_EQ(Messages.Proposed.size(), 1);
    EXPECT_EQ(Messages.Proposed[0], FDir.path() + "/config");
    EXPECT_EQ(Ui().txtRadius->text(), "777");

    WriteAll(Path("config/x.cfg"), "[Para]\r\nRadius=5\r\n");
    Messages.FileAnswer = Path("config/x.cfg");
    Profile.btnLoadClick();
    EXPECT_EQ(Ui().txtRadius->text(), "5");
}

TEST_F(ProfileTest, AFileThatCannotBeWrittenIsReported) {
    WriteAll(Path("param"), "a file where the folder should be");
    Profile.btnSaveClick();
    ASSERT_EQ(Messages.Messages.size(), 1);
    EXPECT_EQ(Messages.Messages[0].Caption, "Error");
    EXPECT_EQ(Messages.Messages[0].Icon, TMessageIcon::Error);
}

} // namespace
