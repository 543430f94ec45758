#pragma once

#include <QString>

namespace kvalor {

class TStudy;

// What the results windows show of a study. A study whose account or test is not part of the
// data (results imported from elsewhere) shows empty names and no result: nothing is read
// through a missing reference.

QString StudyUserName(const TStudy& study);
QString StudyTestName(const TStudy& study);
// The test's GradingMethod, or -1 without a test.
int StudyGradingMethod(const TStudy& study);
// Whether the current account is the built-in administrator or teacher, who see every study
// and the answer key.
bool CurrentUserIsStaff();

}  // namespace kvalor
