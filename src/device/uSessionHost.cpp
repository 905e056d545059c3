#include "uSessionHost.h"

#include "uExchangeEngine.h"

void TSessionHost::HandleReply(const QByteArray& reply) {
    if (FEngine && !reply.isEmpty()) {
        FEngine->NextCmd();
    }
}
