#include "uCommandLine.h"

QString ProgramVersion() {
    return QStringLiteral(TERVO_VERSION);
}

QString VersionText(const QString& program) {
    return QStringLiteral("%1 %2\n"
                          "Copyright (C) 2026 Tervo.\n"
                          "Part of the Tervo configuration assistant; the terms of use are in "
                          "the package's\ncopyright file (/usr/share/doc/tervo-assistant/"
                          "copyright when installed).\n")
        .arg(program, ProgramVersion());
}

QString TryHelpLine(const QString& helpCommand) {
    return QStringLiteral("Try '%1' for more information.").arg(helpCommand);
}
