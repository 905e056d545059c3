#pragma once

class TSnapshot;
struct TSimOptions;

// Sets the simulated device up with a snapshot's identity, firmware version and settings,
// so tests and demos can bring up devices that differ. A value the device does not take makes
// the simulator's start fail with its reason.
void SimOptionsFromSnapshot(const TSnapshot& snapshot, TSimOptions& options);
