#include "exchange/QuestionText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "exchange/AikenReader.h"
#include "exchange/GiftReader.h"
#include "exchange/MoodleXmlReader.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

QString shownName(const QString& fileName) {
    return QFileInfo(fileName).fileName();
}

[[noreturn]] void notText(const QString& fileName) {
    throw KvalorError(
        QStringLiteral("Файл «%1» не является текстовым файлом вопросов").arg(shownName(fileName)));
}

// Control characters other than line breaks and tabs, C1 controls included: text has next
// to none, binary data has them everywhere.
bool looksBinary(const QString& text) {
    qsizetype controls = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool layout = u == u'\t' || u == u'\n' || u == u'\r' || u == u'\f' || u == u'\v';
        if ((u < 0x20 && !layout) || (u >= 0x7F && u <= 0x9F)) {
            ++controls;
        }
    }
    return controls * 100 > text.size();
}

bool decodes(QStringConverter::Encoding encoding, QByteArrayView bytes, QString& text) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    text = decoder.decode(bytes);
    return !decoder.hasError();
}

}  // namespace

QString DecodeQuestionText(const QByteArray& bytes, const QString& fileName) {
    QString text;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const auto encoding =
            bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        // The decoder drops a trailing half character silently.
        if (bytes.size() % 2 != 0 || !decodes(encoding, QByteArrayView(bytes).sliced(2), text)) {
            notText(fileName);
        }
    } else {
        // UTF-16 without a mark and every other binary format carry zero bytes; text never does.
        if (bytes.contains('\0')) {
            notText(fileName);
        }
        const QByteArrayView body =
            bytes.startsWith("\xEF\xBB\xBF") ? QByteArrayView(bytes).sliced(3) : bytes;
        if (!decodes(QStringConverter::Utf8, body, text)) {
            text = fromCp1251(bytes.toStdString());
        }
    }
    if (looksBinary(text)) {
        notText(fileName);
    }
    return text;
}

QuestionFormat DetectQuestionFormat(const QString& text, const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix();
    if (suffix.compare(QStringLiteral("gift"), Qt::CaseInsensitive) == 0) {
        return QuestionFormat::Gift;
    }
    if (LooksLikeXml(text) || suffix.compare(QStringLiteral("xml"), Qt::CaseInsensitive) == 0) {
        return QuestionFormat::MoodleXml;
    }
    return LooksLikeAiken(text) ? QuestionFormat::Aiken : QuestionFormat::Gift;
}

QuestionFile ReadQuestionFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        throw KvalorError(
            QStringLiteral("Не удалось открыть файл «%1»").arg(QDir::toNativeSeparators(fileName)));
    }
    // Read one byte beyond the limit, so that a file still growing is caught as well.
    const QByteArray bytes =
        file.size() > kMaxQuestionFileBytes ? QByteArray() : file.read(kMaxQuestionFileBytes + 1);
    if (file.size() > kMaxQuestionFileBytes || bytes.size() > kMaxQuestionFileBytes) {
        throw KvalorError(QStringLiteral("Файл «%1» слишком велик: вопросы читаются из файлов "
                                         "размером не больше %2 МБ")
                              .arg(shownName(fileName))
                              .arg(kMaxQuestionFileBytes / (1024 * 1024)));
    }
    if (file.error() != QFileDevice::NoError) {
        throw KvalorError(QStringLiteral("Ошибка чтения файла «%1»").arg(shownName(fileName)));
    }
    const QString text = DecodeQuestionText(bytes, fileName);
    const QuestionFormat format = DetectQuestionFormat(text, fileName);
    QuestionFile questions = format == QuestionFormat::MoodleXml ? ReadMoodleXml(text, fileName)
                             : format == QuestionFormat::Aiken   ? ReadAiken(text)
                                                                 : ReadGift(text);
    if (questions.Empty()) {
        throw KvalorError(QStringLiteral("В файле «%1» нет вопросов в формате %2")
                              .arg(shownName(fileName), format == QuestionFormat::MoodleXml
                                                            ? QStringLiteral("Moodle XML")
                                                            : QStringLiteral("GIFT или Aiken")));
    }
    return questions;
}

}  // namespace kvalor
