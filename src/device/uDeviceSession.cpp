#include "uDeviceSession.h"

#include "uExchangeEngine.h"
#include "uNumbers.h"
#include "uParamCatalogue.h"
#include "uUtils.h"

#include <QDateTime>
#include <algorithm>

namespace {

QString IdOf(const QByteArray& reply) {
    return reply.size() < 2 ? QString()
                            : QString::fromLatin1(reply.sliced(1, reply.size() - 2))
                                  .section(QLatin1Char(','), 0, 0);
}

// The restore skips a time-point list without time points: the device takes no such write.
bool WorthWriting(const QString& key, const QString& value) {
    return key != QLatin1String("P21") ||
           TextToInt(value.section(QLatin1Char(','), 0, 0)).value_or(0) >= 1;
}

} // namespace

void ApplyDeviceRules(TExchangeEngine& engine, const TTranslate& translate) {
    const auto message = [translate](const std::optional<TRuleFault>& fault) {
        return fault ? std::optional(fault->Message(translate)) : std::nullopt;
    };
    engine.SetSameValue(&TParamCatalogue::SameWrite);
    engine.SetRules(
        [message](const TCmdItem& cmd) { return message(TParamCatalogue::CheckCommand(cmd)); },
        [message](const QByteArray& reply) { return message(TParamCatalogue::CheckReply(reply)); });
}

int TSessionReport::Count(TParamState state) const {
    return int(std::count_if(Params.begin(), Params.end(),
                             [state](const TParamCheck& c) { return c.State == state; }));
}

TDeviceSession::TDeviceSession(TExchangeEngine& engine, QObject* parent)
    : QObject(parent), FEngine(engine) {
    ApplyDeviceRules(FEngine);
    connect(&FEngine, &TExchangeEngine::CommandAnswered, this, &TDeviceSession::OnAnswered);
    connect(&FEngine, &TExchangeEngine::BatchChanged, this, &TDeviceSession::OnBatch);
}

void TDeviceSession::Backup() {
    FBackup = true;
    FPlan.clear();
    FReport = TSessionReport{};
    // [Device] first, in its order, whatever the device answers first.
    FResult = TSnapshot::Blank();
    for (const TCmdItem& cmd : TParamCatalogue::BackupCommands()) {
        FPlan.push_back(
            {cmd, TParamCatalogue::KeyOfCommand(cmd).value_or(QString()), TPhase::Read, -1});
    }
    Start(QStringLiteral("backup: reading %1 values").arg(FPlan.size()));
}

void TDeviceSession::Restore(const TSnapshot& snapshot, bool readBack) {
    Plan(snapshot, true, readBack);
    Start(readBack ? QStringLiteral("restore: writing %1 values, then reading them back")
                         .arg(FReport.Params.size())
                   : QStringLiteral("restore: writing %1 values").arg(FReport.Params.size()));
}

void TDeviceSession::Verify(const TSnapshot& snapshot) {
    Plan(snapshot, false, true);
    Start(QStringLiteral("verify: reading %1 values").arg(FReport.Params.size()));
}

void TDeviceSession::Query(const std::vector<TCmdItem>& cmds, const QString& label) {
    FBackup = false;
    FPlan.clear();
    FReport = TSessionReport{};
    FReplies.clear();
    for (const TCmdItem& cmd : cmds) {
        FPlan.push_back({cmd, QString(), TPhase::Read, -1});
    }
    Start(label);
}

void TDeviceSession::Plan(const TSnapshot& snapshot, bool write, bool read) {
    FBackup = false;
    FPlan.clear();
    FReport = TSessionReport{};
    for (const QString& key : TParamCatalogue::RestoreOrder()) {
        const auto value = snapshot.Param(key);
        const TParamEntry& entry = *TParamCatalogue::Find(key);
        if (!value || (write && !WorthWriting(key, *value)) || (!write && !entry.Readable)) {
            continue;
        }
        FReport.Params.push_back({key, *value, std::nullopt, TParamState::NotSent});
        if (write) {
            FPlan.push_back({entry.WriteCommand(*value), key, TPhase::Write,
                             qsizetype(FReport.Params.size()) - 1});
        }
    }
    if (!read) {
        return;
    }
    const TPhase phase = write ? TPhase::ReadBack : TPhase::Read;
    for (qsizetype row = 0; row < qsizetype(FReport.Params.size()); ++row) {
        const TParamEntry& entry = *TParamCatalogue::Find(FReport.Params[row].Key);
        if (entry.Readable) {
            FPlan.push_back({entry.ReadCommand(), entry.Key, phase, row});
        }
    }
}

