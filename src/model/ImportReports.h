#pragma once

#include <QString>
#include <functional>

namespace kvalor {

// What an import of results files did (TKvalor::ImportStudies). Only studies whose account and
// test exist in this data are taken in: any other could be neither shown nor scored, and the
// next load would drop it. A study that lacks both counts under both reasons.
struct StudiesImportReport {
    int merged = 0;          // taken into the journal, new or replacing the same run
    int leftOut = 0;         // not taken
    int withoutAccount = 0;  // left out: no account of that id here
    int withoutTest = 0;     // left out: no test of that id here
};

// The text to show the user after an import, e.g. "Импортировано результатов тестов: 5." with a
// second line on the studies left out, when there are any.
QString StudiesImportText(const StudiesImportReport& report);

// What an import of a user exchange file found (TKvalor::ImportUsers).
struct UsersImportReport {
    // Studies of the journal whose account the imported list no longer holds. They stay in the
    // journal until the program ends, but the next load drops them.
    int orphanedStudies = 0;
    // False when the caller declined and the users list was left as it was.
    bool imported = false;
};

// Asked before an import that would cost studies their account; true goes on with it.
using UsersImportConfirmation = std::function<bool(const UsersImportReport& report)>;

// The question to ask the user (Yes/No) before such an import.
QString UsersImportQuestion(const UsersImportReport& report);

}  // namespace kvalor
