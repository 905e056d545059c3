#pragma once

#include "uMessageService.h"

// Message boxes and file dialogs that answer at once, so a benchmark never waits for a user.
class TSilentMessages : public IMessageService {
public:
    void ShowMessage(const QString&, const QString&, TMessageIcon) override {}
    std::optional<QString> GetSaveFileName(const QString&, const QString&) override { return {}; }
    std::optional<QString> GetOpenFileName(const QString&, const QString&) override { return {}; }
    bool Confirm(const QString&, const QString&) override { return true; }
};
