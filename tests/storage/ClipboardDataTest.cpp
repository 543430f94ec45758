#include <gtest/gtest.h>

#include "model/QuestionBuilders.h"
#include "storage/ClipboardData.h"
#include "util/Error.h"

namespace kvalor {
namespace {

using testdata::addGroup;
using testdata::addQuestion;

std::string le32(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::string recordOf(const TExaminerElement& item) {
    ByteStream stream;
    item.SaveToStream(stream);
    return stream.takeData();
}

class ClipboardDataTest : public ::testing::Test {
protected:
    ClipboardDataTest() : test_(kGroupKindSimpleTest) {
        test_.SetName(toCp1251("Алгебра"));
        first_ = &addQuestion(test_, kSingleAnswer, "2+2", {"4", "5"}, {0});
        second_ = &addQuestion(test_, kSequence, "По порядку", {"a", "b", "c"});
    }

    TQuestions test_;
    TQuestion* first_;
    TQuestion* second_;
};

// The block is the count followed by the records as the data file holds them; reading gives
// new questions with new ids and ignores whatever follows the last record.
TEST_F(ClipboardDataTest, QuestionsBlockIsCountThenRecords) {
    const ByteStream written = WriteClipboardItems({first_, second_});
    EXPECT_EQ(written.data(), le32(2) + recordOf(*first_) + recordOf(*second_));

    ByteStream block(written.data() + std::string(64, '\xAB'));
    ASSERT_EQ(ReadClipboardCount(block, ClipboardFormat::Questions), 2);
    for (const TQuestion* original : {first_, second_}) {
        const auto copy = ReadClipboardQuestion(block);
        EXPECT_EQ(copy->GetName(), original->GetName());
        EXPECT_EQ(copy->QuestionType(), original->QuestionType());
        ASSERT_EQ(copy->Answers().Count(), original->Answers().Count());
        EXPECT_NE(copy->Id(), original->Id());
        EXPECT_NE(copy->Answers().AnswerAt(0)->Id(), original->Answers().AnswerAt(0)->Id());
    }
}

// Every id of a pasted test differs from the source's, down to the answers of a question
// inside a group inside a group: a copy shares nothing with the test it was copied from.
TEST_F(ClipboardDataTest, PastedTestsAreNewThroughout) {
    TQuestions& outer = addGroup(test_, "Внешняя");
    TQuestions& inner = addGroup(outer, "Внутренняя");
    const TQuestion& deep = addQuestion(inner, kSingleAnswer, "Глубоко", {"a", "b"}, {0});
    ByteStream block(WriteClipboardItems({&test_}).data());
    ASSERT_EQ(ReadClipboardCount(block, ClipboardFormat::SimpleTests), 1);
    const auto copy = ReadClipboardCollection(block, ClipboardFormat::SimpleTests);

    const auto* copiedOuter = dynamic_cast<const TQuestions*>(copy->Items(2));
    ASSERT_NE(copiedOuter, nullptr);
    const auto* copiedInner = dynamic_cast<const TQuestions*>(copiedOuter->Items(0));
    ASSERT_NE(copiedInner, nullptr);
    const auto* copiedDeep = dynamic_cast<const TQuestion*>(copiedInner->Items(0));
    ASSERT_NE(copiedDeep, nullptr);
    EXPECT_EQ(copiedDeep->GetName(), deep.GetName());
    const std::pair<const Guid&, const Guid&> pairs[] = {
        {copy->Id(), test_.Id()},
        {copiedOuter->Id(), outer.Id()},
        {copiedInner->Id(), inner.Id()},
        {copiedDeep->Id(), deep.Id()},
        {copiedDeep->Answers().AnswerAt(1)->Id(), deep.Answers().AnswerAt(1)->Id()},
        {copy->Items(0)->Id(), first_->Id()},
    };
    for (const auto& [copied, source] : pairs) {
        EXPECT_NE(copied, source);
    }
}

// A block from elsewhere may be cut short, announce more than it holds or carry a collection
// of another kind: each fails with the read error, never by reading past its end.
TEST_F(ClipboardDataTest, DamagedBlocksFailCleanly) {
    TQuestions groups(kGroupKindSimpleTest);
    addQuestion(addGroup(groups, "Группа"), kSingleAnswer, "1", {"a"}, {0});
    const std::string questions = WriteClipboardItems({first_, second_}).data();
    const std::string test = WriteClipboardItems({&groups}).data();

    struct Case {
        const char* name;
        ClipboardFormat format;
        std::string bytes;
        int readable;  // records read before the failure; -1: the count itself fails
    };
    const Case cases[] = {
        {"second record cut", ClipboardFormat::Questions, questions.substr(0, questions.size() - 3),
         1},
        {"huge count", ClipboardFormat::Questions, le32(0x7FFFFFFF) + questions.substr(4), -1},
        {"negative count", ClipboardFormat::Questions, le32(0xFFFFFFFF), -1},
        {"no count", ClipboardFormat::Groups, std::string("\x01\x00", 2), -1},
        {"test under groups", ClipboardFormat::Groups, test, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ByteStream block(c.bytes);
        if (c.readable < 0) {
            EXPECT_THROW(ReadClipboardCount(block, c.format), ReadError);
            continue;
        }
        const std::int32_t count = ReadClipboardCount(block, c.format);
        int read = 0;
        try {
            for (; read < count; ++read) {
                if (c.format == ClipboardFormat::Questions) {
                    ReadClipboardQuestion(block);
                } else {
                    ReadClipboardCollection(block, c.format);
                }
            }
            ADD_FAILURE() << "no read error";
        } catch (const ReadError& error) {
            EXPECT_EQ(error.message(), QString::fromUtf8(kDamagedDataMessage));
        }
        EXPECT_EQ(read, c.readable);
    }
}

}  // namespace
}  // namespace kvalor
