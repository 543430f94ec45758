#include "storage/StorageError.h"

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

}  // namespace kvalor
