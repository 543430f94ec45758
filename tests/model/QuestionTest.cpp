#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "RecordBytes.h"
#include "model/Answers.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Error.h"
#include "util/Random.h"

using namespace kvalor;

namespace {

const Guid kQuestionId = Guid::fromLiteral("{736AC03F-0000-4000-8000-000000000001}");
const Guid kListId = Guid::fromLiteral("{FA5C179B-0000-4000-8000-000000000002}");
const Guid kAnswerA = Guid::fromLiteral("{7DBA6FC9-0000-4000-8000-00000000000A}");
const Guid kAnswerB = Guid::fromLiteral("{7DBA6FC9-0000-4000-8000-00000000000B}");

// A question of type 2 with the answers "A" (position 1) and "B" (position 0).
std::string questionRecord(bool withAllowMix) {
    RecordBytes bytes;
    bytes.element(QuestionTypeId(), kQuestionId, 1, kQuestionKind, 5, "\xC2\xEE\xEF\xF0\xEE\xF1");
    bytes.u8(kSequence);
    bytes.collection(AnswersTypeId(), kListId, 0, kAnswersKind, 0, "", 2);
    bytes.u8(kAnswerKind).element(AnswerTypeId(), kAnswerA, 1, kAnswerKind, 0, "A").u8(0).i32(1);
    bytes.u8(kAnswerKind).element(AnswerTypeId(), kAnswerB, 0, kAnswerKind, 1, "B").u8(1).i32(0);
    if (withAllowMix) {
        bytes.u8(0);
    }
    return bytes.data();
}

TAnswer* addAnswer(TQuestion& question, const std::string& text) {
    auto answer = question.Answers().NewAnswer();
    answer->SetName(text);
    auto* raw = answer.get();
    question.Answers().AddItem(std::move(answer));
    return raw;
}

}  // namespace

TEST(QuestionRecord, VersionOneCarriesAllowMix) {
    const auto bytes = questionRecord(true);
    TQuestion question{Guid()};
    ByteStream in(bytes);
    question.LoadFromStream(in, ReadContext{1});
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(question.Id(), kQuestionId);
    EXPECT_EQ(question.GetNumber(), 5);
    EXPECT_EQ(question.GetName(), "\xC2\xEE\xEF\xF0\xEE\xF1");
    EXPECT_EQ(question.QuestionType(), kSequence);
    const auto& answers = question.Answers();
    EXPECT_EQ(answers.Id(), kListId);
    EXPECT_FALSE(answers.AllowMix());
    ASSERT_EQ(answers.Count(), 2);
    EXPECT_EQ(answers.AnswerAt(0)->Id(), kAnswerA);
    EXPECT_FALSE(answers.AnswerAt(0)->Correct());
    EXPECT_EQ(answers.AnswerAt(0)->CorrectPosition(), 1);
    EXPECT_FALSE(answers.AnswerAt(1)->Editable());
    EXPECT_TRUE(answers.AnswerAt(1)->Correct());
    EXPECT_EQ(answers.AnswerAt(1)->Question(), &question);
    EXPECT_EQ(answers.AnswerAt(1)->Parent(), &answers);

    ByteStream out;
    question.SaveToStream(out);
    EXPECT_EQ(out.data(), bytes);
}

TEST(QuestionRecord, VersionZeroHasNoAllowMixAndIsWrittenInFull) {
    const auto bytes = questionRecord(false);
    TQuestion question{Guid()};
    ByteStream in(bytes);
    question.LoadFromStream(in, ReadContext{0});
    EXPECT_TRUE(in.atEnd());
    EXPECT_TRUE(question.Answers().AllowMix());
    EXPECT_EQ(question.Answers().Count(), 2);

    ByteStream out;
    question.SaveToStream(out);
    EXPECT_EQ(out.data(), bytes + '\x01');

    // A copy read from the clipboard is a new question with new answers.
    TQuestion pasted{Guid()};
    ByteStream again(bytes + '\x01');
    pasted.LoadAsCopy(again, ReadContext{});
    EXPECT_NE(pasted.Id(), kQuestionId);
    EXPECT_NE(pasted.Answers().AnswerAt(0)->Id(), kAnswerA);
    EXPECT_EQ(pasted.Answers().Presentation()->Count(), 0);
}

