#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "model/QuestionBuilders.h"
#include "model/RecordBytes.h"
#include "storage/ClipboardData.h"
#include "util/Error.h"

namespace kvalor {
namespace {

using testdata::addGroup;
using testdata::addQuestion;

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

std::unique_ptr<IExaminerItem> readItem(ByteStream& block, ClipboardFormat format) {
    if (format == ClipboardFormat::Questions) {
        return ReadClipboardQuestion(block);
    }
    return ReadClipboardCollection(block, format);
}

// The block is the count followed by the records as the data file holds them. Reading
// ignores whatever follows the last record and gives new items that share no id with their
// source, down to the answers of a question in a group in a group.
TEST_F(ClipboardDataTest, BlocksAreCountThenRecordsAndPastedItemsAreNew) {
    const ByteStream written = WriteClipboardItems({first_, second_});
    EXPECT_EQ(written.data(), RecordBytes().i32(2).data() + recordOf(*first_) + recordOf(*second_));

    addQuestion(addGroup(addGroup(test_, "Внешняя"), "Внутренняя"), kSingleAnswer, "Глубоко",
                {"a", "b"}, {0});
    struct Case {
        ClipboardFormat format;
        std::string bytes;
        std::vector<const IExaminerItem*> sources;
    };
    const Case cases[] = {
        {ClipboardFormat::Questions, written.data(), {first_, second_}},
        {ClipboardFormat::SimpleTests, WriteClipboardItems({&test_}).data(), {&test_}},
    };
    for (const Case& c : cases) {
        ByteStream block(c.bytes + std::string(64, '\xAB'));
        ASSERT_EQ(ReadClipboardCount(block, c.format), static_cast<int>(c.sources.size()));
        for (const IExaminerItem* source : c.sources) {
            const std::unique_ptr<IExaminerItem> copy = readItem(block, c.format);
            EXPECT_EQ(copy->GetName(), source->GetName());
            EXPECT_TRUE(testdata::renewedThroughout(*source, *copy));
        }
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
        {"huge count", ClipboardFormat::Questions,
         RecordBytes().i32(0x7FFFFFFF).data() + questions.substr(4), -1},
        {"negative count", ClipboardFormat::Questions, RecordBytes().i32(-1).data(), -1},
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
                readItem(block, c.format);
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
