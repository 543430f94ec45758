// kvalor-tool: the administrator's command-line companion. It writes a starter data file,
// shows any of the program's files as JSON, saves a data file again, imports results and
// questions, exports tests and the journal as workbooks and tests as question files, and prints
// the statistics of a test.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>

#include <QByteArray>
#include <QCommandLineParser>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QString>
#include <QStringList>

#include "JsonDump.h"
#include "StatsReport.h"
#include "analysis/TestStatistics.h"
#include "exchange/JournalWorkbook.h"
#include "exchange/QuestionExport.h"
#include "exchange/QuestionImport.h"
#include "exchange/TestWorkbook.h"
#include "model/Kvalor.h"
#include "model/StarterData.h"
#include "model/StudyList.h"
#include "server/ServerStore.h"
#include "storage/CompoundFile.h"
#include "storage/DataFileLock.h"
#include "util/CommandLine.h"
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
    "  kvalor-tool dump ФАЙЛ | dump --server СЕРВЕР\n"
    "      вывести содержимое файла данных, файла результатов или файла пользователей в JSON;\n"
    "      файл данных показывается так, как он хранится (без исправлений при загрузке),\n"
    "      пароли не выводятся; с --server так же всё содержимое сервера сетевого режима\n"
    "  kvalor-tool resave ФАЙЛ НОВЫЙ_ФАЙЛ\n"
    "      прочитать файл данных так, как его читает программа, и записать в НОВЫЙ_ФАЙЛ\n"
    "  kvalor-tool import-studies ФАЙЛ_ДАННЫХ ФАЙЛ_РЕЗУЛЬТАТОВ...\n"
    "      добавить результаты тестов из файлов в файл данных; при ошибке файл данных\n"
    "      не меняется\n"
    "  kvalor-tool import-questions ФАЙЛ_ДАННЫХ ФАЙЛ_ВОПРОСОВ [--test ТЕСТ]\n"
    "      добавить вопросы из файла в формате GIFT, Aiken или Moodle XML в простой тест ТЕСТ\n"
    "      (новый, если такого нет; без --test новый тест называется по имени файла) и\n"
    "      вывести отчёт; при ошибке файл данных не меняется\n"
    "  kvalor-tool export-test ФАЙЛ_ДАННЫХ ТЕСТ ФАЙЛ.xlsx [--answers]\n"
    "      записать простой тест ТЕСТ в книгу Excel, с --answers вместе с ответами\n"
    "  kvalor-tool export-questions ФАЙЛ_ДАННЫХ ТЕСТ ФАЙЛ [--format xml|gift]\n"
    "      записать вопросы простого теста ТЕСТ в файл Moodle XML или GIFT (формат по\n"
    "      расширению .xml, .gift или .txt, если не указан --format) и вывести отчёт\n"
    "  kvalor-tool export-journal ФАЙЛ_ДАННЫХ ФАЙЛ.xlsx | export-journal --server СЕРВЕР "
    "ФАЙЛ.xlsx\n"
    "      записать журнал тестирования (все результаты) в книгу Excel\n"
    "  kvalor-tool stats ФАЙЛ_ДАННЫХ ТЕСТ [--json] | stats --server СЕРВЕР ТЕСТ [--json]\n"
    "      вывести статистику простого или комплексного теста ТЕСТ (имя или идентификатор)\n"
    "      по всем его результатам: проценты, оценки, надёжность, решаемость и различение\n"
    "      вопросов, доли выбравших каждый ответ; с --json в виде JSON\n"
    "  kvalor-tool server-init СЕРВЕР\n"
    "      создать таблицы Квалора в пустой базе данных сервера сетевого режима\n"
    "  kvalor-tool push ФАЙЛ_ДАННЫХ СЕРВЕР [--replace]\n"
    "      отправить всё содержимое файла данных на сервер; сервер с данными не меняется\n"
    "      без --replace (с ним его данные заменяются)\n"
    "  kvalor-tool pull СЕРВЕР ФАЙЛ_ДАННЫХ\n"
    "      записать всё содержимое сервера в файл данных (существующий файл заменяется)\n"
    "  kvalor-tool server-status СЕРВЕР\n"
    "      вывести версию схемы, версии и размеры списков на сервере\n"
    "  kvalor-tool --help | --version\n"
    "      показать эту справку или версию программы\n"
    "Параметры команды можно указывать в любом порядке. Команды init, resave, import-studies\n"
    "и import-questions на время работы блокируют файл данных, в который пишут (файл\n"
    "ФАЙЛ.lock рядом с ним), и не выполняются, пока он занят программой или другой командой.\n"
    "СЕРВЕР: имя или адрес сервера PostgreSQL либо строка подключения postgresql://...;\n"
    "база данных, пользователь и пароль берутся как у любой программы libpq (PGDATABASE,\n"
    "по умолчанию kvalor; PGUSER; PGPORT; ~/.pgpass или PGPASSWORD).\n";

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

