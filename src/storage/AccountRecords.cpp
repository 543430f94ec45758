// The records of user accounts and groups of users: an account is the element record, the role,
// the enciphered password and the fields.

#include <QString>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "cipher/KVTEACrypt.h"
#include "model/AccountMessages.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "util/ByteStream.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// Each stored field is at least its 4-byte length.
constexpr EntryCost kStoredFieldCost{4, 0};

QString accountMessage(const char* text, const std::string& name) {
    return QString::fromUtf8(text) + fromCp1251(name);
}

}  // namespace

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

void TCompetitors::LoadFromStream(ByteStream& stream, const ReadContext& context) {
    const bool wasLoading = loading_;
    loading_ = true;
    try {
        TExaminerCollection::LoadFromStream(stream, context);
    } catch (...) {
        loading_ = wasLoading;
        throw;
    }
    loading_ = wasLoading;
}

}  // namespace kvalor
