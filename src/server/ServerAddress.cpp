// How a seat names the server to libpq.

#include <QProcessEnvironment>
#include <algorithm>
#include <string>

#include "server/ServerStore.h"

namespace kvalor {

std::string ConnectionString(const ServerAddress& where) {
    const QString address = where.address.trimmed();
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const bool defaultDatabase = !environment.contains(QStringLiteral("PGDATABASE"));
    // A seat must not wait minutes on a server that does not answer before saying so.
    const bool defaultTimeout = !environment.contains(QStringLiteral("PGCONNECT_TIMEOUT"));
    if (address.startsWith(u"postgresql://") || address.startsWith(u"postgres://")) {
        std::string uri = address.toStdString();
        // A URI without a database names ours, unless PGDATABASE does.
        const std::size_t authority = uri.find("://") + 3;
        const std::size_t query = std::min(uri.find('?', authority), uri.size());
        const std::size_t path = std::min(uri.find('/', authority), query);
        if (defaultDatabase && path + 1 >= query && uri.find("dbname=") == std::string::npos) {
            uri.replace(path, query - path, "/kvalor");
        }
        if (defaultTimeout && uri.find("connect_timeout=") == std::string::npos) {
            uri += uri.find('?', authority) == std::string::npos ? '?' : '&';
            uri += "connect_timeout=10";
        }
        return uri;
    }
    // Quoted as libpq's key=value strings want, so that no value can add another key.
    const auto quoted = [](const QString& value) {
        QString text = value;
        text.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        return "'" + text.toStdString() + "'";
    };
    // Without an address or port, libpq's own defaults apply (PGHOST, PGPORT).
    std::string conninfo = "application_name=kvalor";
    if (!address.isEmpty()) {
        conninfo += " host=" + quoted(address);
    }
    if (!where.port.trimmed().isEmpty()) {
        conninfo += " port=" + quoted(where.port.trimmed());
    }
    if (defaultDatabase) {
        conninfo += " dbname=kvalor";
    }
    if (defaultTimeout) {
        conninfo += " connect_timeout=10";
    }
    return conninfo;
}

}  // namespace kvalor
