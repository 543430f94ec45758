#include "model/Competitor.h"

#include <exception>

#include "cipher/KVTEACrypt.h"
#include "model/AccountMessages.h"
#include "model/BuiltinAccounts.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

const std::string kEmptyField;

// Each stored field is at least its 4-byte length.
constexpr EntryCost kStoredFieldCost{4, 0};

QString accountMessage(const char* text, const std::string& name) {
    return QString::fromUtf8(text) + fromCp1251(name);
}

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

void TCompetitor::SaveToStream(ByteStream& stream) const {
    TExaminerElement::SaveToStream(stream);
    stream.writeU8(role_);

    THash password = password_;
    try {
        TKVTEAEncrypt().encipher(password);
    } catch (const std::exception&) {
        password.clear();
        reportAccountMessage(accountMessage("Ошибка записи информации о соискателе ", GetName()));
    }
    stream.writeString(password);

    stream.writeI32(kFieldCount);
    for (int i = 0; i < kFieldCount; ++i) {
        stream.writeString(GetField(i));
    }
}

void TCompetitor::LoadFromStream(ByteStream& stream, const ReadContext& context) {
    TExaminerElement::LoadFromStream(stream, context);
    if (Id().isNull()) {
        NewId();
    }

    password_.clear();
    try {
        role_ = stream.readU8();
        const std::int32_t length = stream.readI32();
        if (length > 0) {
            THash bytes = stream.readBytes(static_cast<std::size_t>(length));
            // Bytes that are no cipher container are taken as they are.
            TKVTEADecrypt().decipher(bytes);
            password_ = std::move(bytes);
        }
    } catch (const ReadError&) {
        // The password section runs past the data: where the fields would start is unknown,
        // so nothing after it is taken for fields and the field count below fails the record.
        stream.seek(stream.size());
        reportAccountMessage(accountMessage("Ошибка чтения информации о соискателе ", GetName()));
    }

    // The fields are part of the account's own cost; fields past the ten that an account has
    // are read over and dropped, as they would never be written back.
    const std::int32_t count = stream.readCount(kStoredFieldCost);
    std::vector<std::string> fields(kFieldCount);
    for (std::int32_t i = 0; i < count; ++i) {
        if (i < kFieldCount) {
            fields[static_cast<std::size_t>(i)] = stream.readString();
        } else {
            stream.skipString();
        }
    }
    fields_ = std::move(fields);
}

}  // namespace kvalor
