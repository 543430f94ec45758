#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "RecordBytes.h"
#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/Questions.h"
#include "model/StudyList.h"
#include "model/TypeIds.h"
#include "util/ByteStream.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

const Guid kUserA = Guid::fromLiteral("{0000000A-0000-4000-8000-000000000000}");
const Guid kUserB = Guid::fromLiteral("{0000000B-0000-4000-8000-000000000000}");
const Guid kTestA = Guid::fromLiteral("{A0000000-0000-4000-8000-000000000000}");
const Guid kTestB = Guid::fromLiteral("{B0000000-0000-4000-8000-000000000000}");
const Guid kQuestion = Guid::fromLiteral("{C0000000-0000-4000-8000-000000000000}");
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Key {
    double date;
    std::uint8_t mode;
    Guid user;
    Guid test;
};

// A study record with the key, CorrectCount as a marker and one unanswered question.
void addStudyRecord(RecordBytes& bytes, const Key& key, std::int32_t marker) {
    bytes.f64(key.date).u8(key.mode).id(key.user).id(key.test);
    bytes.i32(1).id(kQuestion).i32(0).u8(0).i32(2).i32(1).i32(0);
    bytes.f64(50.0).f64(25.0).i32(marker).i32(1).u8(0).u8(kStudyFinished);
}

std::string listStream(const std::vector<std::pair<Key, std::int32_t>>& studies) {
    RecordBytes bytes;
    bytes.u8(3).i32(static_cast<std::int32_t>(studies.size()));
    for (const auto& [key, marker] : studies) {
        addStudyRecord(bytes, key, marker);
    }
    return bytes.data();
}

std::unique_ptr<TStudy> makeStudy(const Key& key, std::int32_t questions = 0) {
    auto study = std::make_unique<TStudy>();
    study->SetDate(key.date);
    study->SetMode(key.mode);
    study->SetUserId(key.user);
    study->SetTestId(key.test);
    for (int i = 0; i < questions; ++i) {
        study->Questions().AddEmpty();
    }
    return study;
}

void merge(TStudyList& list, const std::string& bytes) {
    ByteStream in(bytes);
    list.LoadFromStream(in);
    EXPECT_TRUE(in.atEnd());
}

}  // namespace

TEST(StudyList, StreamLayoutAndRoundTrip) {
    const std::string bytes =
        listStream({{{45000.5, 1, kUserA, kTestA}, 7}, {{45001.0, 0, kUserB, kTestB}, 8}});
    TStudyList list;
    merge(list, bytes);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.StudyAt(0).Date(), 45000.5);
    EXPECT_EQ(list.StudyAt(0).CorrectCount(), 7);
    EXPECT_EQ(list.StudyAt(1).TestId(), kTestB);
    EXPECT_EQ(list.StudyAt(1).Questions().Items(0).Order, (std::vector<std::int32_t>{1, 0}));
    ByteStream out;
    list.SaveToStream(out);
    EXPECT_EQ(out.data(), bytes);

    TStudyList empty;
    ByteStream none;
    empty.SaveToStream(none);
    EXPECT_EQ(none.data(), RecordBytes().u8(3).i32(0).data());
}

TEST(StudyList, MergeOverwritesTheRunWithTheSameKey) {
    TStudyList list;
    TQuestions test(kGroupKindSimpleTest);
    list.Append(makeStudy({45000.5, 1, kUserA, kTestA}, 3));
    list.Append(makeStudy({45000.5, 1, kUserB, kTestA}, 3));
    list.StudyAt(1).SetTest(&test);
    const double later = std::nextafter(45000.5, 46000.0);

    merge(list, listStream({{{45000.5, 1, kUserB, kTestA}, 11},
                            {{later, 1, kUserA, kTestA}, 12},
                            {{45000.5, 0, kUserA, kTestA}, 13},
                            {{45000.5, 1, kUserA, kTestB}, 14}}));
    ASSERT_EQ(list.Count(), 5);
    const TStudy& overwritten = list.StudyAt(1);
    EXPECT_EQ(overwritten.UserId(), kUserB);
    EXPECT_EQ(overwritten.CorrectCount(), 11);
    EXPECT_EQ(overwritten.Percent(), 25.0);
    EXPECT_EQ(overwritten.State(), kStudyFinished);
    EXPECT_EQ(overwritten.Questions().Count(), 1);
    EXPECT_EQ(overwritten.Test(), nullptr);  // until linked again
    EXPECT_EQ(list.StudyAt(0).CorrectCount(), 0);
    EXPECT_EQ(list.StudyAt(2).Date(), later);  // one bit later: another run
    EXPECT_EQ(list.StudyAt(3).CorrectCount(), 13);
    EXPECT_EQ(list.StudyAt(4).CorrectCount(), 14);
}

