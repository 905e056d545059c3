#pragma once

#include "WindowOnFakeLine.h"
#include "uParamGroups.h"
#include "uReplyHandler.h"
#include "uUploadSchedule.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QTreeView>

// The window on a fake line and its parameter layer. Replies go straight to the reply handler.
class ParamsTest : public TWindowOnFakeLine {
protected:
    ParamsTest() {
        Schedule = &Window->Schedule();
        Replies = &Window->Replies();
        Groups = &Window->Groups();
        // The geo-fence list repaints through its model.
        QObject::connect(Ui().vtList->model(), &QAbstractItemModel::dataChanged,
                         [this] { ++Repaints; });
    }

    void Reply(const char* text) { Replies->HandleReply(QByteArray(text)); }

    // The queued commands as the engine formats them.
    QStringList Queued() {
        QStringList texts;
        for (const TCmdItem& item : Engine().Queue()) {
            texts.append(QString::fromLatin1(CommandText(item)));
        }
        return texts;
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

    int Repaints = 0;
    TUploadSchedule* Schedule = nullptr;
    TReplyHandler* Replies = nullptr;
    TParamGroups* Groups = nullptr;
};
