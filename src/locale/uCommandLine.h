#pragma once

#include <QString>

// What the three programs say on their command lines alike, as GNU programs do.

// The version (the project's, as the build gives it).
QString ProgramVersion();

// The text of --version: "NAME VERSION" on the first line, then the copyright.
QString VersionText(const QString& program);

// The one line after a usage error that says where the help is; helpCommand is what to run
// ("tervo-cli restore --help").
QString TryHelpLine(const QString& helpCommand);
