#pragma once

#include <cstdint>

#include "util/Guid.h"

namespace kvalor {

// Type ids name the class of a stored record: they are part of the file format. The base
// classes and the user accounts and groups carry the null id.
inline const Guid& AnswerTypeId() {
    static const Guid id = Guid::fromLiteral("{7DBA6FC9-DDE6-4ACB-8856-06D3B139E8E3}");
    return id;
}
inline const Guid& AnswersTypeId() {
    static const Guid id = Guid::fromLiteral("{FA5C179B-489C-4174-9EAD-3918F250FDA3}");
    return id;
}
inline const Guid& QuestionTypeId() {
    static const Guid id = Guid::fromLiteral("{736AC03F-887D-492E-ACB4-E7A4E69834BD}");
    return id;
}
inline const Guid& QuestionsTypeId() {
    static const Guid id = Guid::fromLiteral("{48BB66FE-CB17-4B90-8DD0-E24950471B64}");
    return id;
}

// Element kinds.
inline constexpr std::uint8_t kQuestionKind = 0;
inline constexpr std::uint8_t kAccountKind = 1;
inline constexpr std::uint8_t kAnswerKind = 2;
// Accepted by question groups besides questions, though nothing creates such elements.
inline constexpr std::uint8_t kGroupElementKind = 4;

// Collection kinds. Only kinds 3, 4 and 5 may hold sub-collections.
inline constexpr std::uint8_t kAnswersKind = 2;
inline constexpr std::uint8_t kQuestionsKind = 4;
inline constexpr std::uint8_t kUsersGroupKind = 5;

// The high bit of an entry tag marks a sub-collection; the low bits carry its kind.
inline constexpr std::uint8_t kCollectionTagBit = 0x80;

// Group kinds of TQuestions.
inline constexpr std::uint8_t kGroupKindRoot = 0;
inline constexpr std::uint8_t kGroupKindComplexTest = 1;
inline constexpr std::uint8_t kGroupKindSimpleTest = 2;
inline constexpr std::uint8_t kGroupKindSubgroup = 3;

// Question types.
inline constexpr std::uint8_t kSingleAnswer = 0;
inline constexpr std::uint8_t kMultipleAnswers = 1;
inline constexpr std::uint8_t kSequence = 2;

}  // namespace kvalor
