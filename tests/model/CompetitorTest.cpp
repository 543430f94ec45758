#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "RecordBytes.h"
#include "cipher/KVTEACrypt.h"
#include "model/AccountMessages.h"
#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

const Guid kId = Guid::fromLiteral("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");

std::string cp(const char* utf8) {
    return toCp1251(QString::fromUtf8(utf8));
}

// Collects the account messages of one test and puts the previous handler back.
class CapturedMessages {
public:
    CapturedMessages()
        : previous_(setAccountMessageHandler([this](const QString& text) { texts << text; })) {}
    ~CapturedMessages() { setAccountMessageHandler(previous_); }

    QStringList texts;

private:
    AccountMessageHandler previous_;
};

// An account record: the element part, the role, the stored password and the fields.
RecordBytes accountRecord(const std::string& name, std::uint8_t role, const std::string& password,
                          const std::vector<std::string>& fields, const Guid& id = kId) {
    RecordBytes bytes;
    bytes.element(Guid(), id, 1, kAccountKind, 3, name).u8(role).str(password);
    bytes.i32(static_cast<std::int32_t>(fields.size()));
    for (const auto& field : fields) {
        bytes.str(field);
    }
    return bytes;
}

std::vector<std::string> tenFields() {
    return {cp("Иван"), cp("Иванов"), cp("Иванович"), "3",        "4", "5",
            "6",        "7",          cp("ТГУ"),      cp("Тверь")};
}

// Reads the record with the current format into a new account.
std::unique_ptr<TCompetitor> readAccount(const std::string& bytes) {
    auto account = std::make_unique<TCompetitor>();
    ByteStream in(bytes);
    account->LoadFromStream(in, ReadContext{});
    EXPECT_TRUE(in.atEnd());
    return account;
}

}  // namespace

TEST(Competitor, NewAccountHasTenEmptyFieldsNoPasswordAndTheApplicantRole) {
    TCompetitor account;
    EXPECT_TRUE(account.Id().isNull());
    EXPECT_TRUE(account.TypeId().isNull());
    EXPECT_EQ(account.GetKind(), kAccountKind);
    EXPECT_EQ(account.Fields(), std::vector<std::string>(10));
    EXPECT_TRUE(account.HasNoPassword());
    EXPECT_EQ(account.Role(), kRoleApplicant);

    account.SetField(12, "x");
    EXPECT_EQ(account.Fields().size(), 13u);
    EXPECT_EQ(account.GetField(12), "x");
    EXPECT_EQ(account.GetField(11), "");
    EXPECT_EQ(account.GetField(13), "");
    EXPECT_EQ(account.GetField(-1), "");
    account.ClearFields();
    EXPECT_EQ(account.Fields(), std::vector<std::string>(13));
}

TEST(Competitor, RecordWithoutPasswordHasTheDocumentedLayout) {
    const std::string name = cp("Иванов И.");
    const auto expected = accountRecord(name, kRoleTeacher, "", tenFields()).data();

    // The reader takes the hand-built record...
    const auto read = readAccount(expected);
    EXPECT_EQ(read->Id(), kId);
    EXPECT_EQ(read->GetName(), name);
    EXPECT_EQ(read->GetNumber(), 3);
    EXPECT_EQ(read->Role(), kRoleTeacher);
    EXPECT_TRUE(read->HasNoPassword());
    EXPECT_EQ(read->Fields(), tenFields());

    // ... and the writer produces it byte for byte, N = 0 for the empty password.
    ByteStream out;
    read->SaveToStream(out);
    EXPECT_EQ(out.data(), expected);
}

TEST(Competitor, PasswordIsStoredEncipheredAndReadBack) {
    const std::string password = cp("Пароль-1");  // one block, no padding
    // A container assembled from fixed parts, as another installation might have written it.
    const THash container = AssembleTeaContainer(password, {1, 2, 3, 4}, "", 5);
    ASSERT_NE(container, password);
    const auto read =
        readAccount(accountRecord("a", kRoleApplicant, container, tenFields()).data());
    EXPECT_EQ(read->Password(), password);

    ByteStream out;
    read->SaveToStream(out);
    // Element part (16 + 16 + 1 + 1 + 4 + 4 + 1) and the role, then the password section.
    ByteStream written(out.data());
    written.seek(16 + 16 + 1 + 1 + 4 + 4 + 1 + 1);
    THash stored = written.readString();
    EXPECT_NE(stored.find(std::string("ETA")), std::string::npos);
    EXPECT_EQ(stored.find(password), std::string::npos) << "the password must not be stored plain";
    ASSERT_TRUE(TKVTEADecrypt().decipher(stored));
    EXPECT_EQ(stored, password);

    EXPECT_EQ(readAccount(out.data())->Password(), password);
}