// A full disk or a closed pipe must not pass for complete output.
void flushOutput(const char* what) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        throw KvalorError(QString::fromUtf8("не удалось вывести ") + QString::fromUtf8(what));
    }
}

void dumpJson(const QJsonObject& dump) {
    write(stdout, QJsonDocument(dump).toJson(QJsonDocument::Indented));
    flushOutput("результат");
}

ServerAddress serverAt(const QString& address) {
    return ServerAddress{address, {}};
}

// The server's content as stored, as a data file's dump shows it.
void dumpServer(const QString& address) {
    TServerStore store(serverAt(address));
    TKvalor root;
    store.Load(root, false, progressLine("Загрузка"));
    QJsonObject dump{{"file", "server"}, {"options", QJsonArray{root.Option1(), root.Option2()}}};
    InsertDataLists(dump, root);
    dumpJson(dump);
}

void serverInit(const QString& address) {
    TServerStore::InitSchema(serverAt(address));
    write(stdout, QString::fromUtf8("Таблицы Квалора на сервере готовы\n").toUtf8());
}

// The file is read as stored, its option bytes too, so that a pull gives it back unchanged.
void push(const QString& dataFile, const QString& address, bool replace) {
    TKvalor root;
    root.LoadFromFile(dataFile, false, progressLine("Загрузка"));
    if (const auto options = ReadStoredOptions(CompoundFileReader(dataFile).root())) {
        root.SetOption1(options->first);
        root.SetOption2(options->second);
    }
    TServerStore(serverAt(address)).Push(root, replace);
}

void pull(const QString& address, const QString& dataFile) {
    const DataFileLock lock(dataFile);
    TKvalor root;
    TServerStore(serverAt(address)).Load(root, false, progressLine("Загрузка"));
    root.SaveToFile(dataFile, nullptr, progressLine("Сохранение"));
}

