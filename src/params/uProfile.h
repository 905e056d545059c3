#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace Ui {
class TFrmMain;
}
class IMessageService;
class TReplyHandler;

// Profile files: one set of settings as the window shows them, saved under the device's ID
// in "param" and loaded from any file the user picks. Neither talks to the device.
class TProfile {
public:
    // The keys of section "Para" after "COM", in the order a new file receives them.
    static constexpr int kRecordKeys = 22;

    TProfile(Ui::TFrmMain& ui, IMessageService& messages, TReplyHandler& replies);

    void btnSaveClick();
    void btnLoadClick();
    void SaveProfile(const QString& fileName);
    void LoadProfile(const QString& fileName);
    // The texts profiles add to the window's, for the language file.
    static QStringList Texts();

    // An integer as a saved profile takes it from a control: the whole text when it is an
    // integer, otherwise the number its leading characters form (0 when there is none).
    static std::int32_t LeadingInteger(const QString& text);

private:
    // The last saved or loaded value of every key but "COM": texts as texts, integers as
    // numbers. Only the "TimeDifferent" default of a load depends on it.
    struct TValue {
        QString Text;
        std::int32_t Number = 0;
    };

    void TakeFromControls();
    // Every key but those to skip.
    void ShowInControls(const std::array<bool, kRecordKeys>& skip);

    Ui::TFrmMain& FUi;
    IMessageService& FMessages;
    TReplyHandler& FReplies;
    std::array<TValue, kRecordKeys> FRecord{};
};
