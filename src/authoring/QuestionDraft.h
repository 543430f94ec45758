#pragma once

#include <string>

#include <QString>

namespace kvalor {

class TAnswer;
class TExaminerCollection;
class TQuestion;

// The editing of one question apart from the widgets: the record of the question as last
// stored, to which the author's unsaved changes go back, the key shown as marks, and what
// "Сохранить" stores.
class TQuestionDraft {
public:
    // The question goes on display: its stored key becomes the marks (a sequence's key is its
    // order) and its record is remembered.
    void Begin(TQuestion& question);
    // No question is on display.
    void Forget() { stored_.clear(); }
    // Puts the question back as it was remembered; it keeps its place and number, while its
    // text, type and answers (with their ids, texts, key and order) are those it had. False
    // when nothing was remembered. The answers it had before are freed.
    bool Restore(TQuestion& question) const;
    // Stores the marks as the key, the text and the mixing of the answers, and remembers the
    // result.
    void Store(TQuestion& question, const std::string& text, bool allowMix);

    // Why the marks make no key that an applicant could meet; empty when they do.
    static QString KeyProblem(const TQuestion& question);
    // A new empty answer at the end of the question.
    static TAnswer& AddAnswer(TQuestion& question);
    // A new question at the end of the group or test, numbered within its test.
    static TQuestion& AddQuestion(TExaminerCollection& target);

private:
    void Remember(const TQuestion& question);

    std::string stored_;
};

}  // namespace kvalor
