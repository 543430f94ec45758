#include "results/StudyTexts.h"

#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "util/Codepage.h"

namespace kvalor {

QString StudyUserName(const TStudy& study) {
    return study.User() ? fromCp1251(study.User()->GetName()) : QString();
}

QString StudyTestName(const TStudy& study) {
    return study.Test() ? fromCp1251(study.Test()->GetName()) : QString();
}

int StudyGradingMethod(const TStudy& study) {
    return study.Test() ? study.Test()->GradingMethod() : -1;
}

bool CurrentUserIsStaff() {
    const TCompetitor* current = kvalorRoot().CurrentUser();
    return current &&
           (current->Id() == AdministratorAccountId() || current->Id() == TeacherAccountId());
}

}  // namespace kvalor
