#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "RecordBytes.h"
#include "model/Answers.h"
#include "model/CollectionHelpers.h"
#include "model/ExaminerCollection.h"
#include "model/Question.h"
#include "model/QuestionBuilders.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Error.h"

using namespace kvalor;
using testdata::addGroup;
using testdata::addQuestion;

namespace {

const Guid kId = Guid::fromLiteral("{01020304-0506-0708-090A-0B0C0D0E0F10}");

}  // namespace

TEST(ExaminerCollection, EmptyRecordIs46BytesAndReadsBack) {
    TExaminerCollection empty(3, kId);
    ByteStream out;
    empty.SaveToStream(out);
    const auto expected = RecordBytes().collection(Guid(), kId, 0, 3, 0, "", 0).data();
    ASSERT_EQ(expected.size(), 46u);
    EXPECT_EQ(out.data(), expected);

    TExaminerCollection read(0, Guid());
    ByteStream in(RecordBytes().collection(Guid(), kId, 7, 3, 12, "\xC8\xFF", 0).data());
    read.LoadFromStream(in, ReadContext{});
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(read.Id(), kId);
    EXPECT_EQ(read.GetEditable(), 7);  // a collection's Flag
    EXPECT_EQ(read.GetKind(), 3);
    EXPECT_EQ(read.GetNumber(), 12);
    EXPECT_EQ(read.GetName(), "\xC8\xFF");
}

TEST(ExaminerCollection, AddAndInsertKeepOneEntryPerElement) {
    TExaminerCollection list(3);
    auto first = std::make_unique<TExaminerElement>(0);
    auto* raw = first.get();
    EXPECT_EQ(list.AddItem(std::move(first)), 0);
    EXPECT_EQ(list.AddItem(std::make_unique<TExaminerElement>(0)), 1);
    // Re-adding an entry hands back its index; ownership stays with the list.
    EXPECT_EQ(list.AddItem(std::unique_ptr<TExaminerElement>(raw)), 0);
    EXPECT_EQ(list.InsertItem(1, std::unique_ptr<TExaminerElement>(raw)), 0);
    EXPECT_EQ(list.Count(), 2);

    EXPECT_EQ(list.InsertItem(2, std::make_unique<TExaminerElement>(0)), 2);  // at the count
    EXPECT_EQ(list.InsertItem(99, std::make_unique<TExaminerElement>(0)), 3);
    auto front = std::make_unique<TExaminerElement>(0);
    auto* frontRaw = front.get();
    EXPECT_EQ(list.InsertItem(0, std::move(front)), 0);
    EXPECT_EQ(list.Items(1), raw);
    EXPECT_EQ(frontRaw->Parent(), &list);
    EXPECT_EQ(list.Count(), 5);
}

TEST(ExaminerCollection, RefusedEntriesStayWithTheCaller) {
    TExaminerCollection answersLike(kAnswersKind);
    auto sub = std::make_unique<TExaminerCollection>(3);
    try {
        answersLike.AddCollection(std::move(sub));
        FAIL() << "a kind 2 collection took a sub-collection";
    } catch (const KvalorError& e) {
        EXPECT_EQ(e.message(), QString::fromUtf8("Несовместимые типы объекта и контейнера"));
    }
    EXPECT_NE(sub, nullptr);
    EXPECT_EQ(answersLike.Count(), 0);

    TQuestions root(kGroupKindRoot);
    auto question = std::make_unique<TQuestion>();
    EXPECT_THROW(root.AddItem(std::move(question)), KvalorError);
    EXPECT_NE(question, nullptr);

    // Extract hands an entry back the same way.
    TQuestions test(kGroupKindSimpleTest);
    auto* held = &addQuestion(test);
    auto taken = test.Extract(*held);
    EXPECT_EQ(taken.get(), held);
    EXPECT_EQ(held->Parent(), nullptr);
    EXPECT_EQ(test.Extract(*held), nullptr);
}

TEST(ExaminerCollection, AssignAndKindRules) {
    TExaminerCollection parent(4);
    TExaminerCollection source(3, kId);
    source.SetName("src");
    source.SetNumber(4);
    source.SetFlag(1);
    source.SetParent(&parent);
    TExaminerCollection copy(3);
    copy.Assign(source);
    EXPECT_EQ(copy.GetName(), "src");
    EXPECT_EQ(copy.GetNumber(), 4);
    EXPECT_EQ(copy.Flag(), 1);
    EXPECT_EQ(copy.Parent(), &parent);
    EXPECT_EQ(copy.FindCollection(kId), nullptr);  // the copy has a new id
    TExaminerCollection other(5);
    EXPECT_THROW(other.Assign(source), KvalorError);

    copy.AddItem(std::make_unique<TExaminerElement>(0));
    copy.SetKind(3);  // the same kind is always accepted
    EXPECT_THROW(copy.SetKind(4), KvalorError);
    other.SetKind(4);  // an empty collection takes any kind
    EXPECT_EQ(other.GetKind(), 4);
    TExaminerElement element(0);
    element.SetEditable(false);
    EXPECT_THROW(element.SetName("x"), KvalorError);
}