void serverStatus(const QString& address) {
    const TServerStore::Status status = TServerStore(serverAt(address)).ReadStatus();
    write(stdout, QString::fromUtf8("Версия схемы: %1\n"
                                    "Простые тесты: %2, комплексные тесты: %3 (версия %4)\n"
                                    "Пользователи и группы верхнего уровня: %5 (версия %6)\n"
                                    "Задания комплексных тестов: %7 (версия %8)\n"
                                    "Результаты: %9\n")
                      .arg(status.schemaVersion)
                      .arg(status.simpleTests)
                      .arg(status.complexTests)
                      .arg(status.testsVersion)
                      .arg(status.accounts)
                      .arg(status.usersVersion)
                      .arg(status.tasks)
                      .arg(status.tasksVersion)
                      .arg(status.studies)
                      .toUtf8());
    flushOutput("состояние");
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
void importQuestions(const QString& dataFile, const QString& textFile, const QString& testName) {
    const DataFileLock lock(dataFile);
    TKvalor root;
    root.LoadFromFile(dataFile, true);
    TQuestions* test = testName.isEmpty() ? nullptr : FindSimpleTest(root.SimpleTests(), testName);
    const ImportReport report = ImportQuestionFile(textFile, root.SimpleTests(), test, testName);
    if (report.imported > 0) {
        root.SaveToFile(dataFile);
    }
    write(stdout, ReportLines(report).join(u'\n').toUtf8() + "\n");
    flushOutput("отчёт");
}

const TQuestions& requireSimpleTest(const TKvalor& root, const QString& testName) {
    const TQuestions* test = FindSimpleTest(root.SimpleTests(), testName);
    if (test == nullptr) {
        throw KvalorError(QString::fromUtf8("Простой тест «%1» не найден").arg(testName));
    }
    return *test;
}

void exportTest(const QString& dataFile, const QString& testName, const QString& outFile,
                bool withAnswers) {
    TKvalor root;
    root.LoadFromFile(dataFile, true);
    ExportTest(requireSimpleTest(root, testName), withAnswers, outFile);
}

// The format named by --format, else the one of the file's suffix.
void exportQuestions(const QString& dataFile, const QString& testName, const QString& outFile,
                     const QString& formatName) {
    std::optional<ExportFormat> format = ExportFormatOf(outFile);
    if (formatName == u"xml" || formatName == u"gift") {
        format = formatName == u"xml" ? ExportFormat::MoodleXml : ExportFormat::Gift;
    } else if (!formatName.isEmpty()) {
        throw KvalorError(
            QString::fromUtf8("Неизвестный формат «%1»: укажите xml или gift").arg(formatName));
    }
    if (!format) {
        throw KvalorError(QString::fromUtf8("Формат файла %1 не определяется по расширению: "
                                            "укажите --format xml или --format gift")
                              .arg(outFile));
    }
    TKvalor root;
    root.LoadFromFile(dataFile, true);
    const ExportReport report =
        ExportQuestions(requireSimpleTest(root, testName), outFile, *format);
    write(stdout, ExportReportLines(report).join(u'\n').toUtf8() + "\n");
    flushOutput("отчёт");
}

// The data as the program starts with it, from the data file or, with --server, the server.
void loadData(TKvalor& root, const QStringList& arguments, const QCommandLineParser& parser) {
    if (parser.isSet("server")) {
        TServerStore(serverAt(parser.value("server"))).Load(root, true);
    } else {
        root.LoadFromFile(arguments[0], true);
    }
}

// The arguments after the data file, which --server replaces.
QStringList afterData(const QStringList& arguments, const QCommandLineParser& parser) {
    return arguments.mid(parser.isSet("server") ? 0 : 1);
}

// All studies, as the journal of the administrator lists them.
void exportJournal(const QStringList& arguments, const QCommandLineParser& parser) {
    TKvalor root;
    loadData(root, arguments, parser);
    ExportJournal(root.Studies().View(), afterData(arguments, parser)[0]);
}

// The figures of all studies of the test, as the journal scored them.
void stats(const QStringList& arguments, const QCommandLineParser& parser) {
    const QString testName = afterData(arguments, parser)[0];
    const bool json = parser.isSet("json");
    TKvalor root;
    loadData(root, arguments, parser);
    const TQuestions& test = FindTestForStatistics(root, testName);
    const TestFigures figures =
        ComputeTestFigures(test, root.Tasks(), root.Studies().StudiesOfTest(test));
    write(stdout, json ? QJsonDocument(StatisticsJson(figures)).toJson(QJsonDocument::Indented)
                       : StatisticsText(figures).toUtf8());
    flushOutput("статистику");
}

// A command: how many arguments follow its name (or at least how many), the one option it may
// take, what it does with them, and whether it reads from a server given by --server instead
// of its data file argument.
struct Command {
    const char* name;
    int arguments;
    bool more;
    const char* option;
    void (*run)(const QStringList& arguments, const QCommandLineParser& parser);
    bool readsServer = false;
};

const Command kCommands[] = {
    {"init", 1, false, "empty",
     [](const QStringList& a, const QCommandLineParser& p) { init(a[0], p.isSet("empty")); }},
    {"dump", 1, false, nullptr,
     [](const QStringList& a, const QCommandLineParser& p) {
         if (p.isSet("server")) {
             dumpServer(p.value("server"));
         } else {
             dumpJson(DumpFile(a[0]));
         }
     },
     true},
    {"resave", 2, false, nullptr,
     [](const QStringList& a, const QCommandLineParser&) { resave(a[0], a[1]); }},
    {"import-studies", 2, true, nullptr,
     [](const QStringList& a, const QCommandLineParser&) { importStudies(a[0], a.mid(1)); }},
    {"import-questions", 2, false, "test",
     [](const QStringList& a, const QCommandLineParser& p) {
         importQuestions(a[0], a[1], p.value("test"));
     }},
    {"export-test", 3, false, "answers",
     [](const QStringList& a, const QCommandLineParser& p) {
         exportTest(a[0], a[1], a[2], p.isSet("answers"));
     }},
    {"export-questions", 3, false, "format",
     [](const QStringList& a, const QCommandLineParser& p) {
         exportQuestions(a[0], a[1], a[2], p.value("format"));
     }},
    {"export-journal", 2, false, nullptr, exportJournal, true},
    {"stats", 2, false, "json", stats, true},
    {"server-init", 1, false, nullptr,
     [](const QStringList& a, const QCommandLineParser&) { serverInit(a[0]); }},
    {"push", 2, false, "replace",
     [](const QStringList& a, const QCommandLineParser& p) {
         push(a[0], a[1], p.isSet("replace"));
     }},
    {"pull", 2, false, nullptr,
     [](const QStringList& a, const QCommandLineParser&) { pull(a[0], a[1]); }},
    {"server-status", 1, false, nullptr,
     [](const QStringList& a, const QCommandLineParser&) { serverStatus(a[0]); }},
};

// The command the arguments name and fit, or null with the mistake, if any, in Russian.
const Command* findCommand(const QCommandLineParser& parser, QString& mistake) {
    const QStringList positional = parser.positionalArguments();
    for (const Command& command : kCommands) {
        if (positional.value(0) != QLatin1String(command.name)) {
            continue;
        }
        for (const char* option :
             {"empty", "test", "answers", "format", "json", "replace", "server"}) {
            const bool taken = (command.option && qstrcmp(option, command.option) == 0) ||
                               (qstrcmp(option, "server") == 0 && command.readsServer);
            if (parser.isSet(option) && !taken) {
                mistake = QString::fromUtf8("Команда %1 не принимает параметр --%2")
                              .arg(command.name, option);
                return nullptr;
            }
        }
        const int given =
            static_cast<int>(positional.size()) - 1 + (parser.isSet("server") ? 1 : 0);
        return given == command.arguments || (command.more && given > command.arguments) ? &command
                                                                                         : nullptr;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args.append(QFile::decodeName(argv[i]));
    }
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version("version");
    const QCommandLineOption test("test", {}, QString::fromUtf8("ТЕСТ"));
    const QCommandLineOption format("format", {}, QString::fromUtf8("ФОРМАТ"));
    const QCommandLineOption server("server", {}, QString::fromUtf8("СЕРВЕР"));
    parser.addOptions({help, version, QCommandLineOption("empty"), test,
                       QCommandLineOption("answers"), format, QCommandLineOption("json"),
                       QCommandLineOption("replace"), server});
    QString mistake = ParseCommandLine(parser, args);
    if (mistake.isEmpty() && parser.isSet(test) && parser.value(test).isEmpty()) {
        mistake = QString::fromUtf8("После --test не указано имя теста");
    }
    if (mistake.isEmpty() && parser.isSet(server) && parser.value(server).isEmpty()) {
        mistake = QString::fromUtf8("После --server не указан сервер");
    }
    if (mistake.isEmpty() && parser.isSet(format) && parser.value(format).isEmpty()) {
        mistake = QString::fromUtf8("После --format не указан формат");
    }
    if (mistake.isEmpty() &&
        (parser.isSet(help) || parser.positionalArguments().value(0) == "help")) {
        write(stdout, kUsage);
        return 0;
    }
    if (mistake.isEmpty() && parser.isSet(version)) {
        write(stdout, "kvalor-tool " KVALOR_VERSION "\n");
        return 0;
    }
    const Command* command = mistake.isEmpty() ? findCommand(parser, mistake) : nullptr;
    if (command == nullptr) {
        if (!mistake.isEmpty()) {
            fail(mistake);
        }
        write(stderr, kUsage);
        return kUsageError;
    }
    try {
        command->run(parser.positionalArguments().mid(1), parser);
    } catch (const KvalorError& error) {
        fail(error.message());
        return kFailure;
    } catch (const std::exception& error) {
        fail(QString::fromLocal8Bit(error.what()));
        return kFailure;
    }
    return 0;
}