TEST(StudyList, MergeComparesDatesAsNumbers) {
    TStudyList list;
    list.Append(makeStudy({0.0, 1, kUserA, kTestA}));
    list.Append(makeStudy({kNaN, 1, kUserA, kTestA}));
    merge(list, listStream({{{-0.0, 1, kUserA, kTestA}, 1}, {{1.0, 1, kUserA, kTestA}, 2}}));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.StudyAt(0).CorrectCount(), 1);
    EXPECT_TRUE(std::signbit(list.StudyAt(0).Date()));  // every field taken over
    EXPECT_EQ(list.StudyAt(1).CorrectCount(), 0);
    EXPECT_EQ(list.StudyAt(2).CorrectCount(), 2);
}

TEST(StudyList, RepeatedKeyWithinOneStreamOverwritesTheStudyItAppended) {
    TStudyList list;
    list.Append(makeStudy({1.0, 1, kUserA, kTestA}));
    merge(list, listStream({{{2.0, 1, kUserA, kTestA}, 1},
                            {{3.0, 1, kUserA, kTestA}, 2},
                            {{2.0, 1, kUserA, kTestA}, 3}}));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.StudyAt(1).CorrectCount(), 3);
    EXPECT_EQ(list.StudyAt(2).CorrectCount(), 2);
}

TEST(StudyList, NullUserIsTheApplicant) {
    TStudyList list;
    list.Append(makeStudy({5.0, 1, ApplicantAccountId(), kTestA}));
    merge(list, listStream({{{5.0, 1, Guid(), kTestA}, 4}, {{6.0, 1, Guid(), kTestA}, 5}}));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.StudyAt(0).CorrectCount(), 4);
    EXPECT_EQ(list.StudyAt(1).UserId(), ApplicantAccountId());
}

TEST(StudyList, MergeEqualsAScanOnRandomData) {
    std::mt19937 random(20240501);
    const std::vector<double> dates = {0.0, -0.0, 1.0, std::nextafter(1.0, 2.0)};
    const std::vector<Guid> users = {kUserA, kUserB, Guid(), ApplicantAccountId()};
    const auto pick = [&](const auto& pool) { return pool[random() % pool.size()]; };
    const auto randomKey = [&] {
        return Key{pick(dates), static_cast<std::uint8_t>(random() % 2), pick(users),
                   random() % 2 ? kTestA : kTestB};
    };
    for (int round = 0; round < 20; ++round) {
        TStudyList list;
        std::vector<std::pair<Key, std::int32_t>> expected;
        for (int i = 0; i < 30; ++i) {
            auto key = randomKey();
            if (key.user.isNull()) {
                key.user = ApplicantAccountId();  // what a read would have made of it
            }
            list.Append(makeStudy(key));
            expected.push_back({key, 0});
        }
        std::vector<std::pair<Key, std::int32_t>> incoming;
        for (int i = 0; i < 40; ++i) {
            incoming.push_back({randomKey(), i + 1});
        }
        merge(list, listStream(incoming));

        for (auto [key, marker] : incoming) {
            if (key.user.isNull()) {
                key.user = ApplicantAccountId();
            }
            auto found = std::ranges::find_if(expected, [&](const auto& entry) {
                const Key& k = entry.first;
                return k.date == key.date && k.mode == key.mode && k.user == key.user &&
                       k.test == key.test;
            });
            if (found != expected.end()) {
                *found = {key, marker};
            } else {
                expected.push_back({key, marker});
            }
        }
        ASSERT_EQ(list.Count(), static_cast<int>(expected.size()));
        for (int i = 0; i < list.Count(); ++i) {
            const TStudy& study = list.StudyAt(i);
            const auto& [key, marker] = expected[static_cast<std::size_t>(i)];
            EXPECT_EQ(study.CorrectCount(), marker) << round << " " << i;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(study.Date()),
                      std::bit_cast<std::uint64_t>(key.date));
            EXPECT_EQ(study.UserId(), key.user);
        }
    }
}

TEST(StudyList, DamagedStreamFailsWithoutCrashingAndKeepsWhatWasMerged) {
    const std::string bytes = listStream({{{1.0, 1, kUserA, kTestA}, 1},
                                          {{2.0, 1, kUserA, kTestA}, 2},
                                          {{3.0, 1, kUserA, kTestA}, 3}});
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        TStudyList list;
        ByteStream in(bytes.substr(0, size));
        EXPECT_THROW(list.LoadFromStream(in), ReadError) << size;
        EXPECT_LE(list.Count(), 2);
    }
    // A damaged question count in the second study: the first one is merged and stays.
    const std::size_t recordSize = (bytes.size() - 5) / 3;
    std::string damaged = bytes;
    damaged.replace(5 + recordSize + 41, 4, RecordBytes().i32(1000).data());
    TStudyList partial;
    ByteStream in(damaged);
    EXPECT_THROW(partial.LoadFromStream(in), ReadError);
    ASSERT_EQ(partial.Count(), 1);
    EXPECT_EQ(partial.StudyAt(0).CorrectCount(), 1);

    std::string huge = bytes;
    huge.replace(1, 4, RecordBytes().i32(2147483647).data());
    TStudyList list;
    ByteStream count(huge);
    EXPECT_THROW(list.LoadFromStream(count), ReadError);
    EXPECT_EQ(list.Count(), 0);
    huge = bytes;
    huge.replace(1, 4, RecordBytes().i32(-1).data());
    ByteStream negative(huge);
    EXPECT_THROW(list.LoadFromStream(negative), ReadError);
    EXPECT_EQ(list.Count(), 0);
}

