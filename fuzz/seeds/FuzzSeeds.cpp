// Writes the seed corpora of the fuzz targets into a folder, one sub-folder per target, from
// what the program itself writes: the starter data of `kvalor-tool init` with a password and a
// scored study added, saved as a data file, a Studies file and a user exchange file, its five
// streams as the stream and packing targets take them, its test as the question export writes
// it and its choice questions as Aiken text for the question readers, and the clipboard blocks
// of its first test and question.
//   kvalor_fuzz_seeds FOLDER

#include <QDir>
#include <QFile>
#include <QString>
#include <cstdio>
#include <memory>
#include <string>

#include "exchange/QuestionExport.h"
#include "model/CollectionHelpers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/StarterData.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "storage/ClipboardData.h"
#include "storage/DataStreams.h"
#include "storage/Packing.h"
#include "model/Answers.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

void addScoredStudy(TKvalor& root) {
    auto& test = static_cast<TQuestions&>(*root.SimpleTests().CollectionAt(0));
    auto study = TStudyList::NewStudy(1, *root.Users().Applicant(), test, 45000.5);
    for (TExaminerElement* element : CollectItems(test, "TQuestion", true)) {
        auto& question = static_cast<TQuestion&>(*element);
        TExamineQuestion& record = study->Questions().Items(study->Questions().AddEmpty());
        record.QuestionId = question.Id();
        record.Question = &question;
        record.Given = {0};
        for (int i = 0; i < question.Answers().Count(); ++i) {
            record.Order.push_back(i);
        }
    }
    study->SetState(1);
    study->Score();
    root.Studies().Append(std::move(study));
}

void writeSeed(const QDir& folder, const QString& name, const std::string& bytes) {
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
        throw KvalorError(QStringLiteral("Ошибка записи ") + file.fileName());
    }
}

QDir subFolder(const QString& root, const char* name) {
    QDir folder(root);
    if (!folder.mkpath(QString::fromLatin1(name)) || !folder.cd(QString::fromLatin1(name))) {
        throw KvalorError(QStringLiteral("Ошибка записи ") + root);
    }
    return folder;
}

// The test as the question export writes it, and its choice questions as Aiken text (UTF-8).
void writeQuestionTexts(const TQuestions& test, const QDir& folder) {
    ExportQuestions(test, folder.filePath("questions.xml"), ExportFormat::MoodleXml);
    ExportQuestions(test, folder.filePath("questions.gift"), ExportFormat::Gift);
    QString aiken;
    for (const TExaminerElement* element : CollectItems(test, "TQuestion", true)) {
        const auto& question = static_cast<const TQuestion&>(*element);
        const TAnswers& answers = question.Answers();
        if (question.QuestionType() == kSequence || answers.Count() == 0) {
            continue;
        }
        aiken += fromCp1251(question.GetName()) + u'\n';
        QChar right;
        for (int i = 0; i < answers.Count(); ++i) {
            const TAnswer& answer = *answers.AnswerAt(i);
            const QString text = fromCp1251(answer.GetName());
            const QChar letter(u'A' + i);
            aiken += QString(letter) + QStringLiteral(". ") + text + u'\n';
            if (answer.Correct() && right.isNull()) {
                right = letter;
            }
        }
        aiken += QStringLiteral("ANSWER: ") + QString(right.isNull() ? QChar(u'A') : right) +
                 QStringLiteral("\n\n");
    }
    writeSeed(folder, QStringLiteral("questions.txt"), aiken.toUtf8().toStdString());
}

void writeSeeds(const QString& root) {
    TKvalor data;
    BuildStarterData(data);
    data.Users().Administrator()->SetPassword("admin");
    addScoredStudy(data);

    const QDir files = subFolder(root, "fuzz_files");
    data.SaveToFile(files.filePath("data.exd"));
    data.Studies().SaveToFile(files.filePath("studies.exd"));
    data.Users().SaveToFile(files.filePath("users.exd"));

    ByteStream streams[5];
    SaveTestsStream(data.SimpleTests(), streams[0]);
    SaveTestsStream(data.ComplexTests(), streams[1]);
    SaveUsersStream(data.Users(), streams[2]);
    data.Tasks().SaveToStream(streams[3]);
    data.Studies().SaveToStream(streams[4]);
    const char* const names[] = {"simple", "complex", "users", "tasks", "studies"};
    const QDir records = subFolder(root, "fuzz_datafile");
    const QDir packing = subFolder(root, "fuzz_unpack");
    for (int i = 0; i < 5; ++i) {
        const QString name = QString::fromLatin1(names[i]);
        ByteStream packed(streams[i].data());
        PackStream(packed, 3);
        ByteStream enciphered(streams[i].data());
        PackStream(enciphered, 2);
        // First byte of the records target: version 3, bit 2 for packed.
        writeSeed(records, name + "-plain", "\x03" + streams[i].data());
        writeSeed(records, name + "-packed", "\x07" + packed.data());
        writeSeed(packing, name + "-v3", packed.data());
        writeSeed(packing, name + "-v2", enciphered.data());
    }
    const auto& test = static_cast<const TQuestions&>(*data.SimpleTests().CollectionAt(0));
    writeQuestionTexts(test, subFolder(root, "fuzz_questions"));

    // The blocks that copying the test, and its first question, puts on the clipboard.
    const QDir clipboard = subFolder(root, "fuzz_clipboard");
    writeSeed(clipboard, "test", WriteClipboardItems({&test}).data());
    if (const IExaminerItem* question = test.Items(0)) {
        writeSeed(clipboard, "question", WriteClipboardItems({question}).data());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: kvalor_fuzz_seeds FOLDER\n", stderr);
        return 2;
    }
    try {
        writeSeeds(QString::fromLocal8Bit(argv[1]));
    } catch (const KvalorError& error) {
        std::fprintf(stderr, "kvalor_fuzz_seeds: %s\n", error.message().toUtf8().constData());
        return 1;
    }
    return 0;
}
