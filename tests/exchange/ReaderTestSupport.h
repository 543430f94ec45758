#pragma once

// Readable forms of what a question reader made of a text, for table-driven tests.

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QString>

#include "exchange/QuestionFile.h"
#include "util/Codepage.h"

// Readable QStrings in the messages of failed assertions.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace kvalor::readertest {

// "0 Сколько будет 2+2? | +4 -3" : type, text, then each answer marked right (+) or wrong (-).
inline std::vector<std::string> questionsOf(const QuestionFile& file) {
    std::vector<std::string> lines;
    for (const ImportedQuestion& question : file.Questions()) {
        QString line = QString::number(question.type) + u' ' + fromCp1251(question.text) + " |";
        for (const ImportedAnswer& answer : question.answers) {
            line += (answer.right ? " +" : " -") + fromCp1251(answer.text);
        }
        lines.push_back(line.toStdString());
    }
    return lines;
}

// A note expected at a line: left out (skipped) or altered, with a phrase of its reason.
struct ExpectedNote {
    int line;
    bool skipped;
    const char* phrase;
};

inline void expectNotes(const QuestionFile& file, const std::vector<ExpectedNote>& expected) {
    ASSERT_EQ(file.Notes().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ImportNote& note = file.Notes()[i];
        EXPECT_EQ(note.line, expected[i].line) << i;
        EXPECT_EQ(note.skipped, expected[i].skipped) << i;
        EXPECT_TRUE(note.reason.contains(QString::fromUtf8(expected[i].phrase)))
            << note.reason.toStdString();
    }
}

}  // namespace kvalor::readertest
