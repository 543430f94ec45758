// kvalor-tool: the administrator's command-line companion. It writes a starter data file,
// shows any of the program's files as JSON, saves a data file again, imports results and
// questions and exports tests and the journal as workbooks.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <exception>

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QString>
#include <QStringList>

#include "JsonDump.h"
#include "SchoolData.h"
#include "exchange/JournalWorkbook.h"
#include "exchange/QuestionImport.h"
#include "exchange/TestWorkbook.h"
#include "model/Kvalor.h"
#include "model/StarterData.h"
#include "model/StudyList.h"
#include "storage/DataFileLock.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

const char kUsage[] =
    "Использование:\n"
    "  kvalor-tool init [--empty] ФАЙЛ\n"
    "      записать начальный файл данных: встроенные учётные записи без паролей, группа из\n"
    "      двух соискателей, демонстрационный простой и комплексный тесты (с --empty только\n"
    "      встроенные учётные записи); существующий файл заменяется\n"
    "  kvalor-tool dump ФАЙЛ\n"
    "      вывести содержимое файла данных, файла результатов или файла пользователей в JSON;\n"
    "      файл данных показывается так, как он хранится (без исправлений при загрузке),\n"
    "      пароли не выводятся\n"
    "  kvalor-tool make-school МАСШТАБ ФАЙЛ\n"
    "      записать учебный набор данных «Школа» для замеров скорости: при масштабе 1\n"
    "      500 тестов (100 000 вопросов), 10 000 учётных записей, 200 000 результатов;\n"
    "      один и тот же масштаб всегда даёт то же содержимое\n"
    "  kvalor-tool resave ФАЙЛ НОВЫЙ_ФАЙЛ\n"
    "      прочитать файл данных так, как его читает программа, и записать в НОВЫЙ_ФАЙЛ\n"
    "  kvalor-tool import-studies ФАЙЛ_ДАННЫХ ФАЙЛ_РЕЗУЛЬТАТОВ...\n"
    "      добавить результаты тестов из файлов в файл данных; при ошибке файл данных\n"
    "      не меняется\n"
    "  kvalor-tool import-questions ФАЙЛ_ДАННЫХ ФАЙЛ_ВОПРОСОВ [--test ТЕСТ]\n"
    "      добавить вопросы из текстового файла в формате GIFT или Aiken в простой тест ТЕСТ\n"
    "      (новый, если такого нет; без --test новый тест называется по имени файла) и\n"
    "      вывести отчёт; при ошибке файл данных не меняется\n"
    "  kvalor-tool export-test ФАЙЛ_ДАННЫХ ТЕСТ ФАЙЛ.xlsx [--answers]\n"
    "      записать простой тест ТЕСТ в книгу Excel, с --answers вместе с ответами\n"
    "  kvalor-tool export-journal ФАЙЛ_ДАННЫХ ФАЙЛ.xlsx\n"
    "      записать журнал тестирования (все результаты) в книгу Excel\n"
    "Команды init, make-school, resave, import-studies и import-questions на время работы блокируют файл\n"
    "данных, в который пишут (файл ФАЙЛ.lock рядом с ним), и не выполняются, пока он занят\n"
    "программой или другой командой.\n";

