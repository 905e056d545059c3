// The one file writer on every kind of target, and the checks of a command's outputs.
#include "LocaleTestSupport.h"
#include "uAtomicFile.h"

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

class AtomicFile : public TempAppDirTest {
protected:
    QString Link(const QString& name, const QString& target) {
        EXPECT_EQ(::symlink(QFile::encodeName(target).constData(),
                            QFile::encodeName(Path(name)).constData()),
                  0);
        return Path(name);
    }
    mode_t Mode(const QString& path) {
        struct stat info {};
        EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
        return info.st_mode;
    }
    QStringList Files() {
        return QDir(FDir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
};

} // namespace

TEST_F(AtomicFile, EachKindOfTargetIsWrittenWhereItBelongs) {
    struct TCase {
        const char* What;
        std::function<QString()> Prepare; // returns the path to write
        std::function<void()> Check;
    };
    const mode_t umaskNow = ::umask(022);
    ::umask(umaskNow);
    const std::vector<TCase> cases = {
        {"a new file in a new folder", [&] { return Path("new/deeper/out.json"); },
         [&] {
             EXPECT_EQ(ReadAll(Path("new/deeper/out.json")), "data");
             EXPECT_EQ(Mode(Path("new/deeper/out.json")) & 0777, 0666 & ~umaskNow);
         }},
        {"a file keeps its permissions",
         [&] {
             WriteAll(Path("kept.json"), "old");
             ::chmod(QFile::encodeName(Path("kept.json")).constData(), 0640);
             return Path("kept.json");
         },
         [&] {
             EXPECT_EQ(ReadAll(Path("kept.json")), "data");
             EXPECT_EQ(Mode(Path("kept.json")) & 07777, 0640U);
         }},
        {"a link stays a link, its file is replaced",
         [&] {
             WriteAll(Path("real/target.json"), "old");
             return Link("link.json", Path("real/target.json"));
         },
         [&] {
             EXPECT_TRUE(S_ISLNK(Mode(Path("link.json"))));
             EXPECT_EQ(ReadAll(Path("real/target.json")), "data");
         }},
        {"a link to a link to nothing yet",
         [&] {
             Link("first.json", Path("second.json"));
             return Link("second.json", "made.json"); // relative to the link's folder
         },
         [&] {
             EXPECT_TRUE(S_ISLNK(Mode(Path("first.json"))));
             EXPECT_TRUE(S_ISLNK(Mode(Path("second.json"))));
             EXPECT_EQ(ReadAll(Path("made.json")), "data");
         }},
        {"a link planted where a temporary file once was is never followed",
         [&] {
             WriteAll(Path("victim"), "victim");
             Link("plan.json.partial", Path("victim"));
             Link(".tervo-0000000000000000.tmp", Path("victim"));
             return Path("plan.json");
         },
         [&] {
             EXPECT_EQ(ReadAll(Path("victim")), "victim");
             EXPECT_EQ(ReadAll(Path("plan.json")), "data");
             EXPECT_TRUE(S_ISLNK(Mode(Path("plan.json.partial"))));
         }},
        {"the null device stays a device", [&] { return QStringLiteral("/dev/null"); },
         [&] { EXPECT_TRUE(S_ISCHR(Mode("/dev/null"))); }},
    };
    for (const TCase& c : cases) {
        const QString path = c.Prepare();
        EXPECT_EQ(WriteFileAtomic(path, "data"), std::nullopt) << c.What;
        c.Check();
    }
    // No temporary file is left anywhere: the one here is the planted one.
    EXPECT_EQ(Files().filter(".tmp"), QStringList{".tervo-0000000000000000.tmp"});
}

TEST_F(AtomicFile, AFifoIsWrittenStraightInto) {
    const QString fifo = Path("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QByteArray received;
    std::thread reader([&] {
        QFile file(fifo);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        received = file.readAll();
    });
    // Through a link too.
    EXPECT_EQ(WriteFileAtomic(Link("to-pipe", fifo), QByteArray(100000, 'f')), std::nullopt);
    reader.join();
    EXPECT_EQ(received, QByteArray(100000, 'f'));
    EXPECT_TRUE(S_ISFIFO(Mode(fifo)));
    EXPECT_EQ(Files(), (QStringList{"pipe", "to-pipe"}));
}

TEST_F(AtomicFile, OutputsAreCheckedBeforeAnythingIsWritten) {
    WriteAll(Path("in.snapshot"), "in");
    ASSERT_EQ(::link(QFile::encodeName(Path("in.snapshot")).constData(),
                     QFile::encodeName(Path("hard.snapshot")).constData()),
              0);
    Link("soft.snapshot", Path("in.snapshot"));
    QDir().mkpath(Path("folder"));
    const QStringList inputs = {Path("other"), Path("in.snapshot")};
    const auto in = [&](const char* name) { return QDir::toNativeSeparators(Path(name)); };
    const std::vector<std::pair<QString, QString>> cases = {
        {Path("out.json"), {}},
        {Path("new/folder/out.json"), {}},
        {"-", {}},
        {"/dev/null", {}},
        {Path("in.snapshot"), "Cannot write " + in("in.snapshot") + ": it is the file " +
                                  in("in.snapshot") + " that the command reads"},
        {Path("hard.snapshot"), "Cannot write " + in("hard.snapshot") + ": it is the file " +
                                    in("in.snapshot") + " that the command reads"},
        {Path("soft.snapshot"), "Cannot write " + in("soft.snapshot") + ": it is the file " +
                                    in("in.snapshot") + " that the command reads"},
        {Path("folder"), "Cannot write " + in("folder") + ": it is a folder"},
        {Path("in.snapshot/x.json"),
         "Cannot write " + in("in.snapshot/x.json") + ": Not a directory"},
        {"/proc/x.json", "Cannot write /proc/x.json: No such file or directory"},
    };
    for (const auto& [output, error] : cases) {
        EXPECT_EQ(CheckOutputs({output}, inputs).value_or(QString()).toStdString(),
                  error.toStdString());
    }
    // Nothing was made by the checks.
    EXPECT_FALSE(QFile::exists(Path("new")));
    EXPECT_EQ(Files(), (QStringList{"folder", "hard.snapshot", "in.snapshot", "soft.snapshot"}));
    EXPECT_EQ(ReadAll(Path("in.snapshot")), "in");
    // The writer refuses what the check refuses, and changes nothing.
    EXPECT_EQ(WriteFileAtomic(Path("folder"), "x"),
              "Cannot write " + in("folder") + ": it is a folder");
    EXPECT_EQ(WriteFileAtomic("/proc/x.json", "x").value_or(QString()).left(25),
              "Cannot write /proc/x.json");
}