void TDeviceSession::Start(const QString& label) {
    FEngine.ClearQueue();
    for (const TPlanned& planned : FPlan) {
        FEngine.AddCmd(planned.Cmd.ParamNo, planned.Cmd.RW, planned.Cmd.Args, planned.Cmd.Kind);
    }
    FNext = 0;
    FRetries = 0;
    FRunning = true;
    FInterrupted = false;
    Q_EMIT Step(label);
    if (FPlan.empty()) {
        Finish(TDeviceResult::Confirmed);
        return;
    }
    if (const auto error = FEngine.StartBatch(
            FBatchLabel.isEmpty() ? label.section(QLatin1Char(':'), 0, 0) : FBatchLabel)) {
        Finish(TDeviceResult::LineError, *error);
    }
}

void TDeviceSession::OnAnswered(const TCmdAnswer& answer) {
    if (FNext >= FPlan.size() || CommandText(answer.Cmd) != CommandText(FPlan[FNext].Cmd)) {
        return;
    }
    // A late answer to the command the run ended on still verifies its parameter.
    if (!FRunning) {
        if (answer.Late && FPlan[FNext].Check >= 0) {
            Keep(FPlan[FNext], answer);
        }
        return;
    }
    const TPlanned& planned = FPlan[FNext];
    if (FReport.Id.isEmpty()) {
        FReport.Id = IdOf(answer.Reply);
    }
    Keep(planned, answer);
    ++FNext;
    FRetries = 0;
    if (FNext < FPlan.size() && planned.Phase == TPhase::Write &&
        FPlan[FNext].Phase == TPhase::ReadBack) {
        Q_EMIT Step(QStringLiteral("restore: reading back %1 values").arg(FPlan.size() - FNext));
    }
}

void TDeviceSession::Keep(const TPlanned& planned, const TCmdAnswer& answer) {
    if (planned.Check < 0) {
        if (FBackup && answer.State == TCmdState::Unusable) {
            // Left out of the snapshot, whose reader would refuse it; reported as it came.
            FReport.Params.push_back(
                {planned.Key, QString(), ReplyValue(answer.Reply), TParamState::Unusable});
        } else if (FBackup) {
            KeepBackup(planned.Key, answer.Reply);
        } else {
            FReplies.append(answer.Reply);
        }
        return;
    }
    TParamCheck& check = FReport.Params[planned.Check];
    // A write the device answered otherwise stays so whatever it reads back.
    if (planned.Phase == TPhase::ReadBack && check.State != TParamState::Echoed) {
        return;
    }
    if (answer.State == TCmdState::Refused) {
        check.State = TParamState::Refused;
        return;
    }
    check.Device = ReplyValue(answer.Reply);
    if (answer.State == TCmdState::Unusable) {
        check.State = TParamState::Unusable;
    } else if (planned.Phase == TPhase::Write) {
        check.State =
            answer.State == TCmdState::Confirmed ? TParamState::Echoed : TParamState::Differs;
    } else {
        const TParamEntry& entry = *TParamCatalogue::Find(check.Key);
        check.State = TParamCatalogue::SameValue(entry, check.Sent, *check.Device)
                          ? TParamState::Confirmed
                          : TParamState::Differs;
    }
}

void TDeviceSession::Interrupt() {
    if (FRunning) {
        FInterrupted = true;
        FEngine.Interrupt();
    }
}

