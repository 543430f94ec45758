#include <gtest/gtest.h>

#include <memory>

#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "util/ByteStream.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

// A root with one simple test (a question directly in it and one in a nested group), one
// complex test drawing from the group, and two accounts besides the built-in ones.
struct Fixture {
    TKvalor root;
    TQuestions* simple = nullptr;
    TQuestions* group = nullptr;
    TQuestions* complex = nullptr;
    TQuestion* direct = nullptr;
    TQuestion* nested = nullptr;
    TCompetitor* ann = nullptr;
    TCompetitor* boris = nullptr;

    Fixture() {
        auto test = std::make_unique<TQuestions>(kGroupKindSimpleTest);
        auto q1 = std::make_unique<TQuestion>();
        direct = q1.get();
        test->AddItem(std::move(q1));
        auto sub = std::make_unique<TQuestions>(kGroupKindSubgroup);
        auto q2 = std::make_unique<TQuestion>();
        nested = q2.get();
        sub->AddItem(std::move(q2));
        group = sub.get();
        test->AddCollection(std::move(sub));
        simple = test.get();
        root.SimpleTests().AddCollection(std::move(test));

        auto ct = std::make_unique<TQuestions>(kGroupKindComplexTest);
        complex = ct.get();
        root.ComplexTests().AddCollection(std::move(ct));

        root.Users().EnsureBuiltins();
        ann = addAccount("Ann");
        boris = addAccount("Boris");
    }

    TCompetitor* addAccount(const std::string& name) {
        auto account = std::make_unique<TCompetitor>();
        account->SetName(name);
        TCompetitor* raw = account.get();
        root.Users().AddCompetitor(std::move(account), true);
        return raw;
    }

    // A study as a load leaves it: ids only, no references.
    TStudy& addStoredStudy(const Guid& user, const Guid& test, const std::vector<Guid>& questions,
                           double date) {
        auto study = std::make_unique<TStudy>();
        study->SetDate(date);
        study->SetUserId(user);
        study->SetTestId(test);
        for (const Guid& id : questions) {
            const int at = study->Questions().AddEmpty();
            study->Questions().Items(at).QuestionId = id;
        }
        TStudy& ref = *study;
        root.Studies().Append(std::move(study));
        return ref;
    }

    TStudy* studyDated(double date) const {
        for (int i = 0; i < root.Studies().Count(); ++i) {
            if (root.Studies().StudyAt(i).Date() == date) {
                return &root.Studies().StudyAt(i);
            }
        }
        return nullptr;
    }
};

}  // namespace

TEST(Kvalor, LinkStudiesResolvesEveryReferenceAndDropsOrphans) {
    Fixture f;
    f.addStoredStudy(f.ann->Id(), f.simple->Id(), {f.direct->Id(), f.nested->Id()}, 1.0);
    f.addStoredStudy(f.boris->Id(), f.group->Id(), {f.nested->Id()}, 2.0);
    f.addStoredStudy(f.ann->Id(), f.complex->Id(), {f.nested->Id(), Guid::create()}, 3.0);
    f.addStoredStudy(Guid::create(), f.simple->Id(), {}, 4.0);  // account gone
    f.addStoredStudy(f.boris->Id(), Guid::create(), {}, 5.0);   // test gone
    // Many records of one question: a run longer than the number of runs.
    std::vector<Guid> many(12, f.direct->Id());
    f.addStoredStudy(ApplicantAccountId(), f.simple->Id(), many, 6.0);

    ByteStream tasks;
    tasks.writeI32(1);
    tasks.writeGuid(f.complex->Id());
    tasks.writeGuid(f.group->Id());
    tasks.writeI32(1);
    tasks.seek(0);
    f.root.Tasks().LoadFromStream(tasks);

    f.root.LinkStudies();

    ASSERT_EQ(f.root.Studies().Count(), 4);
    EXPECT_EQ(f.studyDated(4.0), nullptr);
    EXPECT_EQ(f.studyDated(5.0), nullptr);

    TStudy& ofSimple = *f.studyDated(1.0);
    EXPECT_EQ(ofSimple.User(), f.ann);
    EXPECT_EQ(ofSimple.Test(), f.simple);
    EXPECT_EQ(ofSimple.Questions().Items(0).Question, f.direct);
    EXPECT_EQ(ofSimple.Questions().Items(1).Question, f.nested);

    EXPECT_EQ(f.studyDated(2.0)->Test(), f.group);  // a nested group is a test of its own
    TStudy& ofComplex = *f.studyDated(3.0);
    EXPECT_EQ(ofComplex.Test(), f.complex);
    EXPECT_EQ(ofComplex.Questions().Items(0).Question, f.nested);
    EXPECT_EQ(ofComplex.Questions().Items(1).Question, nullptr);  // question deleted since

    TStudy& manyRecords = *f.studyDated(6.0);
    EXPECT_EQ(manyRecords.User(), f.root.Users().Applicant());
    for (int i = 0; i < manyRecords.Questions().Count(); ++i) {
        EXPECT_EQ(manyRecords.Questions().Items(i).Question, f.direct) << i;
    }

    ASSERT_EQ(f.root.Tasks().Count(), 1);
    EXPECT_EQ(f.root.Tasks().Task(0).ComplexTest, f.complex);
    EXPECT_EQ(f.root.Tasks().Task(0).Source, f.group);
}

