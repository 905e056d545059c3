#include "uProvisionJob.h"

#include "uExchangeEngine.h"
#include "uParamCatalogue.h"
#include "uUtils.h"

#include <algorithm>

namespace {

const TCmdItem kStatusQuery{1, kCmdRead, {}, kCmdStatus};
const QString kPortGone = QStringLiteral("the port is gone");

QString Level(const std::optional<int>& level) {
    return level ? QString::number(*level) : QStringLiteral("?");
}

} // namespace

QString TProvisionOutcome::ValuesText() const {
    if (!Row || Row->Values.isEmpty()) {
        return QString();
    }
    return QStringLiteral("%1 line %2: %3")
        .arg(ValuesFile)
        .arg(Row->Line)
        .arg(Row->Keys().join(QStringLiteral(", ")));
}

TProvisionJob::TProvisionJob(TDeviceSession& session, const TExchangeEngine& engine,
                             TProvisionPlan plan, QString port, QObject* parent)
    : QObject(parent), FSession(session), FEngine(engine), FPlan(std::move(plan)),
      FPort(std::move(port)) {
    FSignalTimer.setSingleShot(true);
    connect(&FSignalTimer, &QTimer::timeout, this, &TProvisionJob::AskSignal);
    connect(&FSession, &TDeviceSession::Step, this, &TProvisionJob::Step);
    connect(&FSession, &TDeviceSession::Finished, this, &TProvisionJob::OnSession);
}

void TProvisionJob::Start() {
    FClock.start();
    FOutcome = TProvisionOutcome{};
    FStage = TStage::Identify;
    FSession.Query({kStatusQuery}, QStringLiteral("identify: asking for the status report"));
}

void TProvisionJob::Interrupt() {
    if (FInterrupted || FStage == TStage::Done) {
        return;
    }
    FInterrupted = true;
    if (FSignalTimer.isActive()) {
        FSignalTimer.stop();
        Finish(TProvisionResult::Interrupted, QStringLiteral("interrupted"));
    } else {
        FSession.Interrupt();
    }
}

void TProvisionJob::Unplug() {
    if (FUnplugged || FStage == TStage::Done) {
        return;
    }
    FUnplugged = true;
    if (FSignalTimer.isActive()) {
        Finish(TProvisionResult::Unplugged, kPortGone);
    } else {
        FSession.Interrupt();
    }
}

void TProvisionJob::OnSession() {
    if (FStage == TStage::Done || FSession.Running()) {
        return;
    }
    switch (FStage) {
    case TStage::Identify:
        Identified();
        return;
    case TStage::Check:
        CountCommands();
        if (!EndedShort()) {
            if (FSession.Report().Result == TDeviceResult::Confirmed) {
                FOutcome.Report = FSession.Report();
                Finish(TProvisionResult::AlreadyDone);
                return;
            }
            WriteOrVerify();
        }
        return;
    case TStage::Write:
        CountCommands();
        FOutcome.Report = FSession.Report();
        if (!EndedShort()) {
            Written();
        }
        return;
    case TStage::Signal:
        if (!EndedShort()) {
            SignalRead();
        }
        return;
    case TStage::Done:
        return;
    }
}

void TProvisionJob::CountCommands() {
    if (const auto& batch = FEngine.Batch()) {
        FOutcome.Answered = batch->Answered;
        FOutcome.Planned = batch->Total;
    }
}

bool TProvisionJob::EndedShort() {
    const TSessionReport& report = FSession.Report();
    if (FOutcome.Id.isEmpty() && IsDeviceId(report.Id)) {
        FOutcome.Id = report.Id;
    }
    if (FStage == TStage::Identify || FStage == TStage::Check) {
        KeepUnsent();
    }
    switch (report.Result) {
    case TDeviceResult::Confirmed:
    case TDeviceResult::Differs:
        return false;
    case TDeviceResult::NoAnswer:
        Finish(TProvisionResult::NoAnswer, report.Error);
        return true;
    case TDeviceResult::Interrupted:
        if (FUnplugged) {
            Finish(TProvisionResult::Unplugged, kPortGone);
        } else {
            Finish(TProvisionResult::Interrupted, report.Error);
        }
        return true;
    case TDeviceResult::Cancelled:
    case TDeviceResult::LineError:
        break;
    }
    const auto& batch = FEngine.Batch();
    const bool lost = batch && batch->End == TBatchEnd::LineLost;
    Finish(lost ? TProvisionResult::Unplugged : TProvisionResult::LineError, report.Error);
    return true;
}

