#include "model/Competitor.h"

#include <algorithm>

#include "model/BuiltinAccounts.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"

namespace kvalor {

namespace {

const std::string kEmptyField;

}  // namespace

TCompetitor::TCompetitor() : TCompetitor(Guid()) {}

TCompetitor::TCompetitor(const Guid& id)
    : TExaminerElement(kAccountKind, id), fields_(kFieldCount), role_(kRoleApplicant) {
    FixClassIdentity(Guid());
}

const std::string& TCompetitor::GetField(int index) const {
    if (index < 0 || index >= static_cast<int>(fields_.size())) {
        return kEmptyField;
    }
    return fields_[static_cast<std::size_t>(index)];
}

void TCompetitor::SetField(int index, const std::string& value) {
    // Mirrors GetField: there is no field before the first.
    if (index < 0) {
        return;
    }
    const auto at = static_cast<std::size_t>(index);
    if (at >= fields_.size()) {
        fields_.resize(at + 1);
    }
    fields_[at] = value;
}

void TCompetitor::ClearFields() {
    std::fill(fields_.begin(), fields_.end(), std::string());
}

void TCompetitor::ChangePassword(const QString& text) {
    password_ = toCp1251(text);
}

bool TCompetitor::CheckPassword(const QString& text) const {
    return password_ == toCp1251(text);
}

void TCompetitor::Assign(const TExaminerElement& source) {
    TExaminerElement::Assign(source);
    if (const auto* account = dynamic_cast<const TCompetitor*>(&source)) {
        fields_ = account->fields_;
        role_ = account->role_;
    }
}

}  // namespace kvalor
