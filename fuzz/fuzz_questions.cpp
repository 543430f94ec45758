// Feeds arbitrary bytes to the readers of question files: the decoding of the text, the GIFT
// reader, the Aiken reader and the Moodle XML reader.
// Build with clang and libFuzzer, from the repository root:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fPIC -Isrc \
//     $(pkg-config --cflags Qt6Core) fuzz/fuzz_questions.cpp src/exchange/AikenReader.cpp \
//     src/exchange/GiftReader.cpp src/exchange/Markup.cpp src/exchange/MoodleXmlReader.cpp \
//     src/exchange/QuestionFile.cpp src/exchange/QuestionText.cpp src/util/Codepage.cpp
//     $(pkg-config --libs Qt6Core) \ -o fuzz_questions

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QString>

#include "exchange/AikenReader.h"
#include "exchange/GiftReader.h"
#include "exchange/MoodleXmlReader.h"
#include "exchange/QuestionFile.h"
#include "exchange/QuestionText.h"
#include "model/TypeIds.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

// Whatever the input, a question that comes out is one Kvalor can hold and examine: a text,
// answers with texts, and a key that fits its type; every note points into the text.
void check(const QuestionFile& file, qsizetype lines) {
    for (const ImportedQuestion& question : file.Questions()) {
        int right = 0;
        for (const ImportedAnswer& answer : question.answers) {
            if (answer.text.empty()) {
                std::abort();
            }
            right += answer.right ? 1 : 0;
        }
        const bool keyFits = question.type == kSingleAnswer      ? right == 1
                             : question.type == kMultipleAnswers ? right >= 1
                             : question.type == kSequence ? right == 0 && !question.answers.empty()
                                                          : false;
        if (question.text.empty() || !keyFits || question.line < 1 || question.line > lines) {
            std::abort();
        }
    }
    for (const ImportNote& note : file.Notes()) {
        if (note.line < 1 || note.line > lines || note.reason.isEmpty()) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString text;
    try {
        text = DecodeQuestionText(bytes, QStringLiteral("fuzz.txt"));
    } catch (const KvalorError&) {
        // Refused as binary: the readers still must cope with the same bytes read as text.
        text = QString::fromLatin1(bytes);
    }
    const qsizetype lines = text.count(u'\n') + 1;
    // Only the program's own errors may come out: too many questions, or XML refused.
    for (const auto read : {&ReadGift, &ReadAiken}) {
        try {
            check(read(text), lines);
        } catch (const KvalorError&) {
        }
    }
    try {
        // XML counts a lone carriage return as a line break too.
        check(ReadMoodleXml(text, QStringLiteral("fuzz.xml")), lines + text.count(u'\r'));
    } catch (const KvalorError&) {
    }
    return 0;
}
