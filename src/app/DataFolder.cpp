#include "app/DataFolder.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "util/CommandLine.h"

namespace kvalor {

StartOptions ParseStartOptions(const QStringList& arguments, const QString& environmentFolder,
                               const QString& environmentServer) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption data(QStringLiteral("data"), {}, QStringLiteral("ПАПКА"));
    const QCommandLineOption server(QStringLiteral("server"), {}, QStringLiteral("АДРЕС"));
    parser.addOptions({help, version, data, server});
    StartOptions options;
    options.error = ParseCommandLine(parser, arguments);
    if (options.error.isEmpty() && parser.isSet(data) && parser.value(data).isEmpty()) {
        options.error = QStringLiteral("После --data не указана папка");
    }
    if (options.error.isEmpty() && parser.isSet(server) && parser.value(server).isEmpty()) {
        options.error = QStringLiteral("После --server не указан адрес сервера");
    }
    if (options.error.isEmpty() && !parser.positionalArguments().isEmpty()) {
        options.error =
            QStringLiteral("Лишний аргумент %1").arg(parser.positionalArguments().constFirst());
    }
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    options.dataFolder = parser.isSet(data) ? parser.value(data) : environmentFolder;
    options.server = parser.isSet(server) ? parser.value(server) : environmentServer;
    return options;
}

QString StartUsage() {
    return QStringLiteral(
               "Использование: kvalor [--data ПАПКА] [--server АДРЕС]\n"
               "Квалор: составление тестов, тестирование и журнал результатов.\n"
               "\n"
               "  --data ПАПКА  папка данных: файл данных KvalorData.exd, файл результатов\n"
               "                Studies.exd, настройки KvalorCfg.ini, файл восстановления\n"
               "                KvalorData.recovery.exd и блокировка KvalorData.exd.lock;\n"
               "                то же задаёт переменная окружения KVALOR_DATA\n"
               "  --server АДРЕС\n"
               "                сетевой режим на этот запуск: данные на сервере PostgreSQL\n"
               "                по этому адресу (имя или адрес сервера либо\n"
               "                postgresql://...); то же задаёт переменная окружения\n"
               "                KVALOR_SERVER. Без них режим и адрес берутся из настроек\n"
               "                (KvalorCfg.ini)\n"
               "  -h, --help    показать эту справку\n"
               "  --version     показать версию программы\n"
               "\n"
               "Без --data и KVALOR_DATA данные хранятся в папке программы, если в неё можно\n"
               "писать, а у установленной программы - в папке данных пользователя\n"
               "(%1).\n")
        .arg(UserDataFolder());
}

QString ChooseDataFolder(const QString& requested, const QString& programFolder,
                         bool installedCopy) {
    if (!requested.isEmpty()) {
        return QDir::cleanPath(QFileInfo(requested).absoluteFilePath());
    }
    if (QFileInfo(programFolder).isWritable() && !installedCopy) {
        return programFolder;
    }
    return UserDataFolder();
}

QString UserDataFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("kvalor"));
}

}  // namespace kvalor
