#include "app/DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kvalor {

namespace {

const QString kDataOption = QStringLiteral("--data");

}  // namespace

StartOptions ParseStartOptions(const QStringList& arguments, const QString& environmentFolder) {
    StartOptions options;
    QString requested;
    for (int index = 0; index < arguments.size(); ++index) {
        const QString& argument = arguments[index];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == kDataOption || argument.startsWith(kDataOption + '=')) {
            requested = argument == kDataOption ? arguments.value(++index)
                                                : argument.mid(kDataOption.size() + 1);
            if (requested.isEmpty()) {
                options.error = QStringLiteral("После --data не указана папка");
                return options;
            }
        }
    }
    options.dataFolder = requested.isEmpty() ? environmentFolder : requested;
    return options;
}

QString StartUsage() {
    return QStringLiteral(
               "Использование: kvalor [--data ПАПКА]\n"
               "Квалор: составление тестов, тестирование и журнал результатов.\n"
               "\n"
               "  --data ПАПКА  папка данных: файл данных KvalorData.exd, файл результатов\n"
               "                Studies.exd, настройки KvalorCfg.ini, файл восстановления\n"
               "                KvalorData.recovery.exd и блокировка KvalorData.exd.lock;\n"
               "                то же задаёт переменная окружения KVALOR_DATA\n"
               "  --help        показать эту справку\n"
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
