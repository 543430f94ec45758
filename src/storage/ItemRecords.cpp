// The records of the item family: every element and collection is written as its type id, id,
// flags, number and name, a collection's entries each behind a tag byte.

#include <memory>
#include <string>

#include "model/Answers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/ExaminerCollection.h"
#include "model/ExaminerElement.h"
#include "model/ItemFactories.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/ByteStream.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// The list's slot of an entry: the pointer and its deleter. The entry itself is charged when
// it is made for reading, by its class.
constexpr EntryCost kEntrySlotCost{TExaminerCollection::kMinEntryBytes, 2 * sizeof(void*)};
constexpr EntryCost kPlainElementCost{TExaminerElement::kMinRecordBytes,
                                      OwnedObjectBytes(sizeof(TExaminerElement))};
constexpr EntryCost kPlainCollectionCost{TExaminerCollection::kMinRecordBytes,
                                         OwnedObjectBytes(sizeof(TExaminerCollection))};

}  // namespace

void TExaminerElement::SaveToStream(ByteStream& stream) const {
    stream.writeGuid(typeId_);
    stream.writeGuid(id_);
    stream.writeBool(editable_);
    stream.writeU8(kind_);
    stream.writeI32(number_);
    stream.writeString(name_);
}

void TExaminerElement::LoadFromStream(ByteStream& stream, const ReadContext&) {
    const Guid typeId = stream.readGuid();
    const Guid id = stream.readGuid();
    const bool editable = stream.readBool();
    const std::uint8_t kind = stream.readU8();
    const std::int32_t number = stream.readI32();
    std::string name = stream.readString();

    if (!fixedIdentity_) {
        typeId_ = typeId;
    }
    if (!fixedKind_) {
        kind_ = kind;
    }
    id_ = id;
    editable_ = editable;
    number_ = number;
    name_ = std::move(name);
}

void TExaminerCollection::SaveToStream(ByteStream& stream) const {
    stream.writeGuid(typeId_);
    stream.writeGuid(id_);
    stream.writeU8(flag_);
    stream.writeU8(kind_);
    stream.writeI32(number_);
    stream.writeString(name_);
    stream.writeI32(Count());
    for (const auto& entry : entries_) {
        if (entry->IsCollection()) {
            const auto& sub = static_cast<const TExaminerCollection&>(*entry);
            stream.writeU8(sub.GetKind() | kCollectionTagBit);
            sub.SaveToStream(stream);
        } else {
            const auto& element = static_cast<const TExaminerElement&>(*entry);
            stream.writeU8(element.GetKind());
            element.SaveToStream(stream);
        }
    }
}

void TExaminerCollection::LoadFromStream(ByteStream& stream, const ReadContext& context) {
    const Guid typeId = stream.readGuid();
    const Guid id = stream.readGuid();
    const std::uint8_t flag = stream.readU8();
    const std::uint8_t kind = stream.readU8();
    const std::int32_t number = stream.readI32();
    std::string name = stream.readString();
    const std::int32_t count = stream.readCount(kEntrySlotCost);

    if (!fixedIdentity_) {
        typeId_ = typeId;
    }
    if (!fixedKind_) {
        kind_ = kind;
    }
    id_ = id;
    flag_ = flag;
    number_ = number;
    name_ = std::move(name);
    for (std::int32_t i = 0; i < count; ++i) {
        readEntry(stream, context);
    }
}

std::unique_ptr<TExaminerCollection> TExaminerCollection::createEntryCollection(ByteStream& stream,
                                                                                const Guid& typeId,
                                                                                std::uint8_t kind) {
    if (typeId == QuestionsTypeId()) {
        stream.chargeMemory(kQuestionsEntryCost);
        return std::make_unique<TQuestions>(kGroupKindSimpleTest, Guid());
    }
    if (typeId.isNull() && kind == kUsersGroupKind) {
        stream.chargeMemory(kUsersGroupEntryCost);
        return createUsersGroup();
    }
    stream.chargeMemory(kPlainCollectionCost);
    // An answers list belongs to a question and is never an entry of its own; such a record is
    // kept as a plain collection, of the kind its tag names whatever the record says, so that
    // it is written back under the tag it was accepted by.
    auto plain = std::make_unique<TExaminerCollection>(kind, Guid());
    plain->fixedKind_ = true;
    return plain;
}

std::unique_ptr<TExaminerElement> TExaminerCollection::createEntryElement(ByteStream& stream,
                                                                          const Guid& typeId,
                                                                          std::uint8_t tag) {
    if (typeId == AnswerTypeId()) {
        stream.chargeMemory(kAnswerEntryCost);
        return std::make_unique<TAnswer>(Guid());
    }
    if (typeId == QuestionTypeId()) {
        stream.chargeMemory(kQuestionEntryCost);
        return std::make_unique<TQuestion>(Guid());
    }
    if (tag == kAccountKind) {
        stream.chargeMemory(kAccountEntryCost);
        return createAccountElement();
    }
    stream.chargeMemory(kPlainElementCost);
    auto plain = std::make_unique<TExaminerElement>(tag, Guid());
    plain->KeepKindWhenRead();
    return plain;
}

// Entries are created by their type id; the tag and the kind come from the data and are
// trusted only where the type id leaves the class open. Whether the collection takes an entry
// is decided before the entry is read, so that a refused record costs no reading of what it
// holds, and every level of records counts towards the nesting limit, an element's own lists
// included: the reader's stack pays for each.
void TExaminerCollection::readEntry(ByteStream& stream, const ReadContext& context) {
    if (context.depth >= kMaxRecordNesting) {
        throw ReadError(kDamagedDataMessage);
    }
    const ReadContext inner{context.version, context.depth + 1};
    const std::uint8_t tag = stream.readU8();
    const Guid typeId = stream.peekGuid();

    if (tag & kCollectionTagBit) {
        if (!HoldsCollections()) {
            throw ReadError(kIncompatibleContainerMessage);
        }
        auto sub = createEntryCollection(stream, typeId, tag & ~kCollectionTagBit);
        const bool accepted = AcceptsCollection(*sub);
        if (!accepted && !DropsForeignEntries()) {
            throw ReadError(kIncompatibleContainerMessage);
        }
        sub->LoadFromStream(stream, inner);
        if (accepted) {
            AddCollection(std::move(sub));
        }
        return;
    }

    auto element = createEntryElement(stream, typeId, tag);
    const bool accepted = Accepts(*element);
    if (!accepted && !DropsForeignEntries()) {
        throw ReadError(kIncompatibleContainerMessage);
    }
    element->LoadFromStream(stream, inner);
    if (!accepted) {
        return;
    }
    if (tag == kAccountKind && element->Id().isNull()) {
        element->NewId();
    }
    AddItem(std::move(element));
}

}  // namespace kvalor
