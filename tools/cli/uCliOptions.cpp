#include "uCliOptions.h"

#include "uCommandLine.h"
#include "uPortList.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <algorithm>
#include <array>

namespace {

struct TCommand {
    const char* Name;
    const char* Usage;
    const char* Summary;
    bool Ports;     // takes --port
    bool ManyPorts; // takes several
    int Files;      // positional snapshot files
    bool NeedsPort = true;
    bool Records = false; // takes --records: a job that is recorded, or the list of records
};

const std::array<TCommand, 9> kCommands = {{
    {"backup", "backup --port PORT [--baud N] [--records URL] --out FILE",
     "Reads every setting and geo-fence of a device into a snapshot.", true, false, 0, true, true},
    {"restore",
     "restore --port PORT [--port PORT ...] [--baud N] [--report FILE] [--records URL] "
     "[--no-read-back] [--values FILE.csv [--values-optional]] SNAPSHOT",
     "Writes a snapshot to devices, checks and reads every value back.", true, true, 1, true, true},
    {"verify",
     "verify --port PORT [--port PORT ...] [--baud N] [--report FILE] [--records URL] "
     "[--values FILE.csv [--values-optional]] SNAPSHOT",
     "Compares devices with a snapshot; writes nothing.", true, true, 1, true, true},
    {"diff", "diff SNAPSHOT_A SNAPSHOT_B", "Lists the settings in which two snapshots differ.",
     false, false, 2},
    {"fences-export", "fences-export SNAPSHOT OUT.geojson|OUT.kml|OUT.kmz|-",
     "Writes a snapshot's geo-fences that are set as GeoJSON, KML or KMZ (by the extension).",
     false, false, 2},
    {"fences-import", "fences-import SNAPSHOT IN.geojson|IN.kml|IN.kmz|-",
     "Sets a snapshot's geo-fences from a GeoJSON, KML or KMZ file.", false, false, 2},
    {"scan", "scan [--port PORT ...] [--baud N] [--json]",
     "Asks every serial port (or those given) at once which tracker is there.", true, true, 0,
     false},
    {"records",
     "records [--id ID] [--since DATE] [--until DATE] [--operation OP] [--result R] "
     "[--format table|csv|json] [--records URL]",
     "Lists the records of the jobs done on devices, newest first.", false, false, 0, false, true},
    {"station",
     "station --template SNAPSHOT [--values FILE.csv [--values-optional]] "
     "[--require-signal gps=N,gsm=N [--signal-wait SECS]] [--watch GLOB ...] [--baud N] "
     "[--report FILE] [--records URL]",
     "Provisions every tracker plugged in, until Ctrl+C.", false, false, 0, false, true},
}};

// "gps=N,gsm=N", either or both; false when the text is not of that form.
bool ReadSignalNeed(const QString& text, TCliOptions& options) {
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& part : parts) {
        const QString name = part.section(QLatin1Char('='), 0, 0).trimmed().toLower();
        bool ok = false;
        const int level = part.section(QLatin1Char('='), 1).trimmed().toInt(&ok);
        if (!ok || level < 0 || part.count(QLatin1Char('=')) != 1) {
            return false;
        }
        if (name == QLatin1String("gps") && !options.NeedGps) {
            options.NeedGps = level;
        } else if (name == QLatin1String("gsm") && !options.NeedGsm) {
            options.NeedGsm = level;
        } else {
            return false;
        }
    }
    return true;
}

