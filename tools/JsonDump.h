#pragma once

#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>

namespace kvalor {

class CompoundStorageReader;
class TKvalor;

// Bytes 2 and 3 of a data file's "Version" stream as stored (a load sets both to 1); none
// when the stream is shorter.
using StoredOptions = std::pair<std::uint8_t, std::uint8_t>;
std::optional<StoredOptions> ReadStoredOptions(const CompoundStorageReader& root);

// The lists of a root object as DumpFile shows those of a data file.
void InsertDataLists(QJsonObject& dump, const TKvalor& root);

// The whole content of a data file, a Studies file or a user exchange file, told apart by
// their storages, as JSON. Data and exchange files are shown as stored: read without the
// fix-ups of a program start or the rules of an import, so nothing is linked, sorted, added or
// dropped; the names of the tests, accounts and sources that studies and tasks refer to are
// looked up by id (null when this file has no such object). Passwords are never shown, only
// whether an account has one.
QJsonObject DumpFile(const QString& fileName);

}  // namespace kvalor
