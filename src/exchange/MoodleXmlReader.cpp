#include "exchange/MoodleXmlReader.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include <QFileInfo>
#include <QStringView>
#include <QXmlStreamReader>

#include "exchange/Markup.h"
#include "model/TypeIds.h"
#include "util/Error.h"

namespace kvalor {

namespace {

struct XmlText {
    QString format;
    QString text;
};

struct XmlAnswer {
    QString fraction;
    XmlText text;
};

// What a <question> element holds that the import uses; the rest is passed over.
struct XmlQuestion {
    int line = 0;
    QString type;
    XmlText text;
    QString category;
    QString single;
    QString shuffle;
    QString grading;
    std::vector<XmlAnswer> answers;
    bool tooManyAnswers = false;
    bool files = false;  // images or embedded files, which are not carried over
};

QString plain(const XmlText& text) {
    if (text.format == u"plain_text") {
        return text.text;
    }
    return PlainFromHtml(text.format == u"markdown" ? PlainFromMarkdown(text.text) : text.text);
}

bool flag(const QString& value, bool fallback) {
    return value.isEmpty() ? fallback : value == u"true" || value == u"1";
}

QString noCounterpart(const QString& type) {
    static const struct {
        QStringView type;
        const char* what;
    } kKnown[] = {{u"shortanswer", "короткий ответ"},
                  {u"numerical", "числовой ответ"},
                  {u"matching", "вопрос на соответствие"},
                  {u"randomsamatch", "случайный вопрос на соответствие"},
                  {u"essay", "эссе"},
                  {u"description", "описание без вариантов ответа"},
                  {u"multianswer", "вопрос с вложенными ответами"},
                  {u"calculated", "вычисляемый вопрос"},
                  {u"calculatedsimple", "простой вычисляемый вопрос"},
                  {u"calculatedmulti", "вычисляемый вопрос с выбором"},
                  {u"ddwtos", "перетаскивание в текст"},
                  {u"gapselect", "выбор пропущенных слов"},
                  {u"random", "случайный вопрос"}};
    QString what = QStringLiteral("тип вопроса «%1»").arg(type);
    for (const auto& known : kKnown) {
        if (type == known.type) {
            what = QStringLiteral("%1 («%2»)").arg(QString::fromUtf8(known.what), type);
        }
    }
    return what + QStringLiteral(": в Квалоре нет такого типа вопроса");
}

// The fractions of the answers in percent; a reason when one of them is no number.
QString fractionsOf(const XmlQuestion& question, std::vector<double>& fractions) {
    for (const XmlAnswer& answer : question.answers) {
        bool ok = true;
        const QString written = answer.fraction.trimmed();
        fractions.push_back(written.isEmpty() ? 0.0 : written.toDouble(&ok));
        // "nan" would leave the answers without an order to sort them by.
        if (!ok || !std::isfinite(fractions.back())) {
            return QStringLiteral("неверная доля ответа «%1»").arg(FirstWords(written));
        }
    }
    return question.answers.empty() ? QStringLiteral("нет вариантов ответа") : QString();
}

QString partialCredit(const char* rule) {
    return QStringLiteral("частичные баллы не переносятся: ") + QString::fromUtf8(rule);
}

// One answer or several, by <single>. A one-answer question with several fractions at the top
// would accept any of them, which Kvalor cannot hold.
QString mapChoice(const XmlQuestion& question, DraftQuestion& draft) {
    std::vector<double> fractions;
    if (QString problem = fractionsOf(question, fractions); !problem.isEmpty()) {
        return problem;
    }
    const double best = *std::max_element(fractions.begin(), fractions.end());
    if (best <= 0) {
        return QStringLiteral("ни один ответ не отмечен как верный");
    }
    const auto positive = std::count_if(fractions.begin(), fractions.end(),
                                        [](double fraction) { return fraction > 0; });
    const bool single = flag(question.single, true);
    if (single && std::count(fractions.begin(), fractions.end(), best) > 1) {
        return QStringLiteral(
            "несколько ответов с полной оценкой: в Квалоре нет вопроса, "
            "в котором верен любой из нескольких ответов");
    }
    draft.type = single ? kSingleAnswer : kMultipleAnswers;
    draft.allowMix = flag(question.shuffle, true);
    // Where the platform adds up fractions, a selection short of the key, or the key with a
    // wrong answer not outweighing it, earns part of the mark; Kvalor gives none.
    bool partial = positive > 1;
    for (std::size_t i = 0; i < fractions.size(); ++i) {
        const bool right = single ? fractions[i] == best : fractions[i] > 0;
        partial |= !single && !right && fractions[i] > -100;
        draft.answers.push_back({plain(question.answers[i].text), right});
    }
    if (partial) {
        draft.changes << (single ? partialCredit("верен только ответ с наибольшей долей")
                                 : partialCredit("ответ верен, только когда отмечены все верные "
                                                 "варианты и ни одного неверного"));
    }
    return {};
}

QString mapTrueFalse(const XmlQuestion& question, DraftQuestion& draft) {
    std::vector<double> fractions;
    if (QString problem = fractionsOf(question, fractions); !problem.isEmpty()) {
        return problem;
    }
    const auto first = SimplifyText(plain(question.answers.front().text));
    const std::size_t trueAt = first.compare(u"false", Qt::CaseInsensitive) == 0 ? 1 : 0;
    if (fractions.size() != 2 || (fractions[trueAt] > 0) == (fractions[1 - trueAt] > 0)) {
        return QStringLiteral("верным должен быть ровно один из двух ответов «true» и «false»");
    }
    const bool isTrue = fractions[trueAt] > 0;
    draft.type = kSingleAnswer;
    draft.answers = {{QStringLiteral("Верно"), isTrue}, {QStringLiteral("Неверно"), !isTrue}};
    return {};
}

// The answers in the order of their fractions, which hold the places; in the file's order when
// a fraction is missing.
QString mapOrdering(const XmlQuestion& question, DraftQuestion& draft) {
    std::vector<double> fractions;
    const bool placed = fractionsOf(question, fractions).isEmpty();
    if (question.answers.empty()) {
        return QStringLiteral("нет вариантов ответа");
    }
    std::vector<std::size_t> order(question.answers.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (placed) {
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return fractions[a] < fractions[b]; });
    }
    draft.type = kSequence;
    for (const std::size_t i : order) {
        draft.answers.push_back({plain(question.answers[i].text), false});
    }
    if (question.grading.compare(u"ALL_OR_NOTHING", Qt::CaseInsensitive) != 0) {
        draft.changes << partialCredit("последовательность верна, только когда верны все места");
    }
    return {};
}

class Parser {
public:
    Parser(const QString& text, const QString& fileName)
        : xml_(text), fileName_(QFileInfo(fileName).fileName()) {}