TEST(Answers, MarkingFollowsTheQuestionType) {
    TQuestion question;
    auto* a = addAnswer(question, "a");
    auto* b = addAnswer(question, "b");
    auto* c = addAnswer(question, "c");
    auto& answers = question.Answers();
    int notified = 0;
    answers.SetOnChange([&](TAnswers& sender) {
        EXPECT_EQ(&sender, &answers);
        ++notified;
    });

    // One answer: the mark moves and cannot be taken away.
    a->SetChecked(true);
    b->SetChecked(true);
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(b->Checked());
    b->SetChecked(false);
    EXPECT_TRUE(b->Checked());
    EXPECT_EQ(answers.CheckedCount(), 1);
    EXPECT_EQ(notified, 3);

    // Several answers: free marks.
    question.SetQuestionType(kMultipleAnswers);
    a->SetChecked(true);
    c->SetChecked(true);
    b->SetChecked(false);
    EXPECT_EQ(answers.CheckedIndexes(), (std::vector<int>{0, 2}));
    EXPECT_EQ(answers.CheckedCount(), 2);

    // Switching to one answer keeps the first mark only.
    question.SetQuestionType(kSingleAnswer);
    EXPECT_EQ(answers.CheckedIndexes(), (std::vector<int>{0}));
    EXPECT_EQ(answers.CheckedCount(), 1);

    // A sequence has no marks: setting one is refused, clearing clears all.
    question.SetQuestionType(kSequence);
    EXPECT_EQ(answers.CountChecked(), 0);
    const int before = notified;
    try {
        a->SetChecked(true);
        FAIL() << "a sequence took a mark";
    } catch (const KvalorError& e) {
        EXPECT_EQ(e.message(), QString::fromUtf8("Невозможно изменить значение Checked"));
    }
    EXPECT_EQ(notified, before);
    EXPECT_FALSE(a->Checked());

    // An unmarked question switched to one answer marks its first answer.
    question.SetQuestionType(kSingleAnswer);
    EXPECT_EQ(answers.CheckedIndexes(), (std::vector<int>{0}));
    const int afterSwitch = notified;
    question.SetQuestionType(kSingleAnswer);  // same type: nothing happens
    EXPECT_EQ(notified, afterSwitch);
}

TEST(Answers, StoreKeyAndValidity) {
    TQuestion question;
    question.SetName("  ");
    auto* c = addAnswer(question, "C");
    auto* a = addAnswer(question, "A");
    auto* b = addAnswer(question, "B");
    question.SetQuestionType(kSequence);
    question.Answers().StoreKey();
    EXPECT_EQ(c->CorrectPosition(), 0);
    EXPECT_EQ(a->CorrectPosition(), 1);
    EXPECT_EQ(b->CorrectPosition(), 2);
    EXPECT_FALSE(question.IsValid());  // blank text
    question.SetName("Order");
    EXPECT_TRUE(question.IsValid());
    EXPECT_THROW(question.Answers().Presentation()->StoreKey(), KvalorError);

    question.SetQuestionType(kMultipleAnswers);
    EXPECT_FALSE(question.IsValid());  // no mark
    b->SetChecked(true);
    question.Answers().StoreKey();
    EXPECT_TRUE(b->Correct());
    EXPECT_FALSE(a->Correct());
    EXPECT_TRUE(question.IsValid());
    a->SetName(" ");
    EXPECT_FALSE(question.IsValid());
}

