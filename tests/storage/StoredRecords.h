#pragma once

// Stored records built byte by byte from the documented layouts, for files made by hand.

#include <string>
#include <vector>

#include "model/RecordBytes.h"
#include "model/TypeIds.h"
#include "util/Guid.h"

namespace storagetest {

// An account: element record (null type id, kind 1), role, password bytes as stored, fields.
inline std::string accountRecord(const kvalor::Guid& id, const std::string& name,
                                 const std::string& storedPassword, std::uint8_t role = 0) {
    RecordBytes bytes;
    bytes.element(kvalor::Guid(), id, 1, kvalor::kAccountKind, 0, name).u8(role);
    bytes.str(storedPassword).i32(10);
    for (int field = 0; field < 10; ++field) {
        bytes.str(field == 1 ? name : std::string());
    }
    return bytes.data();
}

// A users group (kind 5, null type id) holding the given account records, each with entry
// tag 1.
inline std::string usersGroupRecord(const kvalor::Guid& id, const std::string& name,
                                    const std::vector<std::string>& accounts) {
    RecordBytes bytes;
    bytes.collection(kvalor::Guid(), id, 0, kvalor::kUsersGroupKind, 0, name,
                     static_cast<std::int32_t>(accounts.size()));
    for (const std::string& account : accounts) {
        bytes.u8(kvalor::kAccountKind).raw(account);
    }
    return bytes.data();
}

// A question entry (tag included) with two answers, the second one right; the AllowMix byte
// from version 1 on.
inline std::string questionEntry(int version, const kvalor::Guid& id, const std::string& text,
                                 bool allowMix) {
    RecordBytes bytes;
    bytes.u8(kvalor::kQuestionKind)
        .element(kvalor::QuestionTypeId(), id, 1, kvalor::kQuestionKind, 0, text)
        .u8(kvalor::kSingleAnswer);
    bytes.collection(kvalor::AnswersTypeId(), kvalor::Guid::create(), 0, kvalor::kAnswersKind, 0,
                     "", 2);
    for (int answer = 0; answer < 2; ++answer) {
        bytes.u8(kvalor::kAnswerKind)
            .element(kvalor::AnswerTypeId(), kvalor::Guid::create(), 1, kvalor::kAnswerKind,
                     answer + 1, "a" + std::to_string(answer))
            .u8(answer == 1)
            .i32(answer);
    }
    if (version >= 1) {
        bytes.u8(allowMix);
    }
    return bytes.data();
}

// The settings that close a group record: two grade levels; the mixing flags from version 2
// on as given.
inline void groupSettings(RecordBytes& bytes, int version, std::uint8_t groupKind,
                          const std::string& flags) {
    bytes.u8(2).i32(30).f64(55.0).u8(0).f64(40.0).f64(80.0).u8(groupKind);
    if (version >= 2) {
        bytes.raw(flags);
    }
}

// A simple test record holding a question and a nested group with one more question.
inline std::string testRecord(int version, const kvalor::Guid& id, const std::string& name,
                              std::int32_t number, const kvalor::Guid& questionId) {
    RecordBytes bytes;
    bytes.collection(kvalor::QuestionsTypeId(), id, 0, kvalor::kQuestionsKind, number, name, 2);
    bytes.raw(questionEntry(version, questionId, "Q " + name, false));
    bytes.u8(0x80 | kvalor::kQuestionsKind)
        .collection(kvalor::QuestionsTypeId(), kvalor::Guid::create(), 0, kvalor::kQuestionsKind, 0,
                    "G " + name, 1);
    bytes.raw(questionEntry(version, kvalor::Guid::create(), "QG " + name, true));
    groupSettings(bytes, version, kvalor::kGroupKindSubgroup, std::string("\x00\x00\x00\x01", 4));
    groupSettings(bytes, version, kvalor::kGroupKindSimpleTest, std::string("\x01\x00\x00\x01", 4));
    return bytes.data();
}

// A finished study with one question record answered with index 1.
inline std::string studyRecord(double date, const kvalor::Guid& userId, const kvalor::Guid& testId,
                               const kvalor::Guid& questionId, double percent) {
    RecordBytes bytes;
    bytes.f64(date).u8(1).id(userId).id(testId).i32(1);
    bytes.id(questionId).i32(1).i32(1).u8(1).i32(2).i32(1).i32(0);
    bytes.f64(55.0).f64(percent).i32(1).i32(1).u8(1).u8(1);
    return bytes.data();
}

// A stream of count records: the 4-byte count, then the records.
inline std::string listStream(const std::vector<std::string>& records) {
    RecordBytes bytes;
    bytes.i32(static_cast<std::int32_t>(records.size()));
    for (const std::string& record : records) {
        bytes.raw(record);
    }
    return bytes.data();
}

// The study list stream: version byte 3, then the list.
inline std::string studiesStream(const std::vector<std::string>& studies) {
    return std::string(1, '\x03') + listStream(studies);
}

}  // namespace storagetest
