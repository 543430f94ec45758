#include "exchange/GiftReader.h"

#include <vector>

#include <QStringView>

#include "exchange/Markup.h"
#include "model/TypeIds.h"

namespace kvalor {

namespace {

const QString kBlank = QStringLiteral("_____");

enum class TextFormat { Moodle, Html, Plain, Markdown };

struct Block {
    int line = 0;
    QString text;
};

struct GiftAnswer {
    QChar mark;  // '=' or '~'
    double weight = 0.0;
    QStringView text;  // raw, feedback cut off
};

QString noCounterpart(const char* what) {
    return QString::fromUtf8(what) + QStringLiteral(": в Квалоре нет такого типа вопроса");
}

// Questions are separated by blank lines; comment lines are dropped without ending one.
std::vector<Block> splitBlocks(const QString& text) {
    std::vector<Block> blocks;
    Block current;
    ForEachLine(text, [&](int number, QStringView line) {
        const QStringView trimmed = line.trimmed();
        if (trimmed.isEmpty()) {
            if (current.line != 0) {
                blocks.push_back(std::move(current));
                current = Block();
            }
            return;
        }
        if (trimmed.startsWith(u"//")) {
            return;
        }
        if (current.line == 0) {
            current.line = number;
        } else {
            current.text.append(u'\n');
        }
        current.text.append(line);
    });
    if (current.line != 0) {
        blocks.push_back(std::move(current));
    }
    return blocks;
}

// The index of the first of chars at or after from that no backslash escapes, or -1.
qsizetype findUnescaped(QStringView text, qsizetype from, QStringView chars) {
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text[i] == u'\\') {
            ++i;
        } else if (chars.contains(text[i])) {
            return i;
        }
    }
    return -1;
}

// The index of the first unescaped occurrence of a sequence such as "::" or "->", or -1.
qsizetype findSequence(QStringView text, qsizetype from, QStringView sequence) {
    for (qsizetype i = findUnescaped(text, from, sequence.first(1)); i >= 0;
         i = findUnescaped(text, i + 1, sequence.first(1))) {
        if (text.sliced(i).startsWith(sequence)) {
            return i;
        }
    }
    return -1;
}

QString unescape(QStringView raw) {
    static const QStringView kEscaped = u"~=#{}:\\";
    QString text;
    text.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == u'\\' && i + 1 < raw.size()) {
            const QChar next = raw[i + 1];
            if (next == u'n') {
                text.append(u' ');  // texts are single lines
                ++i;
                continue;
            }
            if (kEscaped.contains(next)) {
                text.append(next);
                ++i;
                continue;
            }
        }
        text.append(raw[i]);
    }
    return text;
}

// Takes a leading "[html]", "[moodle]", "[plain]" or "[markdown]" off the text.
TextFormat takeFormat(QStringView& raw, TextFormat fallback) {
    static const struct {
        QStringView name;
        TextFormat format;
    } kFormats[] = {{u"[html]", TextFormat::Html},
                    {u"[moodle]", TextFormat::Moodle},
                    {u"[plain]", TextFormat::Plain},
                    {u"[markdown]", TextFormat::Markdown}};
    const QStringView text = raw.trimmed();
    for (const auto& known : kFormats) {
        if (text.startsWith(known.name, Qt::CaseInsensitive)) {
            raw = text.sliced(known.name.size());
            return known.format;
        }
    }
    return fallback;
}

QString cleanText(QStringView raw, TextFormat format) {
    QString text = unescape(raw);
    switch (format) {
        case TextFormat::Plain:
            break;
        case TextFormat::Markdown:
            text = PlainFromHtml(PlainFromMarkdown(text));
            break;
        case TextFormat::Html:
        case TextFormat::Moodle:
            text = PlainFromHtml(text);
            break;
    }
    return SimplifyText(text);
}

// The answers of a choice, in order; an empty result and a reason when they are malformed.
QString splitAnswers(QStringView list, std::vector<GiftAnswer>& answers) {
    if (list[0] != u'=' && list[0] != u'~') {
        return QStringLiteral("вариант ответа не начинается с «=» или «~»");
    }
    for (qsizetype at = 0; at < list.size();) {
        if (answers.size() == static_cast<std::size_t>(kMaxQuestionAnswers)) {
            return TooManyAnswers();
        }
        qsizetype next = findUnescaped(list, at + 1, u"=~");
        if (next < 0) {
            next = list.size();
        }
        GiftAnswer answer{list[at], 0.0, {}};
        QStringView part = list.sliced(at + 1, next - at - 1).trimmed();
        if (part.startsWith(u'%')) {
            const qsizetype close = part.indexOf(u'%', 1);
            bool ok = close > 0;
            if (ok) {
                answer.weight = part.sliced(1, close - 1)
                                    .trimmed()
                                    .toString()
                                    .replace(u',', u'.')
                                    .toDouble(&ok);
            }
            if (!ok) {
                return QStringLiteral("неверный вес ответа «%1»")
                    .arg(FirstWords(part.first(close > 0 ? close + 1 : part.size()).toString()));
            }
            part = part.sliced(close + 1);
        }
        const qsizetype feedback = findUnescaped(part, 0, u"#");
        answer.text = feedback < 0 ? part : part.first(feedback);
        answers.push_back(answer);
        at = next;
    }
    return {};
}

