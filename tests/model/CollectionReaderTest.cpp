#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "RecordBytes.h"
#include "model/Answers.h"
#include "model/CollectionHelpers.h"
#include "model/Competitors.h"
#include "model/ExaminerCollection.h"
#include "model/ItemFactories.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

const Guid kIdA = Guid::fromLiteral("{AAAAAAAA-0000-0000-0000-000000000001}");
const Guid kIdB = Guid::fromLiteral("{BBBBBBBB-0000-0000-0000-000000000002}");
const Guid kIdC = Guid::fromLiteral("{CCCCCCCC-0000-0000-0000-000000000003}");

class TestAccount : public TExaminerElement {
public:
    TestAccount() : TExaminerElement(kAccountKind, Guid()) {}
    std::string_view ClassName() const override { return "TCompetitor"; }
};

class TestUsersGroup : public TExaminerCollection {
public:
    TestUsersGroup() : TExaminerCollection(kUsersGroupKind, Guid()) {}
    std::string_view ClassName() const override { return "TCompetitors"; }
};

// Installs the account hooks for one test and restores the defaults afterwards.
struct AccountHooks {
    AccountHooks() {
        setAccountElementFactory([] { return std::make_unique<TestAccount>(); });
        setUsersGroupFactory([] { return std::make_unique<TestUsersGroup>(); });
    }
    ~AccountHooks() {
        setAccountElementFactory({});
        setUsersGroupFactory({});
    }
};

// A question with two answers, as stored with the current version.
void appendQuestion(RecordBytes& bytes, const Guid& id, std::uint8_t kindByte) {
    bytes.element(QuestionTypeId(), id, 1, kindByte, 1, "Q").u8(kSingleAnswer);
    bytes.collection(AnswersTypeId(), kIdC, 0, kAnswersKind, 0, "", 2);
    bytes.u8(kAnswerKind).element(AnswerTypeId(), kIdA, 1, kAnswerKind, 0, "yes").u8(1).i32(0);
    bytes.u8(kAnswerKind).element(AnswerTypeId(), kIdB, 1, kAnswerKind, 1, "no").u8(0).i32(1);
    bytes.u8(1);  // AllowMix
}

void appendSettings(RecordBytes& bytes) {
    bytes.u8(1).i32(10).f64(50.0).u8(0).f64(0.0).u8(kGroupKindSimpleTest).u8(1).u8(1).u8(1).u8(0);
}

// A simple test holding a group with one question and a question of its own.
std::string nestedTest() {
    RecordBytes bytes;
    bytes.collection(QuestionsTypeId(), kIdA, 0, kQuestionsKind, 1, "T", 2);
    bytes.u8(0x84).collection(QuestionsTypeId(), kIdB, 0, kQuestionsKind, 1, "G", 1);
    bytes.u8(kQuestionKind);
    appendQuestion(bytes, kIdC, kQuestionKind);
    appendSettings(bytes);
    bytes.u8(kQuestionKind);
    appendQuestion(bytes, kIdA, kQuestionKind);
    appendSettings(bytes);
    return bytes.data();
}

}  // namespace

TEST(CollectionReader, AccountsAndUsersGroupsComeFromTheHooks) {
    RecordBytes plain;
    plain.collection(Guid(), Guid(), 0, kUsersGroupKind, 0, "", 1);
    plain.u8(kAccountKind).element(Guid(), Guid(), 1, kAccountKind, 0, "user");
    TExaminerCollection before(kUsersGroupKind, Guid());
    ByteStream plainIn(plain.data());
    before.LoadFromStream(plainIn, ReadContext{});
    EXPECT_EQ(before.Items(0)->ClassName(), "TExaminerElement");  // no hook installed yet

    AccountHooks hooks;
    RecordBytes bytes;
    bytes.collection(Guid(), Guid(), 0, kUsersGroupKind, 0, "", 4);
    bytes.u8(kAccountKind).element(Guid(), Guid(), 1, kAccountKind, 0, "user");
    bytes.u8(3).element(Guid(), Guid(), 1, 3, 0, "other");
    bytes.u8(kAccountKind).element(Guid(), kIdA, 1, kAccountKind, 0, "kept");
    bytes.u8(0x85).collection(Guid(), Guid(), 0, kUsersGroupKind, 0, "group", 0);

    TExaminerCollection users(kUsersGroupKind, Guid());
    ByteStream in(bytes.data());
    users.LoadFromStream(in, ReadContext{});
    ASSERT_EQ(users.Count(), 4);
    EXPECT_EQ(users.Items(0)->ClassName(), "TCompetitor");
    EXPECT_FALSE(users.Items(0)->Id().isNull());  // a stored null id is replaced for tag 1
    EXPECT_EQ(users.Items(1)->ClassName(), "TExaminerElement");
    EXPECT_TRUE(users.Items(1)->Id().isNull());  // any other tag keeps it
    EXPECT_EQ(users.Items(2)->Id(), kIdA);
    EXPECT_EQ(users.Items(3)->ClassName(), "TCompetitors");
    EXPECT_EQ(users.Items(3)->Parent(), &users);
}

