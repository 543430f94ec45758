#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/ExaminerItem.h"
#include "util/ByteStream.h"
#include "util/Guid.h"

namespace kvalor {

// A leaf of the data model (question, answer, user account). Its record is the type id, id,
// Editable, Kind, Number and Name; subclasses append their own fields. Storage reads and writes
// the records of the whole item family (storage/ItemRecords.cpp, QuestionRecords.cpp,
// AccountRecords.cpp).
class TExaminerElement : public IExaminerItem {
public:
    // type id + id + Editable + Kind + Number + name length.
    static constexpr std::size_t kMinRecordBytes = 16 + 16 + 1 + 1 + 4 + 4;

    // Without an id the element gets a new one; readers pass the null id and read the real one.
    explicit TExaminerElement(std::uint8_t kind, std::optional<Guid> id = std::nullopt);

    void NewId();
    void RenewIds() override { NewId(); }
    const Guid& Id() const override { return id_; }
    const Guid& TypeId() const { return typeId_; }

    // Raises "Невозможно изменить значение" when the element is not editable.
    void SetName(const std::string& name) override;
    const std::string& GetName() const override { return name_; }
    bool Editable() const { return editable_; }
    void SetEditable(bool editable) { editable_ = editable; }
    std::uint8_t GetEditable() const override { return editable_ ? 1 : 0; }
    // An element's kind is fixed when it is created.
    void SetKind(std::uint8_t) override {}
    std::uint8_t GetKind() const override { return kind_; }
    std::int32_t GetNumber() const override { return number_; }
    void SetNumber(std::int32_t number) { number_ = number; }
    TExaminerCollection* Parent() const override { return parent_; }
    IExaminerItem& SetParent(TExaminerCollection* parent) override;
    bool IsCollection() const final { return false; }
    std::string_view ClassName() const override { return "TExaminerElement"; }

    virtual void SaveToStream(ByteStream& stream) const;
    virtual void LoadFromStream(ByteStream& stream, const ReadContext& context);
    // How many record levels below the element's own its deepest stored entry lies (a
    // question's answers: two, below its answers list); 0 for an element without lists.
    virtual int EntryLevelsBelow() const { return 0; }
    // Copies type id, Editable, Number, Name and Kind, and gives this element a new id.
    // Parent is not copied.
    virtual void Assign(const TExaminerElement& source);

    // Reading then keeps the kind given at creation rather than the record's. The collection
    // reader creates an entry of a class left open by its type id with the kind its tag names,
    // and decides by that kind whether to take it: the kind written back must be the same.
    void KeepKindWhenRead() { fixedKind_ = true; }

protected:
    // A concrete class's record layout is its own whatever a record claims, so its type id
    // and kind are fixed: reading and copying leave them as the constructor set them.
    void FixClassIdentity(const Guid& typeId);

private:
    Guid typeId_;
    Guid id_;
    bool editable_ = true;
    std::int32_t number_ = 0;
    std::string name_;
    std::uint8_t kind_;
    TExaminerCollection* parent_ = nullptr;
    bool fixedIdentity_ = false;
    bool fixedKind_ = false;
};

}  // namespace kvalor
