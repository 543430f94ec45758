#include "model/ImportReports.h"

namespace kvalor {

QString StudiesImportText(const StudiesImportReport& report) {
    QString text = QStringLiteral("Импортировано результатов тестов: %1.").arg(report.merged);
    if (report.leftOut > 0) {
        text += QStringLiteral(
                    "\nПропущено результатов: %1 — их пользователей или тестов нет в "
                    "этой базе данных (нет пользователя: %2, нет теста: %3).")
                    .arg(report.leftOut)
                    .arg(report.withoutAccount)
                    .arg(report.withoutTest);
    }
    return text;
}

QString UsersImportQuestion(const UsersImportReport& report) {
    return QStringLiteral(
               "В импортируемом списке нет пользователей, к которым относятся "
               "результаты тестов: %1. Эти результаты будут удалены при следующем "
               "запуске программы.\nПродолжить импорт?")
        .arg(report.orphanedStudies);
}

}  // namespace kvalor
