#include "uCliOptions.h"

#include "uPortList.h"

#include <QCommandLineParser>
#include <algorithm>
#include <array>

namespace {

struct TCommand {
    const char* Name;
    const char* Usage;
    bool Ports;     // takes --port
    bool ManyPorts; // takes several
    int Files;      // positional snapshot files
    bool NeedsPort = true;
};

const std::array<TCommand, 7> kCommands = {{
    {"backup", "backup --port PORT [--baud N] --out FILE", true, false, 0},
    {"restore",
     "restore --port PORT [--port PORT ...] [--baud N] [--report FILE] [--no-read-back] SNAPSHOT",
     true, true, 1},
    {"verify", "verify --port PORT [--port PORT ...] [--baud N] [--report FILE] SNAPSHOT", true,
     true, 1},
    {"diff", "diff SNAPSHOT_A SNAPSHOT_B", false, false, 2},
    {"fences-export", "fences-export SNAPSHOT OUT.geojson", false, false, 2},
    {"fences-import", "fences-import SNAPSHOT IN.geojson|IN.kml", false, false, 2},
    {"scan", "scan [--port PORT ...] [--baud N] [--json]", true, true, 0, false},
}};

QString Usage() {
    QString text = QStringLiteral("Usage:\n");
    for (const TCommand& command : kCommands) {
        text += QStringLiteral("  tervo-cli %1\n").arg(QLatin1String(command.Usage));
    }
    text += QStringLiteral(
        "Every command takes --quiet (no progress lines on standard error).\n"
        "fences-export writes the snapshot's geo-fences as GeoJSON; fences-import sets the\n"
        "snapshot's geo-fences from a GeoJSON or KML file, keeping its other lines.\n"
        "scan asks every serial port of the system (or those given) at once which tracker is\n"
        "there; exit status 0 when one answered, 3 when none did.\n"
        "Exit status: 0 every value confirmed (diff: the files are equal), 1 some value differs,\n"
        "3 some device did not answer or its line failed, 2 a usage or file error.\n");
    return text;
}

} // namespace

std::optional<TCliOptions> ParseCliOptions(const QStringList& arguments, QString& error,
                                           QString& help) {
    const QString name = arguments.value(1);
    if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        help = Usage();
        return std::nullopt;
    }
    const auto command = std::find_if(kCommands.begin(), kCommands.end(), [&](const TCommand& c) {
        return name == QLatin1String(c.Name);
    });
    if (command == kCommands.end()) {
        error = (name.isEmpty() ? QStringLiteral("no command given")
                                : QStringLiteral("unknown command \"%1\"").arg(name)) +
                QLatin1Char('\n') + Usage();
        return std::nullopt;
    }
    const auto usageError = [&](const QString& reason) {
        error =
            QStringLiteral("%1\nUsage: tervo-cli %2").arg(reason, QLatin1String(command->Usage));
        return std::nullopt;
    };

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PORT"));
    const QCommandLineOption baud(QStringLiteral("baud"), QString(), QStringLiteral("N"));
    const QCommandLineOption out(QStringLiteral("out"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption report(QStringLiteral("report"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption noReadBack(QStringLiteral("no-read-back"));
    const QCommandLineOption quiet(QStringLiteral("quiet"));
    const QCommandLineOption json(QStringLiteral("json"));
    parser.addOption(quiet);
    if (command->Ports) {
        parser.addOptions({port, baud});
    }
    const QString commandName = QLatin1String(command->Name);
    if (commandName == QLatin1String("backup")) {
        parser.addOption(out);
    }
    if (command->ManyPorts) {
        parser.addOption(report);
    }
    if (commandName == QLatin1String("restore")) {
        parser.addOption(noReadBack);
    }
    if (commandName == QLatin1String("scan")) {
        parser.addOption(json);
    }
    QStringList rest = arguments;
    rest.removeAt(1); // the command
    if (!parser.parse(rest)) {
        return usageError(parser.errorText());
    }

    TCliOptions options;
    options.Command = commandName;
    options.Quiet = parser.isSet(quiet);
    options.Files = parser.positionalArguments();
    if (options.Files.size() != command->Files) {
        return usageError(
            command->Files == 0
                ? QStringLiteral("unexpected argument \"%1\"").arg(options.Files[0])
                : QStringLiteral("%1 takes %2 file(s)").arg(commandName).arg(command->Files));
    }
    if (command->Ports) {
        options.Ports = parser.values(port);
        if (options.Ports.isEmpty() && command->NeedsPort) {
            return usageError(QStringLiteral("--port is missing"));
        }
        if (!command->ManyPorts && options.Ports.size() > 1) {
            return usageError(QStringLiteral("%1 works on one port").arg(commandName));
        }
        if (options.Ports.removeDuplicates() > 0) {
            return usageError(QStringLiteral("a port is given twice"));
        }
        if (std::any_of(options.Ports.begin(), options.Ports.end(),
                        [](const QString& p) { return p.trimmed().isEmpty(); })) {
            return usageError(QStringLiteral("--port needs a port name"));
        }
        if (parser.isSet(baud)) {
            bool ok = false;
            const int rate = parser.value(baud).toInt(&ok);
            if (!ok || rate <= 0) {
                return usageError(QStringLiteral("--baud takes a baud rate such as 9600"));
            }
            options.Baud = BaudRateFromInt(parser.value(baud));
            if (options.Baud != rate) {
                return usageError(QStringLiteral("the line does not support %1 baud").arg(rate));
            }
        }
    }
    if (commandName == QLatin1String("backup")) {
        options.Out = parser.value(out);
        if (options.Out.isEmpty()) {
            return usageError(QStringLiteral("--out is missing"));
        }
    }
    if (command->ManyPorts) {
        options.Report = parser.value(report);
    }
    options.ReadBack = !(commandName == QLatin1String("restore") && parser.isSet(noReadBack));
    options.Json = commandName == QLatin1String("scan") && parser.isSet(json);
    return options;
}
