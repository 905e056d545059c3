#pragma once

#include "FakeCommPort.h"
#include "MessageRecorder.h"
#include "uAppPaths.h"
#include "uExchangeEngine.h"
#include "uFrmMain.h"
#include "uLanguage.h"
#include "uParamGroups.h"
#include "uReplyHandler.h"
#include "uUploadSchedule.h"
#include "uUtils.h"
#include "ui_uFrmMain.h"

#include <QLabel>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// The real main window in an empty program folder with an open fake line, and the parameter
// layer built on its controls and engine. Replies go straight to the reply handler.
class ParamsTest : public ::testing::Test {
protected:
    ParamsTest() {
        SetAppDirOverride(FDir.path());
        ResetLanguageState();
        Window = std::make_unique<TFrmMain>(Messages, [this] {
            auto port = std::make_unique<TFakeCommPort>();
            Port = port.get();
            return port;
        });
        Engine().SetTimingForTests(60'000, 0); // no time-out while a test runs
        Window->ComPort().Open();
        Port->Written.clear();
        Schedule = std::make_unique<TUploadSchedule>(Ui());
        Replies = std::make_unique<TReplyHandler>(Ui(), Engine(), Messages, *Schedule, Fences,
                                                  [this] { ++Repaints; });
        Groups = std::make_unique<TParamGroups>(Ui(), Engine(), Messages, *Replies, *Schedule);
    }
    ~ParamsTest() override {
        Groups.reset();
        Replies.reset();
        Schedule.reset();
        Window.reset();
        SetAppDirOverride(QString());
        ResetLanguageState();
    }

    Ui::TFrmMain& Ui() { return Window->Controls(); }
    TExchangeEngine& Engine() { return Window->Engine(); }

    void Reply(const char* text) { Replies->HandleReply(QByteArray(text)); }

    // The queued commands as the engine formats them.
    QStringList Queued() {
        QStringList texts;
        for (const TCmdItem& item : Engine().Queue()) {
            texts.append(CommandText(item));
        }
        return texts;
    }
    static QString CommandText(const TCmdItem& item) {
        if (item.ParamNo == 20) {
            return QStringLiteral("(P20)");
        }
        return QString::asprintf(item.Kind != 0 ? "(T%.2d,%d" : "(P%.2d,%d", item.ParamNo,
                                 int(item.RW)) +
               item.Args + QLatin1Char(')');
    }
    static QByteArray Frame(const QString& text) { return EncodeFrame(text.toLatin1()).value(); }

    QLabel* TimeLabel(const char* name) {
        auto* label = Ui().pnl_WorkingTime->findChild<QLabel*>(QString::fromLatin1(name));
        EXPECT_NE(label, nullptr) << name;
        return label;
    }
    QStringList MarkedLabels() {
        QStringList names;
        for (QLabel* label : Ui().pnl_WorkingTime->findChildren<QLabel*>()) {
            if (Schedule->IsMarked(*label)) {
                names.append(label->objectName());
            }
        }
        names.sort();
        return names;
    }

    QTemporaryDir FDir;
    TMessageRecorder Messages;
    TFakeCommPort* Port = nullptr;
    std::unique_ptr<TFrmMain> Window;
    TGeoFenceList Fences{};
    int Repaints = 0;
    std::unique_ptr<TUploadSchedule> Schedule;
    std::unique_ptr<TReplyHandler> Replies;
    std::unique_ptr<TParamGroups> Groups;
};
