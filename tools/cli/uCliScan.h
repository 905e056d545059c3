#pragma once

struct TCliOptions;

// tervo-cli scan: asks every port at once which tracker is there and prints one row per port,
// as a table or as JSON on standard output. 0 when a tracker answered, 3 when none did.
int RunScan(const TCliOptions& options);
