#include "app/NetworkSettings.h"

#include <QDir>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

#include "util/Error.h"

namespace kvalor {

namespace {

const QString kEnabledKey = QStringLiteral("Network/Enabled");
const QString kAddressKey = QStringLiteral("Network/Address");
const QString kPortKey = QStringLiteral("Network/Port");

}  // namespace

NetworkSettings ReadNetworkSettings(const QString& settingsFile) {
    const QSettings file(settingsFile, QSettings::IniFormat);
    NetworkSettings settings;
    settings.enabled = file.value(kEnabledKey, false).toBool();
    settings.address = file.value(kAddressKey).toString().trimmed();
    settings.port = file.value(kPortKey).toString().trimmed();
    return settings;
}

void WriteNetworkSettings(const QString& settingsFile, const NetworkSettings& settings) {
    QSettings file(settingsFile, QSettings::IniFormat);
    file.setValue(kEnabledKey, settings.enabled);
    file.setValue(kAddressKey, settings.address.trimmed());
    file.setValue(kPortKey, settings.port.trimmed());
    file.sync();
    if (file.status() != QSettings::NoError) {
        throw KvalorError(QStringLiteral("Не удалось записать настройки в файл %1")
                              .arg(QDir::toNativeSeparators(settingsFile)));
    }
}

std::optional<ServerAddress> ChooseServer(const QString& startServer,
                                          const NetworkSettings& settings) {
    if (!startServer.trimmed().isEmpty()) {
        return ServerAddress{startServer.trimmed(), {}};
    }
    if (settings.enabled) {
        return ServerAddress{settings.address, settings.port};
    }
    return std::nullopt;
}

bool IsValidPort(const QString& port) {
    if (port.trimmed().isEmpty()) {
        return true;
    }
    bool isNumber = false;
    const int value = port.trimmed().toInt(&isNumber);
    return isNumber && value >= 1 && value <= 65535;
}

bool HoldsPassword(const QString& address) {
    const QUrl uri(address.trimmed());
    return !uri.scheme().isEmpty() &&
           (!uri.password().isEmpty() || QUrlQuery(uri).hasQueryItem(QStringLiteral("password")));
}

QString ShownAddress(const QString& address) {
    QUrl uri(address.trimmed());
    if (uri.scheme().isEmpty()) {
        return address;
    }
    QUrlQuery query(uri);
    query.removeAllQueryItems(QStringLiteral("password"));
    uri.setQuery(query);
    return uri.toDisplayString(QUrl::RemovePassword);
}

}  // namespace kvalor