void write(std::FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

void fail(const QString& message) {
    write(stderr, "kvalor-tool: " + message.toUtf8() + "\n");
}

// The advance of a long step on standard error, one line rewritten in place, when that is a
// terminal: scripts that read the messages get only the messages.
Progress progressLine(const char* label) {
    if (!::isatty(STDERR_FILENO)) {
        return {};
    }
    return [label, shown = -1](std::uint64_t done, std::uint64_t total) mutable {
        const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
        if (percent != shown) {
            shown = percent;
            std::fprintf(stderr, "\r%s: %3d %%%s", label, percent, percent == 100 ? "\n" : "");
            std::fflush(stderr);
        }
    };
}

void init(const QString& fileName, bool empty) {
    const DataFileLock lock(fileName);
    TKvalor root;
    if (empty) {
        BuildEmptyData(root);
    } else {
        BuildStarterData(root);
    }
    root.SaveToFile(fileName);
}

// Scales from a thousandth (a few studies) to ten times the full set.
void makeSchool(const QString& scaleText, const QString& fileName) {
    bool valid = false;
    const double scale = scaleText.toDouble(&valid);
    if (!valid || !(scale >= 0.001 && scale <= 10.0)) {
        throw KvalorError(QString::fromUtf8("Масштаб должен быть числом от 0.001 до 10: ") +
                          scaleText);
    }
    const DataFileLock lock(fileName);
    TKvalor root;
    BuildSchoolData(root, SchoolShape::atScale(scale));
    root.SaveToFile(fileName, nullptr, progressLine("Сохранение"));
}

bool dump(const QString& fileName) {
    write(stdout, QJsonDocument(DumpFile(fileName)).toJson(QJsonDocument::Indented));
    // A full disk or a closed pipe must not pass for a complete dump.
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

// Only the file written is locked: reading a data file that a running program holds gives its
// last save, and a read-only source cannot have a lock file made beside it.
void resave(const QString& from, const QString& to) {
    const DataFileLock lock(to);
    TKvalor root;
    root.LoadFromFile(from, true, progressLine("Загрузка"));
    root.SaveToFile(to, nullptr, progressLine("Сохранение"));
}

// The save replaces the file only once it is complete, so a failing import leaves it as it was.
// What was taken and what was left out goes to standard output.
void importStudies(const QString& dataFile, const QStringList& resultsFiles) {
    const DataFileLock lock(dataFile);
    TKvalor root;
    root.LoadFromFile(dataFile, true, progressLine("Загрузка"));
    const StudiesImportReport report = root.ImportStudies(resultsFiles, progressLine("Импорт"));
    root.SaveToFile(dataFile, nullptr, progressLine("Сохранение"));
    write(stdout, StudiesImportText(report).toUtf8() + "\n");
}

// The data file is written only when questions came in.
bool importQuestions(const QString& dataFile, const QString& textFile, const QString& testName) {
    const DataFileLock lock(dataFile);
    TKvalor root;
    root.LoadFromFile(dataFile, true);
    TQuestions* test = testName.isEmpty() ? nullptr : FindSimpleTest(root.SimpleTests(), testName);
    const ImportReport report = ImportQuestionFile(textFile, root.SimpleTests(), test, testName);
    if (report.imported > 0) {
        root.SaveToFile(dataFile);
    }
    write(stdout, ReportLines(report).join(u'\n').toUtf8() + "\n");
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

void exportTest(const QString& dataFile, const QString& testName, const QString& outFile,
                bool withAnswers) {
    TKvalor root;
    root.LoadFromFile(dataFile, true);
    const TQuestions* test = FindSimpleTest(root.SimpleTests(), testName);
    if (test == nullptr) {
        throw KvalorError(QString::fromUtf8("Простой тест «%1» не найден").arg(testName));
    }
    ExportTest(*test, withAnswers, outFile);
}

// All studies, as the journal of the administrator lists them.
void exportJournal(const QString& dataFile, const QString& outFile) {
    TKvalor root;
    root.LoadFromFile(dataFile, true);
    ExportJournal(root.Studies().View(), outFile);
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args.append(QFile::decodeName(argv[i]));
    }
    const QString command = args.value(0);
    if (command == "help" || command == "--help" || command == "-h") {
        write(stdout, kUsage);
        return 0;
    }
    try {
        if (command == "init" && args.size() == 2) {
            init(args[1], false);
        } else if (command == "init" && args.size() == 3 && args[1] == "--empty") {
            init(args[2], true);
        } else if (command == "dump" && args.size() == 2) {
            if (!dump(args[1])) {
                fail(QString::fromUtf8("не удалось вывести результат"));
                return kFailure;
            }
        } else if (command == "make-school" && args.size() == 3) {
            makeSchool(args[1], args[2]);
        } else if (command == "resave" && args.size() == 3) {
            resave(args[1], args[2]);
        } else if (command == "import-studies" && args.size() >= 3) {
            importStudies(args[1], args.mid(2));
        } else if (command == "import-questions" &&
                   (args.size() == 3 || (args.size() == 5 && args[3] == "--test"))) {
            if (!importQuestions(args[1], args[2], args.value(4))) {
                fail(QString::fromUtf8("не удалось вывести отчёт"));
                return kFailure;
            }
        } else if (command == "export-test" &&
                   (args.size() == 4 || (args.size() == 5 && args[4] == "--answers"))) {
            exportTest(args[1], args[2], args[3], args.size() == 5);
        } else if (command == "export-journal" && args.size() == 3) {
            exportJournal(args[1], args[2]);
        } else {
            write(stderr, kUsage);
            return kUsageError;
        }
    } catch (const KvalorError& error) {
        fail(error.message());
        return kFailure;
    } catch (const std::exception& error) {
        fail(QString::fromLocal8Bit(error.what()));
        return kFailure;
    }
    return 0;
}