// Maps the answer block onto the draft; returns why the question is left out, or nothing.
QString mapAnswers(QStringView block, TextFormat format, DraftQuestion& draft) {
    const qsizetype general = findSequence(block, 0, u"####");
    const QStringView content = (general < 0 ? block : block.first(general)).trimmed();
    if (content.isEmpty()) {
        return noCounterpart("эссе");
    }
    if (content.startsWith(u'#')) {
        return noCounterpart("числовой ответ");
    }
    // A "~" makes a choice, whatever its answers say: "->" may well stand in an answer text.
    // Only a block of "=" answers with pairs "a -> b" is matching.
    if (findUnescaped(content, 0, u"~") < 0 && findSequence(content, 0, u"->") >= 0) {
        return noCounterpart("вопрос на соответствие");
    }
    const qsizetype feedback = findUnescaped(content, 0, u"#");
    const QString key =
        content.first(feedback < 0 ? content.size() : feedback).trimmed().toString().toUpper();
    if (key == u"T" || key == u"TRUE" || key == u"F" || key == u"FALSE") {
        const bool isTrue = key.startsWith(u'T');
        draft.type = kSingleAnswer;
        draft.answers = {{QStringLiteral("Верно"), isTrue}, {QStringLiteral("Неверно"), !isTrue}};
        return {};
    }

    std::vector<GiftAnswer> answers;
    if (QString problem = splitAnswers(content, answers); !problem.isEmpty()) {
        return problem;
    }
    int rightMarks = 0;
    for (const GiftAnswer& answer : answers) {
        rightMarks += answer.mark == u'=' ? 1 : 0;
    }
    if (rightMarks == static_cast<int>(answers.size())) {
        return noCounterpart("короткий ответ");
    }
    if (rightMarks > 1) {
        return QStringLiteral(
            "несколько ответов «=» среди вариантов «~»: в Квалоре нет вопроса, "
            "в котором верен любой из нескольких ответов");
    }
    draft.type = rightMarks == 1 ? kSingleAnswer : kMultipleAnswers;
    bool anyRight = false;
    bool partialCredit = false;
    for (const GiftAnswer& answer : answers) {
        // With one "=", Kvalor has no partial credit to give the weighted "~" answers.
        const bool right = answer.mark == u'=' || (rightMarks == 0 && answer.weight > 0);
        partialCredit |= rightMarks == 1 && answer.mark == u'~' && answer.weight > 0;
        anyRight |= right;
        QStringView text = answer.text;
        const TextFormat answerFormat = takeFormat(text, format);
        draft.answers.push_back({cleanText(text, answerFormat), right});
    }
    if (!anyRight) {
        return QStringLiteral("ни один ответ не отмечен как верный");
    }
    if (partialCredit) {
        draft.changes << QStringLiteral(
            "частичные баллы ответов «~» не переносятся: эти ответы считаются неверными");
    }
    return {};
}

// The sentence of a missing-word question with the blank where the answers stood.
QString withBlank(const QString& before, const QString& after) {
    static const QStringView kClosing = u".,;:!?)»\"'";
    const bool gapAfter = !after.isEmpty() && !kClosing.contains(after.front());
    return SimplifyText(before + u' ' + kBlank + (gapAfter ? QStringLiteral(" ") : QString()) +
                        after);
}

void readQuestion(QuestionFile& file, int line, QStringView text) {
    const auto skip = [&](QStringView shown, const QString& reason) {
        file.Skip(line, cleanText(shown, TextFormat::Moodle), reason);
    };
    QStringView body = text.trimmed();
    if (body.startsWith(u"::")) {
        const qsizetype close = findSequence(body, 2, u"::");
        if (close < 0) {
            return skip(body, QStringLiteral("не закрыто название вопроса «::»"));
        }
        body = body.sliced(close + 2);
    }
    const qsizetype open = findUnescaped(body, 0, u"{}");
    if (open < 0) {
        return skip(body, noCounterpart("описание без вариантов ответа"));
    }
    const QString loneBrace = QStringLiteral("лишняя закрывающая скобка «}»");
    if (body[open] == u'}') {
        return skip(body, loneBrace);
    }
    const qsizetype close = findUnescaped(body, open + 1, u"{}");
    if (close < 0 || body[close] == u'{') {
        return skip(body, QStringLiteral("не закрыта скобка «{»"));
    }
    const QStringView tail = body.sliced(close + 1);
    if (const qsizetype extra = findUnescaped(tail, 0, u"{}"); extra >= 0) {
        return skip(body, tail[extra] == u'}'
                              ? loneBrace
                              : QStringLiteral("больше одного блока ответов «{…}»"));
    }

    QStringView before = body.first(open);
    const TextFormat format = takeFormat(before, TextFormat::Moodle);
    const QString after = cleanText(tail, format);
    DraftQuestion draft;
    draft.line = line;
    draft.text =
        after.isEmpty() ? cleanText(before, format) : withBlank(cleanText(before, format), after);
    const QString problem = mapAnswers(body.sliced(open + 1, close - open - 1), format, draft);
    if (!problem.isEmpty()) {
        return draft.text.isEmpty() ? skip(body, problem) : file.Skip(line, draft.text, problem);
    }
    file.Add(draft);
}

}  // namespace

QuestionFile ReadGift(const QString& text) {
    QuestionFile file;
    for (const Block& block : splitBlocks(text)) {
        const QStringView all(block.text);
        const qsizetype lineEnd = all.indexOf(u'\n');
        const QStringView first = (lineEnd < 0 ? all : all.first(lineEnd)).trimmed();
        static const QStringView kCategory = u"$CATEGORY:";
        if (!first.startsWith(kCategory, Qt::CaseInsensitive)) {
            readQuestion(file, block.line, all);
            continue;
        }
        file.SetWrittenCategory(block.line, first.sliced(kCategory.size()));
        // A question written right under its category, without a blank line between.
        if (lineEnd >= 0) {
            readQuestion(file, block.line + 1, all.sliced(lineEnd + 1));
        }
    }
    return file;
}

}  // namespace kvalor
