#include "server/ServerListener.h"

#include <string>

#include "server/ServerStore.h"

namespace kvalor {

ServerListener::ServerListener(const ServerAddress& where)
    : connection_(std::make_unique<ServerConnection>(where)) {
    connection_->SetLossConsequence(QString::fromUtf8(
        ": результаты и изменения других компьютеров не видны здесь, пока связь не "
        "восстановится"));
    Listen();
}

ServerListener::~ServerListener() = default;

void ServerListener::Listen() {
    listening_ = false;
    connection_->Exec((std::string("LISTEN ") + kStudiesChannel).c_str());
    connection_->Exec((std::string("LISTEN ") + kListsChannel).c_str());
    listening_ = true;
}

int ServerListener::Socket() const {
    return Connected() ? connection_->Socket() : -1;
}

bool ServerListener::Connected() const {
    return listening_ && connection_->Connected();
}

std::vector<ServerNotice> ServerListener::TakeNotices() {
    return connection_->TakeNotices();
}

void ServerListener::Reconnect() {
    if (Connected()) {
        return;
    }
    connection_->Reconnect();
    Listen();
}

}  // namespace kvalor
