#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// A PostgreSQL server of the caller's own, from Debian's postgresql package: a cluster made by
// initdb in a temporary folder, listening only on a Unix socket there, run as the postgres
// user when the caller is the superuser (the server refuses to run as root). Stop ends it by
// its process id; the destructor does too. Tests and benchmarks never use a server they did
// not start.
class TPrivatePostgres {
public:
    static constexpr int kPort = 5432; // names the socket only: no TCP port is opened
    static constexpr const char* kUser = "tervo";

    // fsync: off makes a throw-away test cluster quicker; benchmarks keep it on.
    explicit TPrivatePostgres(bool fsync = false) : FFsync(fsync) {}
    ~TPrivatePostgres() { Stop(); }
    TPrivatePostgres(const TPrivatePostgres&) = delete;
    TPrivatePostgres& operator=(const TPrivatePostgres&) = delete;

    // Makes the cluster on the first call, then starts the server; the error text on failure.
    QString Start() {
        const QString bin = BinDir();
        if (bin.isEmpty()) {
            return QStringLiteral("no PostgreSQL server installed (Debian package postgresql)");
        }
        if (!FDir.isValid()) {
            return QStringLiteral("no temporary folder");
        }
        const QString data = FDir.filePath(QStringLiteral("data"));
        if (!QDir(data).exists()) {
            // Open to the server's user, who owns its data and socket folders.
            ::chmod(QFile::encodeName(FDir.path()).constData(), 0755);
            for (const QString& folder : {data, SocketDir()}) {
                QDir().mkpath(folder);
                if (const passwd* user = ServerUser()) {
                    if (::chown(QFile::encodeName(folder).constData(), user->pw_uid,
                                user->pw_gid) != 0) {
                        return QStringLiteral("cannot give %1 to the postgres user").arg(folder);
                    }
                }
            }
            if (const QString error =
                    Run(bin + QStringLiteral("/initdb"),
                        {QStringLiteral("-D"), data, QStringLiteral("-U"), QLatin1String(kUser),
                         QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
                         QStringLiteral("UTF8"), QStringLiteral("--locale=C"),
                         QStringLiteral("--no-sync")});
                !error.isEmpty()) {
                return error;
            }
        }
        const QString options =
            QStringLiteral("-k %1 -c listen_addresses= -p %2 -c fsync=%3 -c max_connections=60")
                .arg(SocketDir())
                .arg(kPort)
                .arg(FFsync ? QStringLiteral("on") : QStringLiteral("off"));
        if (const QString error =
                Run(bin + QStringLiteral("/pg_ctl"),
                    {QStringLiteral("-D"), data, QStringLiteral("-l"),
                     SocketDir() + QStringLiteral("/server.log"), QStringLiteral("-w"),
                     QStringLiteral("-o"), options, QStringLiteral("start")});
            !error.isEmpty()) {
            return error;
        }
        QFile pidFile(data + QStringLiteral("/postmaster.pid"));
        if (!pidFile.open(QIODevice::ReadOnly)) {
            return QStringLiteral("the server wrote no pid file");
        }
        FPid = pid_t(pidFile.readLine().trimmed().toLongLong());
        return FPid > 0 ? QString() : QStringLiteral("the server's pid file is empty");
    }

    // Ends the server by its pid (a fast shutdown), waiting until it is gone.
    void Stop() {
        if (FPid <= 0) {
            return;
        }
        ::kill(FPid, SIGINT);
        // Gone, or done and waiting to be reaped by whoever adopted it: its pid file goes last.
        const QString pidFile = FDir.filePath(QStringLiteral("data/postmaster.pid"));
        const auto alive = [&] {
            return (::kill(FPid, 0) == 0 || errno != ESRCH) && QFile::exists(pidFile);
        };
        for (int i = 0; i < 500 && alive(); ++i) {
            QThread::msleep(20);
        }
        if (alive()) {
            ::kill(FPid, SIGKILL);
        }
        FPid = 0;
    }

    bool Running() const { return FPid > 0; }

    // A new empty database; the error text on failure.
    QString CreateDatabase(const QString& name) {
        QString error;
        {
            const QString connection = QUuid::createUuid().toString();
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
            db.setHostName(SocketDir());
            db.setPort(kPort);
            db.setUserName(QLatin1String(kUser));
            db.setDatabaseName(QStringLiteral("postgres"));
            if (!db.open()) {
                error = db.lastError().text();
            } else if (QSqlQuery query(db);
                       !query.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name))) {
                error = query.lastError().text();
            }
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection);
        }
        return error;
    }

    // The address of a database on this server, as --records takes it.
    QString Url(const QString& database) const {
        return QStringLiteral("postgresql://%1@%2:%3/%4")
            .arg(QLatin1String(kUser), QString::fromLatin1(QUrl::toPercentEncoding(SocketDir())),
                 QString::number(kPort), database);
    }

    QString SocketDir() const { return FDir.filePath(QStringLiteral("run")); }

private:
    static const passwd* ServerUser() {
        return ::geteuid() == 0 ? ::getpwnam("postgres") : nullptr;
    }

    // The newest installed server's programs.
    static QString BinDir() {
        const QDir versions(QStringLiteral("/usr/lib/postgresql"));
        QStringList names = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(names.begin(), names.end(),
                  [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
        for (const QString& name : names) {
            const QString bin = versions.filePath(name + QStringLiteral("/bin"));
            if (QFile::exists(bin + QStringLiteral("/initdb"))) {
                return bin;
            }
        }
        return QString();
    }

    // Runs a server program, as the postgres user when the caller is the superuser.
    QString Run(const QString& program, const QStringList& arguments) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(FDir.path());
        if (ServerUser()) {
            process.start(QStringLiteral("runuser"),
                          QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                      QStringLiteral("--"), program} +
                              arguments);
        } else {
            process.start(program, arguments);
        }
        if (!process.waitForFinished(120'000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            return QStringLiteral("%1 failed: %2")
                .arg(program, QString::fromLocal8Bit(process.readAll()));
        }
        return QString();
    }

    QTemporaryDir FDir;
    bool FFsync;
    pid_t FPid = 0;
};