TEST(Kvalor, SynchronizeStudiesLinksWithoutDroppingAndCanRunAgain) {
    Fixture f;
    TStudy& known = f.addStoredStudy(f.ann->Id(), f.simple->Id(), {f.direct->Id()}, 1.0);
    TStudy& foreign = f.addStoredStudy(Guid::create(), Guid::create(), {Guid::create()}, 2.0);

    f.root.SynchronizeStudies(f.root.Studies());
    EXPECT_EQ(f.root.Studies().Count(), 2);
    EXPECT_EQ(known.User(), f.ann);
    EXPECT_EQ(known.Questions().Items(0).Question, f.direct);
    EXPECT_EQ(foreign.User(), nullptr);
    EXPECT_EQ(foreign.Test(), nullptr);
    EXPECT_EQ(f.root.State() & TKvalor::Synchronizing, 0);

    // A second import links again; a reference to an object that is gone is removed.
    known.SetUser(f.boris);
    f.root.SynchronizeStudies(f.root.Studies());
    EXPECT_EQ(known.User(), f.ann);
}

// An element of a test that, the first time a walk over the tests asks its class, starts a
// second synchronisation and then fails the first one.
class InterruptingElement : public TExaminerElement {
public:
    explicit InterruptingElement(TKvalor& root) : TExaminerElement(kQuestionKind), root_(root) {}
    std::string_view ClassName() const override {
        if (armed_) {
            armed_ = false;
            try {
                root_.SynchronizeStudies(root_.Studies());
            } catch (const KvalorError& error) {
                refusal = error.message();
            }
            throw KvalorError("Сбой");
        }
        return "TExaminerElement";
    }
    mutable QString refusal;

private:
    TKvalor& root_;
    mutable bool armed_ = true;
};

TEST(Kvalor, SynchronisingRefusesASecondRunAndEndsWithAFailure) {
    Fixture f;
    TStudy& known = f.addStoredStudy(f.ann->Id(), f.simple->Id(), {f.direct->Id()}, 1.0);
    auto element = std::make_unique<InterruptingElement>(f.root);
    InterruptingElement& interrupting = *element;
    f.simple->AddItem(std::move(element));

    try {
        f.root.SynchronizeStudies(f.root.Studies());
        ADD_FAILURE() << "the failure inside did not come out";
    } catch (const KvalorError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Сбой"));
    }
    EXPECT_EQ(interrupting.refusal, QStringLiteral("Синхронизация.\nВыполнение невозможно"));
    // The failed run no longer holds the mark: the next import links as usual.
    EXPECT_EQ(f.root.State() & TKvalor::Synchronizing, 0);
    f.root.SynchronizeStudies(f.root.Studies());
    EXPECT_EQ(known.User(), f.ann);
}

TEST(Kvalor, ClearEmptiesTheDataButKeepsTheOptions) {
    Fixture f;
    f.addStoredStudy(f.ann->Id(), f.simple->Id(), {}, 1.0);
    f.root.SetCurrentUser(f.ann);
    f.root.SetFontSize(14);
    f.root.SetAutoSplitName(false);
    f.root.SetOption1(1);
    f.root.SetOption2(1);

    f.root.Clear();

    EXPECT_EQ(f.root.CurrentUser(), nullptr);
    EXPECT_EQ(f.root.SimpleTests().Count(), 0);
    EXPECT_EQ(f.root.ComplexTests().Count(), 0);
    EXPECT_EQ(f.root.Users().Count(), 0);
    EXPECT_EQ(f.root.Tasks().Count(), 0);
    EXPECT_EQ(f.root.Studies().Count(), 0);
    EXPECT_EQ(f.root.FontSize(), 14);
    EXPECT_FALSE(f.root.AutoSplitName());
    EXPECT_EQ(f.root.Option1(), 1);
    EXPECT_EQ(f.root.Option2(), 1);
}
