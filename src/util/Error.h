#pragma once

#include <QString>
#include <stdexcept>

namespace kvalor {

// The one exception type of the program: it carries the exact Russian text that the user sees.
class KvalorError : public std::runtime_error {
public:
    explicit KvalorError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    explicit KvalorError(const char* utf8Message) : KvalorError(QString::fromUtf8(utf8Message)) {}

    const QString& message() const noexcept { return message_; }

private:
    QString message_;
};

// Raised by the readers of stored data when a record ends early or contradicts itself.
class ReadError : public KvalorError {
public:
    using KvalorError::KvalorError;
};

// What the readers say of a record that ends early or cannot be what it claims.
inline constexpr const char* kDamagedDataMessage =
    "Ошибка чтения потока: данные повреждены или неполны";

}  // namespace kvalor