// The planned command the device left unanswered: a write or a verify's read is "no answer";
// a read-back leaves its write's echo standing.
void TDeviceSession::KeepUnanswered() {
    if (FNext >= FPlan.size() || FPlan[FNext].Check < 0 || FPlan[FNext].Phase == TPhase::ReadBack) {
        return;
    }
    FReport.Params[FPlan[FNext].Check].State = TParamState::NoAnswer;
}

QString TDeviceSession::InFlight() const {
    return FNext < FPlan.size() ? QString::fromLatin1(CommandText(FPlan[FNext].Cmd)) : QString();
}

void TDeviceSession::KeepBackup(const QString& key, const QByteArray& reply) {
    const QString value = ReplyValue(reply);
    if (key == QLatin1String("P01")) {
        FResult.SetDeviceValue(QStringLiteral("Firmware"), value);
    } else if (key == QLatin1String("P17")) {
        FResult.SetDeviceValue(QStringLiteral("Alias"), value);
    }
    const TParamEntry* entry = TParamCatalogue::Find(key);
    if (entry && entry->Writable) {
        FResult.SetParam(key, value);
    }
}

void TDeviceSession::OnBatch(const TBatchOutcome& outcome) {
    if (!FRunning) {
        return;
    }
    switch (outcome.End) {
    case TBatchEnd::Running:
        return;
    case TBatchEnd::Complete: {
        const bool differs =
            std::any_of(FReport.Params.begin(), FReport.Params.end(), [](const TParamCheck& c) {
                return c.State != TParamState::Confirmed && c.State != TParamState::Echoed;
            });
        Finish(differs ? TDeviceResult::Differs : TDeviceResult::Confirmed);
        return;
    }
    case TBatchEnd::NoAnswer: {
        if (!outcome.Resumable) {
            return; // given up on already
        }
        const QString command = InFlight();
        if (FRetries >= kRetries) {
            KeepUnanswered();
            Finish(TDeviceResult::NoAnswer, QStringLiteral("no answer to %1").arg(command));
            FEngine.GiveUp();
            return;
        }
        ++FRetries;
        Q_EMIT Step(QStringLiteral("no answer to %1, sending it again (%2 of %3)")
                        .arg(command)
                        .arg(FRetries)
                        .arg(kRetries));
        Q_EMIT Retrying(command, FRetries + 1, kRetries + 1);
        // Outside the engine's time-out handler, which is still running.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!FRunning || FInterrupted) {
                    return;
                }
                if (const auto error = FEngine.Resume()) {
                    Finish(TDeviceResult::LineError, *error);
                }
            },
            Qt::QueuedConnection);
        return;
    }
    case TBatchEnd::LineLost:
    case TBatchEnd::PortClosed:
        if (outcome.HeadSent) {
            KeepUnanswered();
            Finish(TDeviceResult::LineError,
                   QStringLiteral("the line was lost during %1").arg(outcome.InFlight()));
        } else {
            Finish(TDeviceResult::LineError, QStringLiteral("the line was lost"));
        }
        return;
    case TBatchEnd::Interrupted:
        if (outcome.HeadSent) {
            KeepUnanswered();
        }
        Finish(TDeviceResult::Interrupted,
               outcome.HeadSent ? QStringLiteral("interrupted; no answer to %1").arg(InFlight())
                                : QStringLiteral("interrupted"));
        return;
    case TBatchEnd::Cancelled:
    case TBatchEnd::Superseded:
        if (outcome.HeadSent) {
            KeepUnanswered();
        }
        Finish(TDeviceResult::Cancelled, QStringLiteral("cancelled"));
        return;
    }
}

void TDeviceSession::Finish(TDeviceResult result, const QString& error) {
    FRunning = false;
    FReport.Result = result;
    if (FReport.Error.isEmpty()) {
        FReport.Error = error;
    }
    if (FBackup && result == TDeviceResult::Confirmed) {
        FResult.SetDeviceValue(QStringLiteral("ID"), FReport.Id);
        FResult.SetDeviceValue(QStringLiteral("Saved"),
                               QDateTime::currentDateTime().toString(Qt::ISODate));
    }
    Q_EMIT Finished();
}
