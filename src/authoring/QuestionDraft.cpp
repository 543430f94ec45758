#include "authoring/QuestionDraft.h"

#include "authoring/TestItems.h"
#include "model/Answers.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/ByteStream.h"

namespace kvalor {

namespace {

void showKeyAsMarks(TQuestion& question) {
    if (question.QuestionType() == kSequence) {
        return;
    }
    TAnswers& answers = question.Answers();
    answers.ClearChecked();
    for (int i = 0; i < answers.Count(); ++i) {
        if (answers.AnswerAt(i)->Correct()) {
            answers.SetChecked(*answers.AnswerAt(i), true);
        }
    }
}

}  // namespace

void TQuestionDraft::Begin(TQuestion& question) {
    showKeyAsMarks(question);
    Remember(question);
}

void TQuestionDraft::Remember(const TQuestion& question) {
    ByteStream record;
    question.SaveToStream(record);
    stored_ = record.takeData();
}

bool TQuestionDraft::Restore(TQuestion& question) const {
    if (stored_.empty()) {
        return false;
    }
    TQuestion stored;
    ByteStream record(stored_);
    stored.LoadFromStream(record, ReadContext{});
    question.SetName(stored.GetName());
    TAnswers& answers = question.Answers();
    answers.Clear();
    TAnswers& kept = stored.Answers();
    while (kept.Count() > 0) {
        answers.AddItem(kept.Extract(*kept.AnswerAt(0)));
    }
    answers.SetAllowMix(kept.AllowMix());
    question.SetQuestionType(stored.QuestionType());
    showKeyAsMarks(question);
    return true;
}

void TQuestionDraft::Store(TQuestion& question, const std::string& text, bool allowMix) {
    question.Answers().StoreKey();
    question.SetName(text);
    question.Answers().SetAllowMix(allowMix);
    Remember(question);
}

QString TQuestionDraft::KeyProblem(const TQuestion& question) {
    if (question.MarksFitType()) {
        return {};
    }
    if (question.Answers().Count() == 0) {
        return QStringLiteral("Изменения не сохранены: у вопроса нет вариантов ответа.");
    }
    return question.QuestionType() == kSingleAnswer
               ? QStringLiteral("Изменения не сохранены: отметьте один правильный ответ.")
               : QStringLiteral("Изменения не сохранены: отметьте хотя бы один правильный ответ.");
}

TAnswer& TQuestionDraft::AddAnswer(TQuestion& question) {
    auto created = question.Answers().NewAnswer();
    TAnswer& answer = *created;
    question.Answers().AddItem(std::move(created));
    return answer;
}

TQuestion& TQuestionDraft::AddQuestion(TExaminerCollection& target) {
    auto created = NewQuestion();
    TQuestion& question = *created;
    target.AddItem(std::move(created));
    if (TQuestions* owner = question.OwnerTest()) {
        owner->Renumber();
    }
    return question;
}

}  // namespace kvalor