TEST(Answers, PresentationOrderAndJudgement) {
    TQuestion question;
    auto* a = addAnswer(question, "a");
    auto* b = addAnswer(question, "b");
    auto* c = addAnswer(question, "c");
    question.SetQuestionType(kSequence);
    auto& answers = question.Answers();
    answers.StoreKey();
    answers.SetAllowMix(false);
    answers.PreparePresentation(true);
    auto* shown = answers.Presentation();
    ASSERT_EQ(shown->Count(), 3);
    EXPECT_EQ(shown->AnswerAt(0), a);
    EXPECT_EQ(shown->AnswerAt(2), c);
    EXPECT_EQ(c->GetNumber(), 2);
    EXPECT_EQ(b->Parent(), shown);
    EXPECT_EQ(b->Question(), &question);
    EXPECT_TRUE(question.IsAnsweredRight());

    // The applicant reorders the presentation list.
    EXPECT_FALSE(shown->CanMoveUp(*a));
    EXPECT_TRUE(shown->CanMoveDown(*a));
    shown->MoveDown(*a);
    EXPECT_EQ(a->GetNumber(), 1);
    EXPECT_EQ(b->GetNumber(), 0);
    EXPECT_FALSE(question.IsAnsweredRight());
    TAnswer stranger;
    EXPECT_THROW(shown->CanMoveUp(stranger), KvalorError);
    EXPECT_THROW(shown->PreparePresentation(false), KvalorError);

    // With mixing allowed the presentation is a permutation, and the marks start clear.
    std::mt19937 fixed(7);
    setRandomGenerator(&fixed);
    question.SetQuestionType(kMultipleAnswers);
    a->SetChecked(true);
    answers.SetAllowMix(true);
    answers.PreparePresentation(true);
    setRandomGenerator(nullptr);
    EXPECT_EQ(shown->Count(), 3);
    for (auto* answer : {a, b, c}) {
        EXPECT_EQ(shown->AnswerAt(answer->GetNumber()), answer);
    }
    EXPECT_EQ(answers.CountChecked(), 0);
    EXPECT_EQ(shown->CheckedCount(), 0);
}

TEST(Answers, ChoiceJudgementAndRemoval) {
    TQuestion question;
    question.SetQuestionType(kMultipleAnswers);
    auto* a = addAnswer(question, "a");
    auto* b = addAnswer(question, "b");
    a->SetChecked(true);
    question.Answers().StoreKey();
    question.Answers().PreparePresentation(false);
    EXPECT_FALSE(question.IsAnsweredRight());  // marks cleared, key says a
    question.Answers().Presentation()->SetChecked(*a, true);
    EXPECT_TRUE(question.IsAnsweredRight());
    b->SetChecked(true);
    EXPECT_FALSE(question.IsAnsweredRight());

    // A removed answer leaves the presentation too and no longer points at the list.
    auto removed = question.Answers().Extract(*a);
    ASSERT_EQ(removed.get(), a);
    EXPECT_EQ(question.Answers().Presentation()->Count(), 1);
    EXPECT_EQ(a->Parent(), nullptr);
    EXPECT_EQ(b->GetNumber(), 0);

    TAnswers& answers = question.Answers();
    EXPECT_THROW(answers.AddItem(std::make_unique<TExaminerElement>(kAnswerKind)), KvalorError);
    EXPECT_THROW(TAnswers(nullptr), KvalorError);
}

TEST(Question, AssignCopiesTypeAndAnswersWithNewIds) {
    TQuestion source;
    source.SetName("src");
    source.SetQuestionType(kMultipleAnswers);
    auto* first = addAnswer(source, "x");
    addAnswer(source, "y");
    first->SetChecked(true);
    first->SetCorrect(true);
    source.Answers().SetAllowMix(false);

    TQuestion copy;
    addAnswer(copy, "old");
    copy.Assign(source);
    EXPECT_EQ(copy.GetName(), "src");
    EXPECT_EQ(copy.QuestionType(), kMultipleAnswers);
    ASSERT_EQ(copy.Answers().Count(), 2);
    const auto* copied = copy.Answers().AnswerAt(0);
    EXPECT_EQ(copied->GetName(), "x");
    EXPECT_NE(copied->Id(), first->Id());
    EXPECT_TRUE(copied->Correct());
    EXPECT_EQ(copy.Answers().CheckedCount(), 1);
    EXPECT_EQ(copied->Question(), &copy);
    EXPECT_TRUE(copy.Answers().AllowMix());
}
