#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

#include "model/ExaminerElement.h"
#include "util/ByteStream.h"
#include "util/Guid.h"

namespace kvalor {

// The account fields the program reads and writes by their meaning; the other stored fields
// are kept as they are.
enum class AccountField : int {
    FirstName = 0,
    LastName = 1,  // the display name of an applicant
    Patronymic = 2,
    Organisation = 8,
    Town = 9,
};

// A user account: the account fields (surname, first name, ...), the password and the role.
// The record is the element record followed by the role, the enciphered password and the fields.
class TCompetitor : public TExaminerElement {
public:
    // Every account has at least this many fields.
    static constexpr int kFieldCount = 10;
    // The element record, the role, the password's length and the field count.
    static constexpr std::size_t kMinRecordBytes = TExaminerElement::kMinRecordBytes + 1 + 4 + 4;

    // Kind 1, the null id (readers and callers give it one), empty fields and password,
    // applicant role.
    TCompetitor();
    // An account with a given id (the built-in accounts have fixed ones).
    explicit TCompetitor(const Guid& id);

    // An empty string for an index out of range.
    const std::string& GetField(int index) const;
    const std::string& GetField(AccountField field) const {
        return GetField(static_cast<int>(field));
    }
    // Extends the list with empty fields as needed.
    void SetField(int index, const std::string& value);
    void SetField(AccountField field, const std::string& value) {
        SetField(static_cast<int>(field), value);
    }
    void ClearFields();
    const std::vector<std::string>& Fields() const { return fields_; }

    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& password) { password_ = password; }
    bool HasNoPassword() const { return password_.empty(); }
    // The password as typed: the whole text counts, case and blanks included. It is kept in the
    // code page and enciphered only where the account is written.
    void ChangePassword(const QString& text);
    bool CheckPassword(const QString& text) const;

    std::uint8_t Role() const { return role_; }
    void SetRole(std::uint8_t role) { role_ = role; }

    std::string_view ClassName() const override { return "TCompetitor"; }

    void SaveToStream(ByteStream& stream) const override;
    void LoadFromStream(ByteStream& stream, const ReadContext& context) override;
    // Copies the element part (with a new id), the fields and the role; never the password.
    void Assign(const TExaminerElement& source) override;

private:
    std::vector<std::string> fields_;
    std::string password_;
    std::uint8_t role_ = 0;
};

// An account read from stored data: the object with its fields.
inline constexpr EntryCost kAccountEntryCost{
    TCompetitor::kMinRecordBytes,
    OwnedObjectBytes(sizeof(TCompetitor)) + TCompetitor::kFieldCount * sizeof(std::string) + 16};

}  // namespace kvalor