    QuestionFile Read() {
        QuestionFile file;
        if (!child() || xml_.name() != u"quiz") {
            return file;
        }
        const int quiz = depth_;
        while (child(quiz)) {
            if (xml_.name() == u"question") {
                readQuestion(file);
            } else {
                skip();
            }
        }
        // What follows the root must still be well-formed: a file cut or glued is damaged.
        while (next() != QXmlStreamReader::EndDocument) {
        }
        return file;
    }

private:
    [[noreturn]] void fail(const QString& reason) const {
        throw KvalorError(QStringLiteral("Файл «%1» не прочитан: %2").arg(fileName_, reason));
    }

    QXmlStreamReader::TokenType next() {
        const QXmlStreamReader::TokenType token = xml_.readNext();
        const auto line = xml_.lineNumber();
        switch (token) {
            case QXmlStreamReader::StartElement:
                if (++depth_ > kMaxXmlDepth) {
                    fail(QStringLiteral("элементы XML вложены глубже %1 уровней (строка %2)")
                             .arg(kMaxXmlDepth)
                             .arg(line));
                }
                break;
            case QXmlStreamReader::EndElement:
                --depth_;
                break;
            case QXmlStreamReader::DTD:
                // Entities declared there may expand a few bytes into gigabytes.
                fail(QStringLiteral("объявления DTD в файлах вопросов не допускаются"));
            case QXmlStreamReader::Invalid:
                fail(xml_.error() == QXmlStreamReader::PrematureEndOfDocumentError
                         ? QStringLiteral("файл обрывается в строке %1").arg(line)
                         : QStringLiteral("нарушена разметка XML в строке %1").arg(line));
            default:
                break;
        }
        return token;
    }

