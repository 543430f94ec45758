#include "model/AccountMessages.h"

#include <QDebug>
#include <utility>

namespace kvalor {

namespace {

AccountMessageHandler& accountMessageHandler() {
    static AccountMessageHandler handler;
    return handler;
}

}  // namespace

AccountMessageHandler setAccountMessageHandler(AccountMessageHandler handler) {
    return std::exchange(accountMessageHandler(), std::move(handler));
}

void reportAccountMessage(const QString& text) {
    if (const auto& handler = accountMessageHandler()) {
        handler(text);
    } else {
        qWarning().noquote() << text;
    }
}

}  // namespace kvalor
