#include "storage/StorageError.h"

#include <QDir>
#include <QFileInfo>

namespace kvalor {

QString formatResultCode(StorageResult code) {
    return QStringLiteral("%1")
        .arg(static_cast<std::uint32_t>(code), 8, 16, QLatin1Char('0'))
        .toUpper();
}

StorageError::StorageError(StorageResult code, Operation operation)
    : KvalorError(QStringLiteral("%1 $%2").arg(operation == Operation::Reading
                                                   ? QString::fromUtf8("Ошибка чтения")
                                                   : QString::fromUtf8("Ошибка записи"),
                                               formatResultCode(code))),
      code_(code) {}

StorageError::StorageError(StorageResult code, const QString& message)
    : KvalorError(message), code_(code) {}

namespace {

QString causeInWords(StorageResult code, const QString& fileName) {
    const QString folder = QDir::toNativeSeparators(QFileInfo(fileName).absolutePath());
    switch (code) {
        case StorageResult::DiskFull:
            return QStringLiteral("на диске с папкой %1 не хватает места").arg(folder);
        case StorageResult::AccessDenied:
            return QStringLiteral(
                       "нет права записи в папку %1 или файл доступен только для "
                       "чтения")
                .arg(folder);
        case StorageResult::PathNotFound:
            return QStringLiteral("папка %1 не найдена").arg(folder);
        case StorageResult::ShareViolation:
            return QStringLiteral("файл занят другой программой");
        case StorageResult::WriteFault:
            return QStringLiteral("диск сообщил об ошибке записи");
        default:
            return {};
    }
}

}  // namespace

QString DescribeFileFailure(const QString& failure, const std::exception& error,
                            const QString& fileName) {
    const auto* storage = dynamic_cast<const StorageError*>(&error);
    const auto* known = dynamic_cast<const KvalorError*>(&error);
    const QString message = known ? known->message() : QString::fromUtf8(error.what());
    const QString cause = storage ? causeInWords(storage->code(), fileName) : QString();
    if (cause.isEmpty()) {
        return QStringLiteral("%1:\n%2").arg(failure, message);
    }
    return QStringLiteral("%1: %2 (%3)").arg(failure, cause, message);
}

}  // namespace kvalor
