#include "uPortWatcher.h"

#include "uPortList.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {

// Where the path leads now; empty when it leads nowhere (a link whose terminal has gone).
QString Target(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

QStringList Matches(const QString& pattern) {
    const QFileInfo info(pattern);
    const QDir folder = info.dir();
    const QRegularExpression name(QRegularExpression::wildcardToRegularExpression(info.fileName()));
    QStringList paths;
    const QStringList entries =
        folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        if (name.match(entry).hasMatch()) {
            paths.append(folder.filePath(entry));
        }
    }
    return paths;
}

} // namespace

TPortWatcher::TPortWatcher(QStringList patterns, QObject* parent)
    : QObject(parent), FPatterns(std::move(patterns)) {
    FTimer.setInterval(kPollMs);
    connect(&FTimer, &QTimer::timeout, this, &TPortWatcher::Check);
}

void TPortWatcher::Start() {
    Check();
    FTimer.start();
}

QStringList TPortWatcher::Look() const {
    QStringList paths;
    if (FPatterns.isEmpty()) {
        for (const QString& name : RefreshPortList()) {
            paths.append(PortNameFromField(name));
        }
        return paths;
    }
    for (const QString& pattern : FPatterns) {
        for (const QString& path : Matches(pattern)) {
            if (!paths.contains(path)) {
                paths.append(path);
            }
        }
    }
    return paths;
}

void TPortWatcher::Check() {
    QList<std::pair<QString, QString>> now; // in the order of the look
    for (const QString& path : Look()) {
        const QString target = Target(path);
        if (!target.isEmpty()) {
            now.append({path, target});
        }
    }
    const auto leadsTo = [&now](const QString& path) {
        const auto it = std::find_if(now.cbegin(), now.cend(),
                                     [&path](const auto& entry) { return entry.first == path; });
        return it == now.cend() ? QString() : it->second;
    };
    for (const QString& path : FPresent.keys()) {
        if (leadsTo(path) != FPresent.value(path)) {
            FPresent.remove(path);
            Q_EMIT Vanished(path);
        }
    }
    for (const auto& [path, target] : now) {
        if (!FPresent.contains(path)) {
            FPresent.insert(path, target);
            Q_EMIT Appeared(path);
        }
    }
}
