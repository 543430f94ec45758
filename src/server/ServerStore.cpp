#include "server/ServerStore.h"

namespace kvalor {

class ServerConnection {};

std::string ConnectionString(const ServerAddress& where) {
    return where.address.toStdString();
}

TServerStore::TServerStore(const ServerAddress&) {
    throw KvalorError("Сетевой режим ещё не готов");
}
TServerStore::~TServerStore() = default;
void TServerStore::InitSchema(const ServerAddress&) {
    throw KvalorError("Сетевой режим ещё не готов");
}
TServerStore::Status TServerStore::ReadStatus() {
    return {};
}
bool TServerStore::IsEmpty() {
    return true;
}
void TServerStore::Load(TKvalor&, bool, const Progress&) {}
void TServerStore::Save(const TKvalor&) {}
void TServerStore::WriteStudy(const TStudy&) {}
void TServerStore::Push(const TKvalor&, bool) {}

}  // namespace kvalor
