#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "model/ExaminerCollection.h"
#include "model/ExaminerElement.h"
#include "model/ExaminerItem.h"
#include "util/ByteStream.h"
#include "util/Guid.h"

namespace kvalor {

class TQuestion;

// Every test, group of questions and root of tests, with the examination settings of a test.
// Its entries are questions and nested groups; which elements it accepts depends on the group
// kind (root: none; complex test: kind 4 only; simple test and group: questions and kind 4).
//
// The question window pages through a view: TQuestions(kGroupKindSimpleTest, Guid(),
// Ownership::View) filled with AddReference, which leaves the questions' Parent alone.
class TQuestions : public TExaminerCollection {
public:
    // The collection record, then LevelCount, Duration, PassPercent, GradingMethod and
    // GroupKind; thresholds and the mixing flags come on top.
    static constexpr std::size_t kMinRecordBytes =
        TExaminerCollection::kMinRecordBytes + 1 + 4 + 8 + 1 + 1;

    explicit TQuestions(std::uint8_t groupKind, std::optional<Guid> id = std::nullopt,
                        Ownership ownership = Ownership::Owning);

    std::string_view ClassName() const override { return "TQuestions"; }

    // kGroupKindRoot, kGroupKindComplexTest, kGroupKindSimpleTest or kGroupKindSubgroup.
    std::uint8_t GroupKind() const { return groupKind_; }

    std::uint8_t LevelCount() const { return levelCount_; }
    // Resizes the thresholds: existing values stay, new ones are 0.
    void SetLevelCount(std::uint8_t count);
    // Minutes allowed for the test.
    std::int32_t Duration() const { return duration_; }
    void SetDuration(std::int32_t minutes) { duration_ = minutes; }
    double PassPercent() const { return passPercent_; }
    void SetPassPercent(double percent) { passPercent_ = percent; }
    // 0 pass/fail against PassPercent, 1 grades by LevelThresholds.
    std::uint8_t GradingMethod() const { return gradingMethod_; }
    void SetGradingMethod(std::uint8_t method) { gradingMethod_ = method; }
    // One percentage per grade level, lowest grade first; LevelCount entries.
    const std::vector<double>& LevelThresholds() const { return levelThresholds_; }
    // Raises "Выполнение невозможно" for an index outside the levels.
    void SetLevelThreshold(int level, double percent);
    bool MixQuestions() const { return mixQuestions_; }
    void SetMixQuestions(bool mix) { mixQuestions_ = mix; }
    bool MixGroups() const { return mixGroups_; }
    void SetMixGroups(bool mix) { mixGroups_ = mix; }
    bool MixAnswers() const { return mixAnswers_; }
    void SetMixAnswers(bool mix) { mixAnswers_ = mix; }
    bool BreakGroups() const { return breakGroups_; }
    void SetBreakGroups(bool breakGroups) { breakGroups_ = breakGroups; }

    // The base copy plus all settings when the source is a group of questions.
    void Assign(const TExaminerCollection& source) override;
    // Deep copy of the entries of a group of the same group kind (else "Несовместимые типы
    // объектов"): nested groups and questions, all with new ids, appended to this group.
    void CopyContent(const TQuestions& source);
    // Reads the record, then renews the ids of the group and of everything in it (RenewIds).
    void LoadAsCopy(ByteStream& stream, const ReadContext& context);

    // Simple test: the questions of the whole test 1, 2, 3 ... in depth-first order and the
    // groups 1, 2, 3 ... per level; a simple test nested in it numbers its own questions.
    // Root: every simple test below it, once each. Group: its simple test. Complex test:
    // nothing. Each item is visited once, so numbering a whole root is linear in its items.
    void Renumber() override;

    void SaveToStream(ByteStream& stream) const override;
    void LoadFromStream(ByteStream& stream, const ReadContext& context) override;

protected:
    bool Accepts(const TExaminerElement& element) const override;

private:
    std::uint8_t levelCount_ = 5;
    std::int32_t duration_ = 0;
    double passPercent_ = 0.0;
    std::uint8_t gradingMethod_ = 0;
    std::vector<double> levelThresholds_ = std::vector<double>(5, 0.0);
    std::uint8_t groupKind_;
    bool mixQuestions_ = true;
    bool mixGroups_ = true;
    bool mixAnswers_ = true;
    bool breakGroups_ = false;
};

// A test or question group read from stored data, its settings included.
inline constexpr EntryCost kQuestionsEntryCost{TQuestions::kMinRecordBytes,
                                               OwnedObjectBytes(sizeof(TQuestions))};

// What QuestionCount needs of the complex-test tasks: the sum of the question counts of the
// tasks of one complex test. The task list implements it.
class ITaskCounts {
public:
    virtual ~ITaskCounts() = default;
    virtual int ComplexTestQuestionCount(const TQuestions& complexTest) const = 0;
};

// A complex test counts the questions its tasks take; any other group the questions of its
// whole subtree.
int QuestionCount(const TQuestions& test, const ITaskCounts& tasks);

// The first question after the entry among the direct entries of the collection (from the
// start when the entry is not held), or nullptr. Groups are skipped.
TQuestion* NextQuestion(const TExaminerCollection& collection, const IExaminerItem* entry);
// The nearest question before the entry among the direct entries, or nullptr.
TQuestion* PrevQuestion(const TExaminerCollection& collection, const IExaminerItem* entry);

}  // namespace kvalor
