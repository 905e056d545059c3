#pragma once

#include <QByteArray>
#include <QString>

// What the exchange engine needs of the window around it.
class IEngineHost {
public:
    virtual ~IEngineHost() = default;

    // One line for both transcripts.
    virtual void AddLog(const QString& line) = 0;
    // The progress bar above the tabs; count is already clamped into 0..total.
    virtual void ShowProgress(int total, int count) = 0;
    // Enables or disables every device-operation button.
    virtual void SetDeviceButtons(bool enabled) = 0;
    // Applies one reply text "(...)"; may throw, and calls NextCmd when it has applied it.
    virtual void HandleReply(const QByteArray& reply) = 0;
    virtual QString TranslateText(const QString& text) = 0;
};
