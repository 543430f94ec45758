#pragma once

#include <cstdint>
#include <exception>

#include <QString>

#include "util/Error.h"

namespace kvalor {

// Result codes of the compound-file layer. The values are the structured-storage status codes,
// so that the messages show the same numbers on every platform.
enum class StorageResult : std::uint32_t {
    FileNotFound = 0x80030002,
    PathNotFound = 0x80030003,
    AccessDenied = 0x80030005,
    InsufficientMemory = 0x80030008,
    WriteFault = 0x8003001D,
    ReadFault = 0x8003001E,
    ShareViolation = 0x80030020,
    DiskFull = 0x80030070,
    NotCompoundFile = 0x800300FB,
    DamagedFile = 0x80030109,
};

// The code as 8 upper-case hexadecimal digits, e.g. "80030020".
QString formatResultCode(StorageResult code);

// A failure of the compound-file layer. The message is the generic "Ошибка чтения $<code>" or
// "Ошибка записи $<code>"; callers that need another wording build it from code().
class StorageError : public KvalorError {
public:
    enum class Operation { Reading, Writing };

    StorageError(StorageResult code, Operation operation);
    // The same failure under the wording of another file format.
    StorageError(StorageResult code, const QString& message);

    StorageResult code() const noexcept { return code_; }

private:
    StorageResult code_;
};

// The text that tells a user what went wrong with a file and what he can do about it:
// "<failure>: <cause in words> (<message with its code>)" when the error is a StorageError whose
// code has words (no space on the disk, no right to write in the folder, the file in use),
// otherwise "<failure>:\n<message>". Codes alone tell nobody anything.
QString DescribeFileFailure(const QString& failure, const std::exception& error,
                            const QString& fileName);

}  // namespace kvalor
