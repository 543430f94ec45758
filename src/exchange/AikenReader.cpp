#include "exchange/AikenReader.h"

#include <utility>
#include <vector>

#include <QStringList>
#include <QStringView>

#include "model/TypeIds.h"

namespace kvalor {

namespace {

// "ANSWER: B" gives "B".
bool answerLine(QStringView line, QString& letter) {
    static const QStringView kAnswer = u"ANSWER";
    const QStringView text = line.trimmed();
    if (!text.startsWith(kAnswer, Qt::CaseInsensitive)) {
        return false;
    }
    const QStringView rest = text.sliced(kAnswer.size()).trimmed();
    if (!rest.startsWith(u':')) {
        return false;
    }
    letter = rest.sliced(1).trimmed().toString().toUpper();
    return true;
}

// "B. text" or "B) text" gives "B" and "text".
bool optionLine(QStringView line, QString& letter, QString& text) {
    const QStringView trimmed = line.trimmed();
    if (trimmed.size() < 2 || trimmed[0] < u'A' || trimmed[0] > u'Z' ||
        (trimmed[1] != u'.' && trimmed[1] != u')') ||
        (trimmed.size() > 2 && !trimmed[2].isSpace())) {
        return false;
    }
    letter = trimmed.first(1).toString();
    text = trimmed.sliced(2).trimmed().toString();
    return true;
}

struct Option {
    QString letter;
    QString text;
};

// The question being read: its text lines, its options and the letter of the ANSWER line.
struct AikenQuestion {
    int line = 0;
    QString text;
    std::vector<Option> options;
    bool tooManyOptions = false;
    bool hasAnswer = false;
    QString answer;

    bool started() const { return line != 0; }
};

// Hands the question read so far to the file and starts the next one.
void finish(QuestionFile& file, AikenQuestion& next) {
    const AikenQuestion question = std::exchange(next, AikenQuestion());
    if (!question.started()) {
        return;
    }
    const QString& text = question.text;
    const auto skip = [&](const QString& reason) { file.Skip(question.line, text, reason); };
    if (question.tooManyOptions) {
        skip(TooManyAnswers());
    } else if (question.options.empty()) {
        skip(QStringLiteral("нет вариантов ответа"));
    } else if (!question.hasAnswer) {
        skip(QStringLiteral("нет строки «ANSWER:»"));
    } else {
        DraftQuestion draft;
        draft.line = question.line;
        draft.text = text;
        draft.type = kSingleAnswer;
        QStringList letters;
        for (const Option& option : question.options) {
            if (letters.contains(option.letter)) {
                return skip(QStringLiteral("вариант «%1» повторяется").arg(option.letter));
            }
            letters << option.letter;
            draft.answers.push_back({option.text, option.letter == question.answer});
        }
        if (!letters.contains(question.answer)) {
            skip(QStringLiteral("в строке «ANSWER:» указан вариант «%1», которого нет среди "
                                "вариантов ответа")
                     .arg(FirstWords(question.answer)));
        } else {
            file.Add(draft);
        }
    }
}

}  // namespace

QuestionFile ReadAiken(const QString& text) {
    QuestionFile file;
    AikenQuestion question;
    ForEachLine(text, [&](int number, QStringView line) {
        if (line.trimmed().isEmpty()) {
            finish(file, question);
            return;
        }
        if (!question.started()) {
            question.line = number;
        }
        Option option;
        if (answerLine(line, question.answer)) {
            question.hasAnswer = true;
            finish(file, question);
        } else if (optionLine(line, option.letter, option.text)) {
            if (question.options.size() == static_cast<std::size_t>(kMaxQuestionAnswers)) {
                question.tooManyOptions = true;
            } else {
                question.options.push_back(std::move(option));
            }
        } else if (question.options.empty()) {
            question.text.append(u' ').append(line);
        } else {
            // A long option wrapped onto the next line.
            question.options.back().text.append(u' ').append(line);
        }
    });
    finish(file, question);
    return file;
}

bool LooksLikeAiken(const QString& text) {
    qsizetype answers = 0;
    qsizetype braces = 0;
    QString letter;
    ForEachLine(text, [&](int, QStringView line) {
        answers += answerLine(line, letter) ? 1 : 0;
        braces += line.contains(u'{') ? 1 : 0;
    });
    return answers > braces;
}

}  // namespace kvalor
