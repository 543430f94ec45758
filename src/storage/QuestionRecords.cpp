// The records of questions, their answers and the groups of questions: each the item record of
// its base class followed by its own fields, the newer of them read only from the format
// versions that have them.

#include <cstdint>
#include <utility>
#include <vector>

#include "model/Answers.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "util/ByteStream.h"

namespace kvalor {

void TAnswer::SaveToStream(ByteStream& stream) const {
    TExaminerElement::SaveToStream(stream);
    stream.writeBool(correct_);
    stream.writeI32(correctPosition_);
}

void TAnswer::LoadFromStream(ByteStream& stream, const ReadContext& context) {
    TExaminerElement::LoadFromStream(stream, context);
    const bool correct = stream.readBool();
    const std::int32_t correctPosition = stream.readI32();
    correct_ = correct;
    correctPosition_ = correctPosition;
}

void TQuestion::SaveToStream(ByteStream& stream) const {
    TExaminerElement::SaveToStream(stream);
    stream.writeU8(questionType_);
    answers_->SaveToStream(stream);
    stream.writeBool(answers_->AllowMix());
}

void TQuestion::LoadFromStream(ByteStream& stream, const ReadContext& context) {
    TExaminerElement::LoadFromStream(stream, context);
    questionType_ = stream.readU8();
    // The answers list is a record level below the question's.
    answers_->LoadFromStream(stream, ReadContext{context.version, context.depth + 1});
    // Files of version 0 have no AllowMix byte: their answers may be mixed.
    if (context.version >= 1) {
        answers_->SetAllowMix(stream.readBool());
    }
}

void TQuestion::LoadAsCopy(ByteStream& stream, const ReadContext& context) {
    LoadFromStream(stream, context);
    RenewIds();
    answers_->Presentation()->Clear();
}

void TQuestions::LoadAsCopy(ByteStream& stream, const ReadContext& context) {
    LoadFromStream(stream, context);
    RenewIds();
}

void TQuestions::SaveToStream(ByteStream& stream) const {
    TExaminerCollection::SaveToStream(stream);
    stream.writeU8(levelCount_);
    stream.writeI32(duration_);
    stream.writeDouble(passPercent_);
    stream.writeU8(gradingMethod_);
    for (double threshold : levelThresholds_) {
        stream.writeDouble(threshold);
    }
    stream.writeU8(groupKind_);
    stream.writeBool(mixQuestions_);
    stream.writeBool(mixGroups_);
    stream.writeBool(mixAnswers_);
    stream.writeBool(breakGroups_);
}

void TQuestions::LoadFromStream(ByteStream& stream, const ReadContext& context) {
    TExaminerCollection::LoadFromStream(stream, context);
    if (Id().isNull()) {
        NewId();
    }
    // The settings follow the entries; they are taken over only once all of them are read.
    const std::uint8_t levelCount = stream.readU8();
    const std::int32_t duration = stream.readI32();
    const double passPercent = stream.readDouble();
    const std::uint8_t gradingMethod = stream.readU8();
    std::vector<double> thresholds(levelCount);
    for (auto& threshold : thresholds) {
        threshold = stream.readDouble();
    }
    const std::uint8_t groupKind = stream.readU8();
    bool mix[4] = {true, true, true, false};
    // The mixing flags exist from version 2 on; older groups keep the defaults.
    if (context.version >= 2) {
        for (auto& flag : mix) {
            flag = stream.readBool();
        }
    }

    levelCount_ = levelCount;
    duration_ = duration;
    passPercent_ = passPercent;
    gradingMethod_ = gradingMethod;
    levelThresholds_ = std::move(thresholds);
    groupKind_ = groupKind;
    mixQuestions_ = mix[0];
    mixGroups_ = mix[1];
    mixAnswers_ = mix[2];
    breakGroups_ = mix[3];
}

}  // namespace kvalor