TEST(Competitor, FewerStoredFieldsAreExtendedToTenAndWrittenAsTen) {
    const std::vector<std::string> three = {cp("Анна"), cp("Петрова"), cp("Сергеевна")};
    const auto read = readAccount(accountRecord("p", kRoleApplicant, "", three).data());
    std::vector<std::string> expectedFields = three;
    expectedFields.resize(10);
    EXPECT_EQ(read->Fields(), expectedFields);

    ByteStream out;
    read->SaveToStream(out);
    EXPECT_EQ(out.data(), accountRecord("p", kRoleApplicant, "", expectedFields).data());

    // An account has ten fields: more are read over and never kept, as they are never written.
    std::vector<std::string> twelve = tenFields();
    twelve.push_back("11");
    twelve.push_back("12");
    const auto many = readAccount(accountRecord("m", kRoleApplicant, "", twelve).data());
    EXPECT_EQ(many->Fields(), tenFields());
    ByteStream manyOut;
    many->SaveToStream(manyOut);
    EXPECT_EQ(manyOut.data(), accountRecord("m", kRoleApplicant, "", tenFields()).data());
}

TEST(Competitor, DamagedPasswordsAreReportedAndNeverTakenForFields) {
    CapturedMessages messages;

    // Bytes that are no cipher container are the password as they are.
    EXPECT_EQ(readAccount(accountRecord("a", 0, "plain", tenFields()).data())->Password(), "plain");
    // A negative length is an empty password; the fields follow directly.
    RecordBytes negative;
    negative.element(Guid(), kId, 1, kAccountKind, 0, "n").u8(0).i32(-5).i32(0);
    const auto negativeRead = readAccount(negative.data());
    EXPECT_TRUE(negativeRead->HasNoPassword());
    EXPECT_EQ(negativeRead->Fields().size(), 10u);
    EXPECT_TRUE(messages.texts.isEmpty());

    // A password section that runs past the data is reported with the account's name; the
    // bytes after the length are not read as fields, so the record itself fails.
    RecordBytes truncated;
    truncated.element(Guid(), kId, 1, kAccountKind, 0, cp("Петров")).u8(0).i32(100).i32(0).i32(0);
    TCompetitor account;
    ByteStream in(truncated.data());
    EXPECT_THROW(account.LoadFromStream(in, ReadContext{}), ReadError);
    EXPECT_TRUE(account.HasNoPassword());
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0], QString::fromUtf8("Ошибка чтения информации о соискателе Петров"));

    // A record that ends before the role is reported the same way.
    TCompetitor noRole;
    ByteStream shortIn(RecordBytes().element(Guid(), kId, 1, kAccountKind, 0, "r").data());
    EXPECT_THROW(noRole.LoadFromStream(shortIn, ReadContext{}), ReadError);
    EXPECT_EQ(messages.texts.size(), 2);
}

TEST(Competitor, DamagedFieldCountsFailBeforeAllocating) {
    CapturedMessages messages;
    for (const std::int32_t count : {-1, 3, 0x7FFFFFFF}) {
        RecordBytes bytes;
        bytes.element(Guid(), kId, 1, kAccountKind, 0, "f").u8(0).i32(0).i32(count).str("x");
        TCompetitor account;
        ByteStream in(bytes.data());
        EXPECT_THROW(account.LoadFromStream(in, ReadContext{}), ReadError) << count;
    }
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST(Competitor, NullIdIsReplacedAndTheClassIdentityIsKept) {
    // A record claiming another type id and kind still reads as an account.
    RecordBytes bytes;
    bytes.element(Guid::fromLiteral("{736AC03F-887D-492E-ACB4-E7A4E69834BD}"), Guid(), 0, 7, 0, "x")
        .u8(kRoleAdministrator)
        .i32(0)
        .i32(0);
    const auto read = readAccount(bytes.data());
    EXPECT_FALSE(read->Id().isNull());
    EXPECT_TRUE(read->TypeId().isNull());
    EXPECT_EQ(read->GetKind(), kAccountKind);
    EXPECT_FALSE(read->Editable());
    EXPECT_EQ(read->Role(), kRoleAdministrator);
}

TEST(Competitor, AssignCopiesFieldsAndRoleButNeverThePassword) {
    TCompetitor source(kId);
    source.SetName("src");
    source.SetField(0, "first");
    source.SetField(9, "town");
    source.SetRole(kRoleTeacher);
    source.SetPassword("secret");

    TCompetitor copy;
    copy.SetPassword("mine");
    copy.Assign(source);
    EXPECT_EQ(copy.GetName(), "src");
    EXPECT_EQ(copy.Fields(), source.Fields());
    EXPECT_EQ(copy.Role(), kRoleTeacher);
    EXPECT_EQ(copy.Password(), "mine");
    EXPECT_FALSE(copy.Id().isNull());
    EXPECT_NE(copy.Id(), source.Id());
}
