#pragma once

#include "uEngineHost.h"

class TExchangeEngine;

// The engine's surroundings where no window applies replies: every reply only moves the
// queue on (the engine itself decides whether it answers the head command). Transcript,
// progress and buttons go nowhere.
class TSessionHost : public IEngineHost {
public:
    void SetEngine(TExchangeEngine* engine) { FEngine = engine; }

    void AddLog(const QString&) override {}
    void ShowProgress(int, int) override {}
    void SetDeviceButtons(bool) override {}
    void HandleReply(const QByteArray& reply) override;
    QString TranslateText(const QString& text) override { return text; }

private:
    TExchangeEngine* FEngine = nullptr;
};