QString Usage() {
    QString text;
    for (const TCommand& command : kCommands) {
        text += QStringLiteral("%1tervo-cli %2\n")
                    .arg(text.isEmpty() ? QLatin1String("Usage: ") : QLatin1String("  or:  "),
                         QLatin1String(command.Usage));
    }
    text += QStringLiteral("  or:  tervo-cli COMMAND --help\n  or:  tervo-cli --version\n"
                           "Backs up, restores, verifies and compares Tervo GPS trackers on "
                           "serial lines,\nseveral at once, and moves a snapshot's geo-fences "
                           "to and from GIS files.\n\nCommands:\n");
    for (const TCommand& command : kCommands) {
        text += QStringLiteral("  %1 %2\n")
                    .arg(QLatin1String(command.Name), -14)
                    .arg(QLatin1String(command.Summary));
    }
    text += QStringLiteral(
        "Every command takes --quiet (no progress lines on standard error) and --help (its\n"
        "own options; --help-all shows them all). A port is a name such as ttyUSB0 (opened as\n"
        "/dev/ttyUSB0) or a path. \"-\" is standard output for --out, --report and\n"
        "fences-export, standard input for fences-import. Every file a command writes is\n"
        "checked (writable, none of the files it reads) before any device is touched.\n"
        "restore, verify and station take --values: each device is asked who it is, then given\n"
        "its row of a CSV file over the snapshot.\n"
        "backup, restore, verify and station keep a record of each device's job in the records\n"
        "database:\n"
        "--records FILE or postgresql://user@host:port/dbname, else [records] Database= of the\n"
        "settings file, else records.sqlite in the user's data folder.\n"
        "\nExit status:\n"
        "  0  every value confirmed (diff: the files are equal; scan: a tracker answered;\n"
        "     records: records listed)\n"
        "  1  some value differs (records: none match)\n"
        "  2  a usage or file error\n"
        "  3  some device did not answer or its line failed (scan: none answered)\n"
        "  130, 143  stopped by SIGINT (Ctrl-C) or SIGTERM: each device finished its command in\n"
        "     flight and sent nothing more; the report and the lines say what was done (a\n"
        "     second signal ends the program at once)\n");
    return text;
}

} // namespace

QStringList TCliOptions::Outputs() const {
    if (Command == QLatin1String("fences-export")) {
        return {Files[1]};
    }
    if (Command == QLatin1String("fences-import")) {
        return {Files[0]}; // saved again with the file's fences
    }
    const QString output = Command == QLatin1String("backup") ? Out : Report;
    return output.isEmpty() ? QStringList() : QStringList{output};
}

QStringList TCliOptions::Inputs() const {
    if (Command == QLatin1String("fences-import")) {
        return {Files[1]};
    }
    return Values.isEmpty() ? Files : Files + QStringList{Values};
}

