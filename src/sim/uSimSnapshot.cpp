#include "uSimSnapshot.h"

#include "uBatchOutcome.h"
#include "uParamCatalogue.h"
#include "uSimOptions.h"
#include "uSnapshot.h"

void SimOptionsFromSnapshot(const TSnapshot& snapshot, TSimOptions& options) {
    const QString id = snapshot.DeviceValue(QStringLiteral("ID"));
    if (!id.isEmpty()) {
        options.id = id.toLatin1();
    }
    options.version = snapshot.DeviceValue(QStringLiteral("Firmware")).toLatin1();
    options.presets.clear();
    for (const auto& [key, value] : snapshot.Params()) {
        options.presets.append(CommandText(TParamCatalogue::Find(key)->WriteCommand(value)));
    }
}