    // Moves to the next child element of the element open at level; false at its end.
    bool child(int level = 0) {
        while (depth_ >= level) {
            const QXmlStreamReader::TokenType token = next();
            if (token == QXmlStreamReader::StartElement) {
                return true;
            }
            if (token == QXmlStreamReader::EndElement && depth_ < level) {
                return false;
            }
            if (token == QXmlStreamReader::EndDocument) {
                return false;
            }
        }
        return false;
    }

    // The characters of the current element and of any elements inside it.
    QString content(bool keep = true) {
        QString text;
        for (const int level = depth_; depth_ >= level;) {
            if (next() == QXmlStreamReader::Characters && keep) {
                text += xml_.text();
            }
        }
        return text;
    }

    void skip() { content(false); }

    void readText(XmlText& target, bool& files) {
        target.format = xml_.attributes().value(QStringLiteral("format")).toString();
        const int level = depth_;
        while (child(level)) {
            if (xml_.name() == u"text") {
                target.text = content();
            } else {
                files |= xml_.name() == u"file";
                skip();
            }
        }
        files |= target.text.contains(u"@@PLUGINFILE@@") ||
                 target.text.contains(u"<img", Qt::CaseInsensitive);
    }

    void readQuestion(QuestionFile& file) {
        XmlQuestion question;
        question.line = static_cast<int>(xml_.lineNumber());
        question.type = xml_.attributes().value(QStringLiteral("type")).toString();
        const int level = depth_;
        while (child(level)) {
            const QStringView name = xml_.name();
            if (name == u"questiontext") {
                readText(question.text, question.files);
            } else if (name == u"answer" &&
                       question.answers.size() < static_cast<std::size_t>(kMaxQuestionAnswers)) {
                XmlAnswer& answer = question.answers.emplace_back();
                answer.fraction = xml_.attributes().value(QStringLiteral("fraction")).toString();
                readText(answer.text, question.files);
            } else {
                question.tooManyAnswers |= name == u"answer";
                QString* value = name == u"category"         ? &question.category
                                 : name == u"single"         ? &question.single
                                 : name == u"shuffleanswers" ? &question.shuffle
                                 : name == u"gradingtype"    ? &question.grading
                                                             : nullptr;
                if (value) {
                    *value = content().trimmed();
                } else {
                    skip();
                }
            }
        }
        add(file, question);
    }

    static void add(QuestionFile& file, const XmlQuestion& question) {
        if (question.type == u"category") {
            return file.SetWrittenCategory(question.line, question.category);
        }
        DraftQuestion draft;
        draft.line = question.line;
        draft.text = plain(question.text);
        QString problem;
        if (question.tooManyAnswers) {
            problem = TooManyAnswers();
        } else if (question.type == u"multichoice") {
            problem = mapChoice(question, draft);
        } else if (question.type == u"truefalse") {
            problem = mapTrueFalse(question, draft);
        } else if (question.type == u"ordering") {
            problem = mapOrdering(question, draft);
        } else {
            problem = noCounterpart(question.type);
        }
        if (!problem.isEmpty()) {
            return file.Skip(question.line, draft.text, problem);
        }
        if (question.files) {
            draft.changes << QStringLiteral("изображения и вложенные файлы не переносятся");
        }
        file.Add(draft);
    }

    QXmlStreamReader xml_;
    QString fileName_;
    int depth_ = 0;
};

}  // namespace

QuestionFile ReadMoodleXml(const QString& text, const QString& fileName) {
    return Parser(text, fileName).Read();
}

bool LooksLikeXml(const QString& text) {
    const QStringView start = QStringView(text).trimmed();
    return start.startsWith(u"<?xml") || start.startsWith(u"<!") || start.startsWith(u"<quiz");
}

}  // namespace kvalor
