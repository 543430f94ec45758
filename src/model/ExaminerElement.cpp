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
