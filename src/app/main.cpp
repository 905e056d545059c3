#include "uAppPaths.h"
#include "uCommandLine.h"
#include "uFrmMain.h"
#include "uQtMessageService.h"
#include "uQtSerialPort.h"
#include "uRecordsLocation.h"
#include "uSimPty.h"
#include "uWindowRecords.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <memory>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("tervo-assistant"));
    QCoreApplication::setApplicationVersion(ProgramVersion());
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tervo GPS tracker configuration assistant: reads, edits and writes the "
                       "settings of a tracker on a serial line, its geo-fences on a map."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this help and exit."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Serial port to preset (name or path)."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("Baud rate to preset."),
                                  QStringLiteral("N"));
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Start the built-in simulated device and preset its port."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Print the version and exit."));
    const QCommandLineOption records(
        QStringLiteral("records"),
        QStringLiteral("Where the records of the jobs go: a file, or "
                       "postgresql://user@host:port/dbname (else [records] Database= of the "
                       "settings file, else records.sqlite in the data folder)."),
        QStringLiteral("URL"));
    parser.addOptions({help, port, baud, demo, records, version});
    // Parsed before the application object, so --help works without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "tervo-assistant: %s\n%s\n", qPrintable(parser.errorText()),
                     qPrintable(TryHelpLine(QStringLiteral("tervo-assistant --help"))));
        return 2;
    }
    std::optional<TRecordsLocation> recordsLocation;
    if (parser.isSet(records)) {
        QString error;
        recordsLocation = TRecordsLocation::Parse(parser.value(records), error);
        if (!recordsLocation) {
            std::fprintf(stderr, "tervo-assistant: %s\n%s\n", qPrintable(error),
                         qPrintable(TryHelpLine(QStringLiteral("tervo-assistant --help"))));
            return 2;
        }
    }
    if (parser.isSet(version)) {
        std::fputs(qPrintable(VersionText(QStringLiteral("tervo-assistant"))), stdout);
        return 0;
    }
    if (parser.isSet(help)) {
        // The file locations depend on the executable's folder, which a core application
        // object knows; it needs no display.
        const QCoreApplication core(argc, argv);
        std::fputs(qPrintable(parser.helpText() + QLatin1Char('\n') + FilesDescription()), stdout);
        return 0;
    }

    // The map's web engine shares the widgets' graphics context, which must be asked for before
    // the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The engine's sandbox does not start for the root user (a bench PC set up by hand, a
    // container); the map page is the program's own, so it runs without one there.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", QByteArrayLiteral("1"));
    }
    QApplication app(argc, argv);

    // The simulated device outlives the window that talks to it.
    std::unique_ptr<TSimPty> device;
    if (parser.isSet(demo)) {
        device = std::make_unique<TSimPty>(TSimOptions{});
        QString error;
        if (!device->Start(&error)) {
            std::fprintf(stderr, "tervo-assistant: cannot start the simulated device: %s\n",
                         qPrintable(error));
            return 1;
        }
    }

    TQtMessageService messages;
    TFrmMain window(messages, TQtSerialPort::Factory());
    messages.SetOwner(&window);
    if (device) {
        window.PresetPort(device->SlavePath());
    }
    if (parser.isSet(port)) {
        window.PresetPort(parser.value(port));
    }
    if (parser.isSet(baud)) {
        window.PresetBaud(parser.value(baud));
    }
    if (recordsLocation) {
        window.Records().SetLocation(*recordsLocation);
    }
    window.show();
    return QApplication::exec();
}