void TProvisionJob::Identified() {
    if (EndedShort()) {
        return;
    }
    const QByteArray reply = FSession.Replies().value(0);
    FOutcome.Status = TStatusReport::FromReply(reply);
    const QString id = FOutcome.Status ? FOutcome.Status->Id : FSession.Report().Id;
    if (!IsDeviceId(id)) {
        KeepUnsent();
        Finish(TProvisionResult::Unusable,
               QStringLiteral("its status report gives no device ID of 1 to %1 digits but \"%2\"")
                   .arg(kMaxDeviceIdDigits)
                   .arg(EscapeControls(id)));
        return;
    }
    FOutcome.Id = id;
    FSnapshot = FPlan.Template;
    if (FPlan.Values) {
        FOutcome.ValuesFile = FPlan.Values->Name();
        const TValuesRow* row = FPlan.Values->RowFor(FOutcome.Id, FPort);
        if (!row && !FPlan.ValuesOptional) {
            Finish(TProvisionResult::NotNamed,
                   QStringLiteral("%1 names no device %2").arg(FPlan.Values->Name(), FOutcome.Id));
            return;
        }
        if (row) {
            FOutcome.Row = *row;
            FSnapshot = TValuesFile::Apply(FPlan.Template, *row);
        }
        Q_EMIT Step(
            row ? QStringLiteral("values of %1 from %2").arg(FOutcome.Id, FOutcome.ValuesText())
                : QStringLiteral("%1 names no device %2: the template alone")
                      .arg(FOutcome.ValuesFile, FOutcome.Id));
    }
    if (FPlan.Write && FPlan.VerifyFirst.contains(FOutcome.Id)) {
        FStage = TStage::Check;
        FSession.Verify(FSnapshot);
        return;
    }
    WriteOrVerify();
}

void TProvisionJob::WriteOrVerify() {
    FStage = TStage::Write;
    if (FPlan.Write) {
        FSession.Restore(FSnapshot, FPlan.ReadBack);
    } else {
        FSession.Verify(FSnapshot);
    }
}

void TProvisionJob::Written() {
    if (FSession.Report().Result != TDeviceResult::Confirmed) {
        Finish(TProvisionResult::Differs);
        return;
    }
    if (!FPlan.NeedGps && !FPlan.NeedGsm) {
        Finish(TProvisionResult::Confirmed);
        return;
    }
    FStage = TStage::Signal;
    FSignalClock.start();
    AskSignal();
}

void TProvisionJob::AskSignal() {
    FSession.Query({kStatusQuery}, QStringLiteral("signal: asking for the status report"));
}

void TProvisionJob::SignalRead() {
    if (const auto status = TStatusReport::FromReply(FSession.Replies().value(0))) {
        FOutcome.Status = status;
    }
    const int gps = FPlan.NeedGps.value_or(0);
    const int gsm = FPlan.NeedGsm.value_or(0);
    const TStatusReport status = FOutcome.Status.value_or(TStatusReport{});
    if (status.Reaches(gps, gsm)) {
        Finish(TProvisionResult::Confirmed);
        return;
    }
    QStringList wanting;
    if (FPlan.NeedGps) {
        wanting.append(QStringLiteral("GPS %1 (needs %2)").arg(Level(status.Gps)).arg(gps));
    }
    if (FPlan.NeedGsm) {
        wanting.append(QStringLiteral("GSM %1 (needs %2)").arg(Level(status.Gsm)).arg(gsm));
    }
    const QString levels = wanting.join(QStringLiteral(", "));
    // The last ask is at the end of the wait.
    const qint64 left = FPlan.SignalWaitMs - FSignalClock.elapsed();
    if (left <= 0) {
        Finish(TProvisionResult::WeakSignal,
               QStringLiteral("%1 after %2 s")
                   .arg(levels)
                   .arg(double(FSignalClock.elapsed()) / 1000.0, 0, 'f', 1));
        return;
    }
    const qint64 next = std::min<qint64>(kSignalEveryMs, left);
    Q_EMIT Step(QStringLiteral("signal: %1; asking again in %2 s")
                    .arg(levels)
                    .arg(QString::number(double(next) / 1000.0, 'g', 3)));
    FSignalTimer.start(int(next));
}

// Ended before its restore or verify: the report is the session that ended it, with every key
// of the template not sent.
void TProvisionJob::KeepUnsent() {
    FOutcome.Report = FSession.Report();
    if (FStage != TStage::Identify) {
        return;
    }
    FOutcome.Report.Params.clear();
    for (const QString& key : TParamCatalogue::RestoreOrder()) {
        if (const auto value = FPlan.Template.Param(key)) {
            FOutcome.Report.Params.push_back({key, *value, std::nullopt, TParamState::NotSent});
        }
    }
}

void TProvisionJob::Finish(TProvisionResult result, const QString& error) {
    FStage = TStage::Done;
    FSignalTimer.stop();
    FOutcome.Result = result;
    FOutcome.Error = error;
    FOutcome.ElapsedMs = FClock.elapsed();
    Q_EMIT Finished();
}
