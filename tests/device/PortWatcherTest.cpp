#include "uPortWatcher.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Links that come, go, dangle and lead elsewhere, as the bench's trackers do.
TEST(PortWatcher, SeesLinksComeGoAndLeadElsewhere) {
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
    for (const char* device : {"dev1", "dev2"}) {
        QFile file(path(device));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    TPortWatcher watcher({path("tracker*"), path("other?")});
    QStringList events;
    QObject::connect(&watcher, &TPortWatcher::Appeared,
                     [&](const QString& port) { events.append("+" + port); });
    QObject::connect(&watcher, &TPortWatcher::Vanished,
                     [&](const QString& port) { events.append("-" + port); });
    const auto step = [&](const std::function<void()>& change) {
        change();
        events.clear();
        watcher.Check();
        return events;
    };

    EXPECT_EQ(step([&] {
                  QFile::link(path("dev1"), path("tracker2"));
                  QFile::link(path("dev2"), path("tracker1"));
                  QFile::link(path("gone"), path("tracker3")); // leads nowhere
                  QFile::link(path("dev1"), path("unwatched"));
              }),
              (QStringList{"+" + path("tracker1"), "+" + path("tracker2")}));
    EXPECT_TRUE(watcher.IsPresent(path("tracker1")));
    EXPECT_EQ(step([] {}), QStringList());
    EXPECT_EQ(step([&] { QFile::remove(path("tracker1")); }), QStringList{"-" + path("tracker1")});
    EXPECT_EQ(step([&] {
                  QFile::remove(path("tracker2"));
                  QFile::link(path("dev2"), path("tracker2"));
              }),
              (QStringList{"-" + path("tracker2"), "+" + path("tracker2")}));
    EXPECT_EQ(step([&] { QFile::link(path("dev1"), path("other1")); }),
              QStringList{"+" + path("other1")});
    EXPECT_EQ(step([&] { watcher.Forget(path("other1")); }), QStringList{"+" + path("other1")});
}