TEST(CollectionReader, TheTypeIdDecidesWhateverTagAndKindClaim) {
    RecordBytes bytes;
    bytes.collection(QuestionsTypeId(), kIdA, 0, kQuestionsKind, 0, "T", 2);
    bytes.u8(kGroupElementKind);  // tag of another element kind
    appendQuestion(bytes, kIdB, 9);
    bytes.u8(0x83).collection(QuestionsTypeId(), kIdC, 0, 3, 0, "G", 0);
    appendSettings(bytes);
    appendSettings(bytes);

    TQuestions test(kGroupKindSimpleTest, Guid());
    ByteStream in(bytes.data());
    test.LoadFromStream(in, ReadContext{});
    EXPECT_TRUE(in.atEnd());
    ASSERT_EQ(test.Count(), 2);
    auto* question = dynamic_cast<TQuestion*>(test.Items(0));
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->GetKind(), kQuestionKind);
    EXPECT_EQ(question->Answers().Count(), 2);
    auto* group = dynamic_cast<TQuestions*>(test.Items(1));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->GetKind(), kQuestionsKind);

    // Written back, every entry carries the tag of its class.
    ByteStream out;
    test.SaveToStream(out);
    const auto& written = out.data();
    const std::size_t tagAt = 46 + 1;  // after the header with the name "T"
    EXPECT_EQ(written[tagAt], char(kQuestionKind));
    EXPECT_EQ(written[tagAt + 1 + 16 + 16 + 1], char(kQuestionKind));  // the record's Kind

    // An answer cannot be an entry of a test: the record is refused, not half-read.
    RecordBytes stray;
    stray.collection(QuestionsTypeId(), kIdA, 0, kQuestionsKind, 0, "T", 1);
    stray.u8(kQuestionKind).element(AnswerTypeId(), kIdB, 1, kQuestionKind, 0, "a").u8(0).i32(0);
    appendSettings(stray);
    TQuestions other(kGroupKindSimpleTest, Guid());
    ByteStream strayIn(stray.data());
    EXPECT_THROW(other.LoadFromStream(strayIn, ReadContext{}), ReadError);
    EXPECT_EQ(other.Count(), 0);
}

TEST(CollectionReader, EveryTruncationFailsCleanly) {
    const std::string full = nestedTest();
    {
        TQuestions test(kGroupKindSimpleTest, Guid());
        ByteStream in(full);
        test.LoadFromStream(in, ReadContext{});
        EXPECT_TRUE(in.atEnd());
        ASSERT_EQ(test.Count(), 2);
        EXPECT_EQ(test.CollectionAt(0)->Count(), 1);
    }
    for (std::size_t length = 0; length < full.size(); ++length) {
        TQuestions test(kGroupKindSimpleTest, Guid());
        ByteStream in(full.substr(0, length));
        EXPECT_THROW(test.LoadFromStream(in, ReadContext{}), ReadError) << "length " << length;
        // Whatever was read is complete and linked.
        for (int i = 0; i < test.Count(); ++i) {
            EXPECT_EQ(test.Items(i)->Parent(), &test);
        }
        EXPECT_LE(test.Count(), 2);
    }
}

TEST(CollectionReader, DamagedCountsFailBeforeAllocating) {
    const auto huge = std::numeric_limits<std::int32_t>::max();
    // A valid entry follows the damaged count: the reader must not get as far as reading it.
    RecordBytes entries;
    entries.collection(Guid(), Guid(), 0, 3, 0, "", huge);
    entries.u8(3).element(Guid(), kIdA, 1, 3, 0, "entry");
    TExaminerCollection list(3, Guid());
    ByteStream in(entries.data());
    EXPECT_THROW(list.LoadFromStream(in, ReadContext{}), ReadError);
    EXPECT_EQ(list.Count(), 0);

    RecordBytes answers;
    answers.element(QuestionTypeId(), kIdA, 1, 0, 0, "Q").u8(0);
    answers.collection(AnswersTypeId(), kIdB, 0, kAnswersKind, 0, "", huge);
    answers.u8(kAnswerKind).element(AnswerTypeId(), kIdC, 1, kAnswerKind, 0, "a").u8(0).i32(0);
    TQuestion question{Guid()};
    ByteStream answersIn(answers.data());
    EXPECT_THROW(question.LoadFromStream(answersIn, ReadContext{}), ReadError);
    EXPECT_EQ(question.Answers().Count(), 0);
}

