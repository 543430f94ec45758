#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QString>
#include <QStringList>
#include <QStringView>

namespace kvalor {

// An answer variant as a reader finds it, before it is checked and converted.
struct DraftAnswer {
    QString text;
    bool right = false;
};

// A question as a reader maps it onto Kvalor's question types, texts still in Unicode.
struct DraftQuestion {
    int line = 0;  // where the question starts in the file, from 1
    QString text;
    std::uint8_t type = 0;             // kSingleAnswer, kMultipleAnswers or kSequence
    std::vector<DraftAnswer> answers;  // a sequence's in the right order, none marked right
    bool allowMix = true;
    QStringList changes;  // what the mapping had to give up, for the report
};

// A question ready to be put into a test: texts in the stored code page.
struct ImportedAnswer {
    std::string text;
    bool right = false;
};

struct ImportedQuestion {
    int line = 0;
    QStringList category;  // the path of groups inside the test; empty: the test itself
    std::string text;
    std::uint8_t type = 0;
    std::vector<ImportedAnswer> answers;
    bool allowMix = true;
};

// Why a question of the file was left out, or what was changed on its way in.
struct ImportNote {
    int line = 0;
    QString firstWords;
    QString reason;
    bool skipped = false;  // left out; otherwise imported with the change
};

// A file with more questions than this is refused: it would cost memory out of proportion,
// and a bank of questions that large is better split into several tests.
inline constexpr int kMaxFileQuestions = 20000;

// A question with more answers than this is left out: no window could show them, and the
// readers stop collecting there.
inline constexpr int kMaxQuestionAnswers = 100;
QString TooManyAnswers();

// A question or answer longer than this is left out: Kvalor's windows show texts of a few
// paragraphs, and a longer one is rather a file pasted by mistake.
inline constexpr int kMaxTextLength = 20000;

// Deeper category paths are cut: the data file refuses groups nested beyond a limit, and no
// teacher sorts questions that deep.
inline constexpr int kMaxCategoryDepth = 32;

// What a reader made of a whole file: the questions to import and a note for every question
// that was left out or altered. The rules both formats share live here: a question needs a
// text and texts for all answers, and characters outside Windows-1251 become a visible "?".
//
// Raises an error when the file holds more than kMaxFileQuestions questions and notes.
class QuestionFile {
public:
    const std::vector<ImportedQuestion>& Questions() const { return questions_; }
    const std::vector<ImportNote>& Notes() const { return notes_; }
    // Nothing in the file looked like a question: no question was taken or left out.
    bool Empty() const { return questions_.empty() && notes_.empty(); }

    // The group path for the questions that follow; a name that loses characters to the code
    // page is noted at its line.
    void SetCategory(int line, const QStringList& path);
    // The same for a path as learning platforms write it: "$course$/top/Алгебра/Дроби" gives
    // {"Алгебра", "Дроби"} (the context and the root "top" are no groups), "//" stands for a
    // "/" inside a name, and a path deeper than kMaxCategoryDepth is cut with a note.
    void SetWrittenCategory(int line, QStringView written);
    void Add(const DraftQuestion& draft);
    void Skip(int line, const QString& text, const QString& reason);
    // A note on something the import changes that is not a question's text or answers.
    void Alter(int line, const QString& text, const QString& reason);

private:
    void addNote(int line, const QString& text, const QString& reason, bool skipped);
    void requireRoom() const;

    std::vector<ImportedQuestion> questions_;
    std::vector<ImportNote> notes_;
    QStringList category_;
};

// Whitespace and control characters become single spaces, none at either end: the question
// and answer texts of Kvalor are single lines.
QString SimplifyText(const QString& text);

// Calls visit with each line of the text and its number from 1, without the line break
// ("\n" or "\r\n").
void ForEachLine(const QString& text, const std::function<void(int, QStringView)>& visit);

// The first few words of a text, shortened with "…", to name a question in the report.
QString FirstWords(const QString& text);

}  // namespace kvalor
