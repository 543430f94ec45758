#include "exchange/QuestionFile.h"

#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

constexpr int kFirstWordsCount = 6;
constexpr int kFirstWordsLength = 60;

bool blank(QChar c) {
    const char16_t u = c.unicode();
    return c.isSpace() || u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

// The text in Windows-1251; lost tells whether any character had to become "?".
std::string stored(const QString& text, bool& lost) {
    // A letter typed as base and combining mark ("й" as "и" + U+0306) has a code of its own.
    const QString composed = text.normalized(QString::NormalizationForm_C);
    std::string bytes = toCp1251(composed);
    if (fromCp1251(bytes) != composed) {
        lost = true;
    }
    return bytes;
}

// Names beyond one level deeper than allowed are not collected: a line of slashes costs no
// memory.
QStringList categoryPath(QStringView written) {
    constexpr int kMostCollected = kMaxCategoryDepth + 3;
    QStringList path;
    QString name;
    for (qsizetype i = 0; i <= written.size() && path.size() < kMostCollected; ++i) {
        if (i < written.size() && written[i] == u'/' && i + 1 < written.size() &&
            written[i + 1] == u'/') {
            name.append(u'/');
            ++i;
        } else if (i == written.size() || written[i] == u'/') {
            name = SimplifyText(name);
            if (!name.isEmpty()) {
                path << name;
            }
            name.clear();
        } else {
            name.append(written[i]);
        }
    }
    if (!path.isEmpty() && path.front().size() > 1 && path.front().startsWith(u'$') &&
        path.front().endsWith(u'$')) {
        path.removeFirst();
    }
    if (!path.isEmpty() && path.front().compare(QStringLiteral("top"), Qt::CaseInsensitive) == 0) {
        path.removeFirst();
    }
    return path;
}

QString lostCharacters() {
    return QStringLiteral("символы, которых нет в кодировке Windows-1251, заменены на «?»");
}

}  // namespace

QString TooManyAnswers() {
    return QStringLiteral("больше %1 вариантов ответа").arg(kMaxQuestionAnswers);
}

QString SimplifyText(const QString& text) {
    QString result;
    result.reserve(text.size());
    bool pendingSpace = false;
    for (const QChar c : text) {
        if (blank(c)) {
            pendingSpace = !result.isEmpty();
            continue;
        }
        if (pendingSpace) {
            result.append(u' ');
            pendingSpace = false;
        }
        result.append(c);
    }
    return result;
}

void ForEachLine(const QString& text, const std::function<void(int, QStringView)>& visit) {
    const QStringView all(text);
    int number = 0;
    qsizetype start = 0;
    while (start <= all.size()) {
        qsizetype end = all.indexOf(u'\n', start);
        if (end < 0) {
            end = all.size();
        }
        QStringView line = all.sliced(start, end - start);
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        visit(++number, line);
        start = end + 1;
    }
}

QString FirstWords(const QString& text) {
    const QString simple = SimplifyText(text);
    // Only the beginning is split: the text may be as long as the file.
    const QStringList words = simple.left(kFirstWordsLength + 1).split(u' ', Qt::SkipEmptyParts);
    QString result = words.mid(0, kFirstWordsCount).join(u' ');
    if (result.size() > kFirstWordsLength) {
        result.truncate(kFirstWordsLength);
        // Never leave half of a surrogate pair at the end.
        if (result.back().isHighSurrogate()) {
            result.chop(1);
        }
    }
    return result.size() < simple.size() ? result + QStringLiteral("…") : result;
}

void QuestionFile::SetCategory(int line, const QStringList& path) {
    category_ = path;
    bool lost = false;
    for (const QString& name : path) {
        stored(name, lost);
    }
    if (lost) {
        Alter(line, path.join(u'/'), QStringLiteral("в названии группы ") + lostCharacters());
    }
}

void QuestionFile::SetWrittenCategory(int line, QStringView written) {
    QStringList path = categoryPath(written);
    if (path.size() > kMaxCategoryDepth) {
        Alter(line, path.join(u'/'),
              QStringLiteral("группы глубже %1 уровней не создаются: вопросы помещены "
                             "в группу %1-го уровня")
                  .arg(kMaxCategoryDepth));
        path = path.mid(0, kMaxCategoryDepth);
    }
    SetCategory(line, path);
}

void QuestionFile::Add(const DraftQuestion& draft) {
    const QString text = SimplifyText(draft.text);
    if (text.isEmpty()) {
        QStringList answers;
        for (const DraftAnswer& answer : draft.answers) {
            answers << answer.text;
        }
        Skip(draft.line, answers.join(u' '), QStringLiteral("нет текста вопроса"));
        return;
    }
    const QString tooLong = QStringLiteral("текст длиннее %1 символов").arg(kMaxTextLength);
    if (text.size() > kMaxTextLength) {
        Skip(draft.line, text, tooLong);
        return;
    }
    ImportedQuestion question{draft.line, category_, {}, draft.type, {}, draft.allowMix};
    bool lost = false;
    question.text = stored(text, lost);
    for (const DraftAnswer& answer : draft.answers) {
        const QString answerText = SimplifyText(answer.text);
        if (answerText.isEmpty() || answerText.size() > kMaxTextLength) {
            Skip(draft.line, text,
                 answerText.isEmpty() ? QStringLiteral("пустой вариант ответа") : tooLong);
            return;
        }
        question.answers.push_back({stored(answerText, lost), answer.right});
    }
    QStringList changes = draft.changes;
    if (lost) {
        changes << lostCharacters();
    }
    if (!changes.isEmpty()) {
        Alter(draft.line, text, changes.join(QStringLiteral("; ")));
    }
    requireRoom();
    questions_.push_back(std::move(question));
}

void QuestionFile::Skip(int line, const QString& text, const QString& reason) {
    addNote(line, text, reason, true);
}

void QuestionFile::Alter(int line, const QString& text, const QString& reason) {
    addNote(line, text, reason, false);
}

void QuestionFile::addNote(int line, const QString& text, const QString& reason, bool skipped) {
    requireRoom();
    notes_.push_back({line, FirstWords(text), reason, skipped});
}

void QuestionFile::requireRoom() const {
    if (questions_.size() + notes_.size() >= static_cast<std::size_t>(kMaxFileQuestions)) {
        throw KvalorError(QStringLiteral("В файле больше %1 вопросов: разделите его на части")
                              .arg(kMaxFileQuestions));
    }
}

}  // namespace kvalor
