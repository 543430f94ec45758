#include "exchange/QuestionExport.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include "exchange/GiftWriter.h"
#include "exchange/MoodleXmlWriter.h"
#include "model/Answers.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// Why the question cannot be written in the format, or nothing. Texts are taken as the import
// takes them, so what is written reads back the same.
QString problemOf(const TQuestion& question, ExportFormat format) {
    if (format == ExportFormat::Gift && question.QuestionType() == kSequence) {
        return QStringLiteral("в формате GIFT нет вопросов на упорядочение");
    }
    if (SimplifyText(fromCp1251(question.GetName())).isEmpty()) {
        return QStringLiteral("нет текста вопроса");
    }
    const TAnswers& answers = question.Answers();
    if (answers.Count() == 0) {
        return QStringLiteral("нет вариантов ответа");
    }
    for (int i = 0; i < answers.Count(); ++i) {
        if (SimplifyText(fromCp1251(answers.AnswerAt(i)->GetName())).isEmpty()) {
            return QStringLiteral("пустой вариант ответа");
        }
    }
    return question.KeyFitsType() ? QString()
                                  : QStringLiteral(
                                        "верные ответы не отмечены так, как требует "
                                        "тип вопроса");
}

ExportQuestion exported(const TQuestion& question, const QStringList& category) {
    const TAnswers& answers = question.Answers();
    ExportQuestion result{category,
                          SimplifyText(fromCp1251(question.GetName())),
                          question.QuestionType(),
                          answers.AllowMix(),
                          {}};
    std::vector<const TAnswer*> order;
    for (int i = 0; i < answers.Count(); ++i) {
        order.push_back(answers.AnswerAt(i));
    }
    if (question.QuestionType() == kSequence) {
        std::sort(order.begin(), order.end(), [](const TAnswer* a, const TAnswer* b) {
            return a->CorrectPosition() < b->CorrectPosition();
        });
    }
    for (const TAnswer* answer : order) {
        result.answers.push_back({SimplifyText(fromCp1251(answer->GetName())),
                                  question.QuestionType() != kSequence && answer->Correct()});
    }
    return result;
}

// The questions of the group and of its groups, in item order, each with its category path.
void collect(const TQuestions& group, QStringList path, ExportFormat format,
             std::vector<ExportQuestion>& questions, ExportReport& report) {
    path << SimplifyText(fromCp1251(group.GetName()));
    for (int i = 0; i < group.Count(); ++i) {
        if (const auto* sub = dynamic_cast<const TQuestions*>(group.CollectionAt(i))) {
            collect(*sub, path, format, questions, report);
        } else if (const auto* question = dynamic_cast<const TQuestion*>(group.ElementAt(i))) {
            const int number = static_cast<int>(questions.size() + report.notes.size()) + 1;
            if (const QString problem = problemOf(*question, format); !problem.isEmpty()) {
                report.notes.push_back(
                    {number, FirstWords(fromCp1251(question->GetName())), problem});
            } else {
                questions.push_back(exported(*question, path));
            }
        }
    }
}

}  // namespace

QString WrittenCategory(const QStringList& path) {
    QStringList names;
    for (const QString& name : path) {
        names << QString(name).replace(u'/', QStringLiteral("//"));
    }
    return QStringLiteral("$course$/") + names.join(u'/');
}

QString RightShare(int rightAnswers) {
    QString share = QString::number(100.0 / rightAnswers, 'f', 5);
    while (share.endsWith(u'0')) {
        share.chop(1);
    }
    if (share.endsWith(u'.')) {
        share.chop(1);
    }
    return share;
}

std::optional<ExportFormat> ExportFormatOf(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"xml") {
        return ExportFormat::MoodleXml;
    }
    if (suffix == u"gift" || suffix == u"txt") {
        return ExportFormat::Gift;
    }
    return std::nullopt;
}

ExportReport ExportQuestions(const TQuestions& test, const QString& fileName, ExportFormat format) {
    std::vector<ExportQuestion> questions;
    ExportReport report;
    collect(test, {}, format, questions, report);
    if (questions.empty()) {
        throw KvalorError(QStringLiteral("В тесте «%1» нет вопросов, которые можно записать в "
                                         "формате %2")
                              .arg(fromCp1251(test.GetName()), format == ExportFormat::Gift
                                                                   ? QStringLiteral("GIFT")
                                                                   : QStringLiteral("Moodle XML")));
    }
    const QByteArray bytes =
        format == ExportFormat::Gift ? WriteGift(questions) : WriteMoodleXml(questions);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw KvalorError(
            QStringLiteral("Не удалось записать файл %1").arg(QDir::toNativeSeparators(fileName)));
    }
    report.written = static_cast<int>(questions.size());
    return report;
}

QStringList ExportReportLines(const ExportReport& report) {
    QStringList lines{QStringLiteral("Записано вопросов: %1").arg(report.written)};
    if (!report.notes.empty()) {
        lines << QStringLiteral("Пропущено вопросов: %1").arg(report.notes.size());
    }
    for (const ExportNote& note : report.notes) {
        lines << QStringLiteral("Вопрос %1: пропущено «%2» — %3")
                     .arg(note.number)
                     .arg(note.firstWords, note.reason);
    }
    return lines;
}

}  // namespace kvalor