TEST(CollectionReader, AnEntryIsRefusedBeforeItIsRead) {
    // A question whose answers list holds a question (an entry of the question's type id
    // under an answer's tag), whose answers list holds another, 30,000 levels deep: refused at
    // the first level, without reading (and recursing into) what the entry holds.
    constexpr int kLevels = 30000;
    RecordBytes chain;
    for (int level = 0; level < kLevels; ++level) {
        chain.element(QuestionTypeId(), kIdA, 1, kQuestionKind, 0, "").u8(kSingleAnswer);
        chain.collection(AnswersTypeId(), kIdB, 0, kAnswersKind, 0, "", 1).u8(kAnswerKind);
    }
    TQuestion question{Guid()};
    ByteStream in(chain.data());
    try {
        question.LoadFromStream(in, ReadContext{});
        ADD_FAILURE() << "the chain was read";
    } catch (const ReadError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Несовместимые типы объекта и контейнера"));
    }
    EXPECT_EQ(question.Answers().Count(), 0);

    // The same chain as an entry of a users group, which reads past what it does not hold.
    RecordBytes users;
    users.collection(Guid(), Guid(), 0, kUsersGroupKind, 0, "", 1).u8(kQuestionKind);
    TCompetitors group;
    ByteStream usersIn(users.data() + chain.data());
    EXPECT_THROW(group.LoadFromStream(usersIn, ReadContext{}), ReadError);
}

TEST(CollectionReader, EveryRecordLevelCountsTowardsTheLimit) {
    // Groups nested below a test, the deepest holding a question with one answer: the answer
    // lies three levels below the deepest group.
    const auto nested = [](int groups) {
        RecordBytes bytes;
        for (int level = 0; level <= groups; ++level) {
            if (level > 0) {
                bytes.u8(0x80 | kQuestionsKind);
            }
            bytes.collection(QuestionsTypeId(), kIdA, 0, kQuestionsKind, 0, "", 1);
        }
        bytes.u8(kQuestionKind).element(QuestionTypeId(), kIdB, 1, 0, 1, "Q").u8(0);
        bytes.collection(AnswersTypeId(), kIdC, 0, kAnswersKind, 0, "", 1);
        bytes.u8(kAnswerKind).element(AnswerTypeId(), kIdA, 1, kAnswerKind, 0, "a").u8(1).i32(0);
        bytes.u8(1);
        for (int level = 0; level <= groups; ++level) {
            appendSettings(bytes);
        }
        return bytes.data();
    };
    const int deepest = kMaxRecordNesting - 3;
    TQuestions fits(kGroupKindSimpleTest, Guid());
    ByteStream fitsIn(nested(deepest));
    fits.LoadFromStream(fitsIn, ReadContext{});
    EXPECT_TRUE(fitsIn.atEnd());
    EXPECT_EQ(CollectItems(fits, "TQuestion", true).size(), 1u);

    TQuestions deeper(kGroupKindSimpleTest, Guid());
    ByteStream deeperIn(nested(deepest + 1));
    EXPECT_THROW(deeper.LoadFromStream(deeperIn, ReadContext{}), ReadError);
}

TEST(CollectionReader, PlainEntriesAreWrittenBackUnderTheTagTheyWereTakenBy) {
    // Records whose tag and kind disagree, in a plain collection that takes any entry: each is
    // read, written, and the written form reads again into the same bytes.
    const AccountHooks restoreDefaultsAfterwards;
    installUsersFactories();     // the real account classes, with their own record layouts
    RecordBytes plainAsAccount;  // tag 3, record kind 1: not to be written back as an account
    plainAsAccount.u8(3).element(kIdC, kIdA, 1, kAccountKind, 0, "x");
    RecordBytes plainAsCollection;  // tag 0, record kind 0x85: not to be written as a group
    plainAsCollection.u8(0).element(kIdC, kIdA, 1, 0x85, 0, "x");
    RecordBytes collectionAsUsers;  // tag 0x83, null type id, record kind 5, holding an element
    collectionAsUsers.u8(0x83).collection(Guid(), kIdA, 0, kUsersGroupKind, 0, "g", 1);
    collectionAsUsers.u8(3).element(kIdC, kIdB, 1, 3, 0, "x");
    for (const RecordBytes* entry : {&plainAsAccount, &plainAsCollection, &collectionAsUsers}) {
        RecordBytes record;
        record.collection(Guid(), kIdC, 0, 3, 0, "", 1).raw(entry->data());
        const auto readAndWrite = [](const std::string& bytes, TExaminerCollection& into) {
            ByteStream in(bytes);
            into.LoadFromStream(in, ReadContext{});
            EXPECT_TRUE(in.atEnd());
            ByteStream out;
            into.SaveToStream(out);
            return out.takeData();
        };
        TExaminerCollection first(3, Guid());
        const std::string written = readAndWrite(record.data(), first);
        TExaminerCollection second(3, Guid());
        EXPECT_EQ(readAndWrite(written, second), written);
        EXPECT_EQ(second.Items(0)->GetKind(), static_cast<std::uint8_t>(entry->data()[0] & 0x7F));
    }
}