TEST(ExaminerCollection, RenumberCountsElementsAcrossGroupsAndGroupsPerLevel) {
    TQuestions test(kGroupKindSimpleTest);
    auto* a = &addGroup(test);
    auto* a1 = &addQuestion(*a);
    auto* inner = &addGroup(*a);
    auto* inner1 = &addQuestion(*inner);
    auto* b = &addGroup(test);
    auto* b1 = &addQuestion(*b);
    auto* b2 = &addQuestion(*b);
    test.Renumber();
    EXPECT_EQ(a1->GetNumber(), 1);
    EXPECT_EQ(inner1->GetNumber(), 2);
    EXPECT_EQ(b1->GetNumber(), 3);
    EXPECT_EQ(b2->GetNumber(), 4);
    EXPECT_EQ(a->GetNumber(), 1);
    EXPECT_EQ(inner->GetNumber(), 1);
    EXPECT_EQ(b->GetNumber(), 2);

    // A group renumbers its test; a root renumbers every test below it.
    b1->SetNumber(0);
    b->Renumber();
    EXPECT_EQ(b1->GetNumber(), 3);
    TQuestions root(kGroupKindRoot);
    auto* only = &addQuestion(addGroup(root, kGroupKindSimpleTest));
    root.Renumber();
    EXPECT_EQ(only->GetNumber(), 1);
}

TEST(ExaminerCollection, TreeHelpersWalkDepthFirst) {
    TQuestions test(kGroupKindSimpleTest, kId);
    auto* q1 = &addQuestion(test);
    auto* group = &addGroup(test);
    auto* q2 = &addQuestion(*group);
    auto* q3 = &addQuestion(test);
    test.AddItem(std::make_unique<TExaminerElement>(kGroupElementKind));

    EXPECT_EQ(CollectItems(test, "tquestion", true), (std::vector<TExaminerElement*>{q1, q2, q3}));
    EXPECT_EQ(CollectItems(test, "TQuestion", false), (std::vector<TExaminerElement*>{q1, q3}));
    EXPECT_EQ(CollectCollections(test, "TQuestions"),
              (std::vector<TExaminerCollection*>{&test, group}));
    EXPECT_EQ(CountItems(test, true), 4);
    EXPECT_EQ(CountItems(test, false), 3);
    EXPECT_EQ(test.FindItem(q2->Id()), q2);
    EXPECT_EQ(test.FindCollection(kId), &test);

    TQuestions emptyTest(kGroupKindSimpleTest);
    addGroup(emptyTest);
    EXPECT_FALSE(HasItems(emptyTest, true));  // kind 4 counts elements only
    TExaminerCollection plain(3);
    plain.AddCollection(std::make_unique<TExaminerCollection>(3));
    EXPECT_TRUE(HasItems(plain, false));  // below kind 4 any entry counts
}

TEST(ExaminerCollection, AViewNeitherOwnsNorReparents) {
    TQuestions test(kGroupKindSimpleTest);
    auto* q1 = &addQuestion(test);
    auto* q2 = &addQuestion(test);
    {
        TQuestions view(kGroupKindSimpleTest, Guid(), Ownership::View);
        EXPECT_EQ(view.AddReference(*q2), 0);
        EXPECT_EQ(view.AddReference(*q1), 1);
        EXPECT_EQ(view.AddReference(*q2), 0);
        EXPECT_EQ(q1->Parent(), &test);
        EXPECT_EQ(NextQuestion(view, q2), q1);
        EXPECT_THROW(view.AddItem(std::make_unique<TQuestion>()), KvalorError);
        EXPECT_THROW(view.Extract(*q1), KvalorError);
        view.Clear();
    }
    EXPECT_THROW(test.AddReference(*q1), KvalorError);
    EXPECT_EQ(test.Count(), 2);
    EXPECT_EQ(q2->Parent(), &test);
}

TEST(ExaminerCollection, EntriesAreKnownAsHeldWhereverTheirParentPoints) {
    TQuestion question;
    TAnswers& answers = question.Answers();
    std::vector<TAnswer*> raw;
    for (int i = 0; i < 3; ++i) {
        auto answer = answers.NewAnswer();
        answer->SetChecked(i == 1);
        raw.push_back(answer.get());
        answers.AddItem(std::move(answer));
    }
    EXPECT_EQ(answers.CheckedCount(), 1);
    // Shown in the presentation list, an answer has that list as its Parent, yet the primary
    // list still holds it once.
    answers.PreparePresentation(false);
    ASSERT_EQ(raw[2]->Parent(), answers.Presentation());
    EXPECT_EQ(answers.AddItem(std::unique_ptr<TAnswer>(raw[2])), 2);
    EXPECT_EQ(answers.Count(), 3);
    EXPECT_EQ(answers.Presentation()->AddReference(*raw[0]), 0);
    EXPECT_EQ(answers.Presentation()->Count(), 3);

    // Taken out and put back, it is an entry again, at the end, renumbered in the view.
    std::unique_ptr<TExaminerElement> taken = answers.Extract(*raw[0]);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(answers.Presentation()->Count(), 2);
    EXPECT_EQ(answers.AddItem(std::move(taken)), 2);
    EXPECT_EQ(answers.Presentation()->AddReference(*raw[0]), 2);
    EXPECT_EQ(raw[0]->GetNumber(), 2);
    EXPECT_EQ(answers.Count(), 3);
}