std::optional<TCliOptions> ParseCliOptions(const QStringList& arguments, QString& error,
                                           QString& help) {
    const QString name = arguments.value(1);
    if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        help = Usage();
        return std::nullopt;
    }
    if (name == QLatin1String("--help-all")) {
        // The general help, then each command's usage with its own options.
        help = Usage();
        for (const TCommand& command : kCommands) {
            QString commandHelp;
            ParseCliOptions(
                {arguments.value(0), QLatin1String(command.Name), QStringLiteral("--help")}, error,
                commandHelp);
            QStringList lines = commandHelp.split(QLatin1Char('\n'));
            lines.removeIf([](const QString& line) {
                return line.startsWith(QLatin1String("  -h, --help")) ||
                       line.startsWith(QLatin1String("  --quiet")) ||
                       line == QLatin1String("Options:") || line.isEmpty();
            });
            lines[0] = lines[0].mid(int(qstrlen("Usage: "))) + QLatin1Char(':');
            lines[1] = QStringLiteral("  %1\n").arg(lines[1]);
            help += QLatin1Char('\n') + lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
        }
        return std::nullopt;
    }
    if (name == QLatin1String("--version")) {
        help = VersionText(QStringLiteral("tervo-cli"));
        return std::nullopt;
    }
    const auto command = std::find_if(kCommands.begin(), kCommands.end(), [&](const TCommand& c) {
        return name == QLatin1String(c.Name);
    });
    if (command == kCommands.end()) {
        error = (name.isEmpty() ? QStringLiteral("no command given")
                 : name.startsWith(QLatin1Char('-'))
                     ? QStringLiteral("unknown option \"%1\" before the command").arg(name)
                     : QStringLiteral("unknown command \"%1\"").arg(name)) +
                QLatin1Char('\n') + TryHelpLine(QStringLiteral("tervo-cli --help"));
        return std::nullopt;
    }
    const QString commandName = QLatin1String(command->Name);
    const auto usageError = [&](const QString& reason) {
        error = reason + QLatin1Char('\n') +
                TryHelpLine(QStringLiteral("tervo-cli %1 --help").arg(commandName));
        return std::nullopt;
    };

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QLatin1String(command->Summary));
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("The device's serial port: a name such as ttyUSB0 or a path."),
        QStringLiteral("PORT"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("The line's baud rate (default 9600)."),
                                  QStringLiteral("N"));
    const QCommandLineOption out(QStringLiteral("out"),
                                 QStringLiteral("The snapshot file to write."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption report(
        QStringLiteral("report"),
        QStringLiteral("Write a JSON report of every device and value (docs/report.md)."),
        QStringLiteral("FILE"));
    const QCommandLineOption noReadBack(
        QStringLiteral("no-read-back"),
        QStringLiteral("Check each write by its reply only; read nothing back."));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("No progress lines on standard error."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Print this help and exit."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print the ports as JSON instead of a table."));
    const QCommandLineOption records(
        QStringLiteral("records"),
        QStringLiteral("The records database: a file, or postgresql://user@host:port/dbname."),
        QStringLiteral("URL"));
    // records: the filter's options and the texts they set
    const std::array<std::pair<QCommandLineOption, QString TRecordFilter::*>, 5> filters = {{
        {QCommandLineOption(QStringLiteral("id"), QStringLiteral("Only this device's records."),
                            QStringLiteral("ID")),
         &TRecordFilter::DeviceId},
        {QCommandLineOption(QStringLiteral("since"),
                            QStringLiteral("Only records from this date or time on (2024-05-01, "
                                           "2024-05-01T10:00; UTC unless an offset is given)."),
                            QStringLiteral("DATE")),
         &TRecordFilter::Since},
        {QCommandLineOption(QStringLiteral("until"),
                            QStringLiteral("Only records up to this date (its whole day) or time."),
                            QStringLiteral("DATE")),
         &TRecordFilter::Until},
        {QCommandLineOption(QStringLiteral("operation"),
                            QStringLiteral("Only this operation (backup, restore, verify, ...)."),
                            QStringLiteral("OP")),
         &TRecordFilter::Operation},
        {QCommandLineOption(QStringLiteral("result"),
                            QStringLiteral("Only this result (confirmed, differs, no-answer, "
                                           "line-error, ...)."),
                            QStringLiteral("R")),
         &TRecordFilter::Result},
    }};
    const QCommandLineOption values(
        QStringLiteral("values"),
        QStringLiteral("Each device's own values: a CSV file whose first column is ID or PORT and "
                       "whose other columns are snapshot keys; a cell that is not empty replaces "
                       "the snapshot's value."),
        QStringLiteral("FILE.csv"));
    const QCommandLineOption valuesOptional(
        QStringLiteral("values-optional"),
        QStringLiteral("A device the values file does not name gets the snapshot alone (without "
                       "this it is not written)."));
    const QCommandLineOption templ(QStringLiteral("template"),
                                   QStringLiteral("The snapshot every tracker is given."),
                                   QStringLiteral("SNAPSHOT"));
    const QCommandLineOption requireSignal(
        QStringLiteral("require-signal"),
        QStringLiteral("After writing, wait for a status report with at least these GPS and GSM "
                       "levels (either or both)."),
        QStringLiteral("gps=N,gsm=N"));
    const QCommandLineOption signalWait(
        QStringLiteral("signal-wait"),
        QStringLiteral("How long to wait for those levels (default 60)."), QStringLiteral("SECS"));
    const QCommandLineOption watch(
        QStringLiteral("watch"),
        QStringLiteral("Watch the paths matching GLOB (wildcards in the last part, such as "
                       "/dev/serial/by-id/*) instead of the system's serial ports. Repeatable."),
        QStringLiteral("GLOB"));
    const QCommandLineOption format(
        QStringLiteral("format"),
        QStringLiteral("table (default), csv (RFC 4180, for a spreadsheet) or json."),
        QStringLiteral("FORMAT"));
    parser.addOptions({helpOption, quiet});
    const bool station = commandName == QLatin1String("station");
    // restore, verify and station
    const bool takesValues = command->Files == 1 || station;
    if (command->Ports) {
        parser.addOption(port);
    }
    if (command->Ports || station) {
        parser.addOption(baud);
    }
    if (station) {
        parser.addOptions({templ, watch, requireSignal, signalWait});
    }
    if (takesValues) {
        parser.addOptions({values, valuesOptional});
    }
    if (commandName == QLatin1String("backup")) {
        parser.addOption(out);
    }
    if (takesValues) {
        parser.addOption(report);
    }
    if (commandName == QLatin1String("restore")) {
        parser.addOption(noReadBack);
    }
    if (commandName == QLatin1String("scan")) {
        parser.addOption(json);
    }
    const bool isRecords = commandName == QLatin1String("records");
    if (command->Records) {
        parser.addOption(records);
    }
    if (isRecords) {
        for (const auto& filter : filters) {
            parser.addOption(filter.first);
        }
        parser.addOption(format);
    }
    QStringList rest = arguments;
    rest.removeAt(1); // the command
    if (!parser.parse(rest)) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(helpOption)) {
        // The parser's own usage line names the executable's path; the command's replaces it.
        const QString options = parser.helpText().section(QLatin1Char('\n'), 1);
        help =
            QStringLiteral("Usage: tervo-cli %1\n%2").arg(QLatin1String(command->Usage), options);
        return std::nullopt;
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
        for (qsizetype i = 0; i < options.Ports.size(); ++i) {
            for (qsizetype j = 0; j < i; ++j) {
                if (CanonicalPort(options.Ports[i]) == CanonicalPort(options.Ports[j])) {
                    return usageError(QStringLiteral("a port is given twice: %1 and %2 are the "
                                                     "same port")
                                          .arg(options.Ports[j], options.Ports[i]));
                }
            }
        }
        if (std::any_of(options.Ports.begin(), options.Ports.end(),
                        [](const QString& p) { return p.trimmed().isEmpty(); })) {
            return usageError(QStringLiteral("--port needs a port name"));
        }
    }
    if (command->Ports || station) {
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
    if (takesValues) {
        options.Report = parser.value(report);
        options.Values = parser.value(values);
        options.ValuesOptional = parser.isSet(valuesOptional);
        if (options.ValuesOptional && options.Values.isEmpty()) {
            return usageError(QStringLiteral("--values-optional goes with --values"));
        }
    }
    if (station) {
        options.Watch = parser.values(watch);
        if (parser.value(templ).isEmpty()) {
            return usageError(QStringLiteral("--template is missing"));
        }
        options.Files = {parser.value(templ)};
        if (parser.isSet(requireSignal) && !ReadSignalNeed(parser.value(requireSignal), options)) {
            return usageError(
                QStringLiteral("--require-signal takes gps=N,gsm=N (either or both)"));
        }
        if (parser.isSet(signalWait)) {
            bool ok = false;
            options.SignalWaitSecs = parser.value(signalWait).toInt(&ok);
            if (!ok || options.SignalWaitSecs <= 0) {
                return usageError(QStringLiteral("--signal-wait takes a number of seconds"));
            }
            if (!parser.isSet(requireSignal)) {
                return usageError(QStringLiteral("--signal-wait goes with --require-signal"));
            }
        }
    }
    options.ReadBack = !(commandName == QLatin1String("restore") && parser.isSet(noReadBack));
    options.Json = commandName == QLatin1String("scan") && parser.isSet(json);
    if (command->Records && parser.isSet(records)) {
        options.Records = parser.value(records);
        if (options.Records.trimmed().isEmpty()) {
            return usageError(QStringLiteral("--records needs a file or a postgresql:// address"));
        }
    }
    if (isRecords) {
        for (const auto& [option, member] : filters) {
            options.Filter.*member = parser.value(option).trimmed();
        }
        for (auto [member, endOfDay] :
             {std::pair{&TRecordFilter::Since, false}, std::pair{&TRecordFilter::Until, true}}) {
            QString& date = options.Filter.*member;
            if (date.isEmpty()) {
                continue;
            }
            const auto time = RecordTimeOf(date, endOfDay);
            if (!time) {
                return usageError(QStringLiteral("\"%1\" is not a date such as 2024-05-01 or "
                                                 "2024-05-01T10:00")
                                      .arg(date));
            }
            date = *time;
        }
        if (parser.isSet(format)) {
            options.Format = parser.value(format);
        }
        if (!QStringList{QStringLiteral("table"), QStringLiteral("csv"), QStringLiteral("json")}
                 .contains(options.Format)) {
            return usageError(QStringLiteral("--format takes table, csv or json"));
        }
    }
    return options;
}

QString CanonicalPort(const QString& port) {
    const QString path = PortNameFromField(port);
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}
