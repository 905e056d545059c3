#pragma once

#include "uJobRecord.h"

#include <QByteArray>
#include <vector>

class TCliDevice;
class TRecorder;
struct TCliOptions;

// tervo-cli records: the records that match the options, newest first, on standard output as
// a table, CSV or JSON. 0 with records, 1 with none, 2 when the database cannot be read.
int RunRecords(const TCliOptions& options);

// The record of one device's job of a backup, restore, verify or station; snapshotBytes: the
// snapshot (or template) file's bytes.
TJobRecord CliJobRecord(const TCliOptions& options, const TCliDevice& device,
                        const QByteArray& snapshotBytes);
// Keeps the records; says on standard error, once, when they went to the spool instead of
// the database, and whenever one could be kept nowhere.
void KeepCliRecords(TRecorder& recorder, const std::vector<TJobRecord>& records);

// The list as an aligned table for a terminal: time, device, operation, result, port,
// station, user, template and duration.
QByteArray RecordsTable(const std::vector<TJobRecord>& records);
// RFC 4180: a header row of the field names, every field of every record, CR LF line ends,
// a field quoted when it holds a comma, a quotation mark or a line break. UTF-8.
QByteArray RecordsCsv(const std::vector<TJobRecord>& records);
// A JSON array of the records, each with every field.
QByteArray RecordsJson(const std::vector<TJobRecord>& records);
