#include <gtest/gtest.h>

#include "storage/StorageError.h"

using namespace kvalor;

namespace {

// What a user reads when a file cannot be written: the cause in words, the code after them.
TEST(StorageError, FailuresAreToldInWords) {
    const QString file = QStringLiteral("/данные/KvalorData.exd");
    const QString failure = QStringLiteral("Не удалось сохранить файл данных");
    struct Case {
        StorageResult code;
        const char* expected;
    };
    for (const Case& c : {
             Case{StorageResult::DiskFull,
                  "Не удалось сохранить файл данных: на диске с папкой "
                  "/данные не хватает места (Ошибка записи $80030070)"},
             Case{StorageResult::AccessDenied,
                  "Не удалось сохранить файл данных: нет права записи в папку /данные или файл "
                  "доступен только для чтения (Ошибка записи $80030005)"},
             Case{StorageResult::DamagedFile,
                  "Не удалось сохранить файл данных:\nОшибка записи $80030109"},
         }) {
        EXPECT_EQ(DescribeFileFailure(failure,
                                      StorageError(c.code, StorageError::Operation::Writing), file),
                  QString::fromUtf8(c.expected));
    }
    // The Studies file's wording of the same failure keeps its code, and so its words.
    EXPECT_EQ(DescribeFileFailure(
                  failure, StorageError(StorageResult::DiskFull, "Ошибка записи 80030070"), file),
              QStringLiteral("Не удалось сохранить файл данных: на диске с папкой /данные не "
                             "хватает места (Ошибка записи 80030070)"));
    EXPECT_EQ(DescribeFileFailure(failure, KvalorError("Файл повреждён"), file),
              QStringLiteral("Не удалось сохранить файл данных:\nФайл повреждён"));
}

}  // namespace
