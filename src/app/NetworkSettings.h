#pragma once

#include <optional>

#include <QString>

#include "server/ServerStore.h"

namespace kvalor {

// The network mode as the settings file "KvalorCfg.ini" keeps it, in the section "Network".
// No password is ever kept there: libpq takes it from ~/.pgpass or PGPASSWORD.
struct NetworkSettings {
    bool enabled = false;
    // A host name or address, or a whole connection URI (postgresql://...).
    QString address;
    // Empty for PostgreSQL's own 5432.
    QString port;
};

// A file without the keys reads as the file mode.
NetworkSettings ReadNetworkSettings(const QString& settingsFile);
// Leaves the other settings of the file as they are; a file that cannot be written raises
// the error in words.
void WriteNetworkSettings(const QString& settingsFile, const NetworkSettings& settings);

// The server of this start: the one named for it (--server, else KVALOR_SERVER), else the one
// of the settings file when its network mode is on; nullopt for the file mode.
std::optional<ServerAddress> ChooseServer(const QString& startServer,
                                          const NetworkSettings& settings);

// Empty, or a whole number from 1 to 65535.
bool IsValidPort(const QString& port);

// Whether a connection URI carries a password (user:password@ or password=), which the settings
// file must never keep.
bool HoldsPassword(const QString& address);
// The address as messages show it: a URI without its password.
QString ShownAddress(const QString& address);

}  // namespace kvalor
