#pragma once

#include <cstddef>

namespace kvalor {

class TKvalor;

// The sizes of the "School" data set at a scale; scale 1 is a school that kept years of
// results: 100,000 questions in 500 tests, 10,000 accounts, 200,000 studies.
struct SchoolShape {
    int simpleTests = 0;
    int groupsPerTest = 4;
    int questionsPerGroup = 50;
    int complexTests = 0;
    int accountGroups = 0;
    int accountsPerGroup = 200;
    int studies = 0;
    int questionsPerStudy = 20;

    static SchoolShape atScale(double scale);
};

// Replaces the root's content by the School data set of that shape, built through the model
// as the windows would build it: Russian texts in Windows-1251, four answers a question,
// scored studies. The same shape always gives the same content; only the ids the model draws
// itself (answer lists, account groups) differ from one build to the next.
void BuildSchoolData(TKvalor& root, const SchoolShape& shape);

// The examinations of a run: the first `count` studies of the journal taken again that many
// days later, appended to it.
void AppendExaminations(TKvalor& root, int count, double daysLater);

}  // namespace kvalor
