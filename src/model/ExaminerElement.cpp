#include "model/ExaminerElement.h"

#include "util/Error.h"

namespace kvalor {

TExaminerElement::TExaminerElement(std::uint8_t kind, std::optional<Guid> id)
    : id_(id ? *id : Guid::create()), kind_(kind) {}

void TExaminerElement::NewId() {
    id_ = Guid::create();
}

void TExaminerElement::FixClassIdentity(const Guid& typeId) {
    typeId_ = typeId;
    fixedIdentity_ = true;
    fixedKind_ = true;
}

void TExaminerElement::SetName(const std::string& name) {
    if (!editable_) {
        throw KvalorError("Невозможно изменить значение");
    }
    name_ = name;
}

IExaminerItem& TExaminerElement::SetParent(TExaminerCollection* parent) {
    parent_ = parent;
    return *this;
}

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

void TExaminerElement::Assign(const TExaminerElement& source) {
    if (!fixedIdentity_) {
        typeId_ = source.typeId_;
        kind_ = source.kind_;
    }
    editable_ = source.editable_;
    number_ = source.number_;
    name_ = source.name_;
    NewId();
}

}  // namespace kvalor