TEST(StudyList, GroupingSortsStablyByIdText) {
    TStudyList list;
    EXPECT_TRUE(list.GroupByUser().empty());
    list.Append(makeStudy({1.0, 1, kUserB, kTestA}));
    EXPECT_EQ(list.GroupByUser(), std::vector<int>{0});

    // The first word is stored little-endian: in byte order this id would come first, in
    // text order it comes last.
    const Guid late = Guid::fromLiteral("{00000100-0000-4000-8000-0000000000FF}");
    list.Append(makeStudy({2.0, 1, kUserA, kTestB}));
    list.Append(makeStudy({3.0, 1, kUserB, kTestA}));
    list.Append(makeStudy({4.0, 1, late, kTestB}));
    list.Append(makeStudy({5.0, 1, kUserA, kTestA}));
    EXPECT_EQ(list.GroupByUser(), (std::vector<int>{0, 2, 4}));
    std::vector<double> dates;
    for (int i = 0; i < list.Count(); ++i) {
        dates.push_back(list.StudyAt(i).Date());
    }
    EXPECT_EQ(dates, (std::vector<double>{2.0, 5.0, 1.0, 3.0, 4.0}));

    EXPECT_EQ(list.GroupByTest(), (std::vector<int>{0, 3}));
    EXPECT_EQ(list.StudyAt(0).Date(), 5.0);
    EXPECT_EQ(list.StudyAt(1).Date(), 1.0);
    EXPECT_EQ(list.StudyAt(3).Date(), 2.0);
}

TEST(StudyList, NewStudyAndDeletionByReference) {
    TCompetitor user;
    user.NewId();
    TCompetitor other;
    other.NewId();
    TQuestions test(kGroupKindSimpleTest);
    TQuestions otherTest(kGroupKindComplexTest);

    auto study = TStudyList::NewStudy(kModeTesting, user, test, 45100.75);
    EXPECT_EQ(study->Date(), 45100.75);
    EXPECT_EQ(study->Mode(), kModeTesting);
    EXPECT_EQ(study->UserId(), user.Id());
    EXPECT_EQ(study->User(), &user);
    EXPECT_EQ(study->TestId(), test.Id());
    EXPECT_EQ(study->Test(), &test);
    EXPECT_EQ(study->State(), kStudyInProgress);
    EXPECT_EQ(study->Questions().Count(), 0);

    TStudyList list;
    list.Append(std::move(study));
    list.Append(TStudyList::NewStudy(kModeTesting, other, test, 1.0));
    list.Append(TStudyList::NewStudy(kModeTesting, other, otherTest, 2.0));
    list.Append(TStudyList::NewStudy(kModePreparation, user, otherTest, 3.0));
    list.Append(makeStudy({4.0, 1, kUserA, kTestA}));  // unlinked

    const auto ofTest = list.StudiesOfTest(test);
    ASSERT_EQ(ofTest.size(), 2u);
    EXPECT_EQ(ofTest[1], &list.StudyAt(1));

    list.DeleteStudiesOf(nullptr, nullptr);
    EXPECT_EQ(list.Count(), 5);
    list.DeleteStudiesOf(&user, nullptr);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.StudyAt(0).Date(), 1.0);
    list.DeleteStudiesOf(&other, &otherTest);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.StudyAt(0).Date(), 4.0);

    auto removed = list.Remove(list.StudyAt(0));
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Remove(*removed), nullptr);
}

// Windows that show a study hold a plain pointer to it: every way of freeing studies must tell
// them first, while the study can still be read.
TEST(StudyListTest, RemovalObserversHearOfEveryFreedStudy) {
    TStudyList list;
    for (double date : {1.0, 2.0, 3.0, 4.0, 5.0}) {
        list.Append(makeStudy({date, 1, kUserA, kTestA}));
    }
    std::vector<double> told;
    auto watch = std::make_unique<StudyRemovalWatch>(
        list, [&told](const TStudy& study) { told.push_back(study.Date()); });

    list.Delete(1);
    list.Delete(99);
    list.DeleteWhere([](const TStudy& study) { return study.Date() > 3.5; });
    auto kept = list.Remove(list.StudyAt(0));  // handed back, not freed: nobody is told
    EXPECT_EQ(told, (std::vector<double>{2.0, 4.0, 5.0}));

    list.Clear();
    EXPECT_EQ(told, (std::vector<double>{2.0, 4.0, 5.0, 3.0}));

    watch.reset();
    list.Append(std::move(kept));
    list.Clear();
    EXPECT_EQ(told.size(), 4u);
}
