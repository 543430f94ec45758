#include "storage/ClipboardData.h"

#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "storage/DataStreams.h"
#include "util/Error.h"

namespace kvalor {

ByteStream WriteClipboardItems(const std::vector<const IExaminerItem*>& items) {
    ByteStream block;
    block.writeI32(static_cast<std::int32_t>(items.size()));
    for (const IExaminerItem* item : items) {
        if (const auto* collection = dynamic_cast<const TExaminerCollection*>(item)) {
            RequireReadableNesting(*collection);
            collection->SaveToStream(block);
        } else if (const auto* element = dynamic_cast<const TExaminerElement*>(item)) {
            element->SaveToStream(block);
        }
    }
    return block;
}

std::int32_t ReadClipboardCount(ByteStream& block, ClipboardFormat format) {
    return block.readCount(format == ClipboardFormat::Questions ? kQuestionEntryCost
                                                                : kQuestionsEntryCost);
}

std::unique_ptr<TQuestion> ReadClipboardQuestion(ByteStream& block) {
    auto question = std::make_unique<TQuestion>();
    question->LoadAsCopy(block, ReadContext{});
    return question;
}

std::unique_ptr<TQuestions> ReadClipboardCollection(ByteStream& block, ClipboardFormat format) {
    const std::uint8_t kind =
        format == ClipboardFormat::SimpleTests ? kGroupKindSimpleTest : kGroupKindSubgroup;
    // The record sets the group kind it claims; only the format's kind is taken.
    auto collection = std::make_unique<TQuestions>(kind);
    collection->LoadAsCopy(block, ReadContext{});
    if (collection->GroupKind() != kind) {
        throw ReadError(kDamagedDataMessage);
    }
    return collection;
}

}  // namespace kvalor
