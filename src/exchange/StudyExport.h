#pragma once

#include "model/StudyList.h"

namespace kvalor {

// The studies as both results exports list them: by the test's name, the name of the users
// group that holds the user (accounts of no group last), the user's name, then oldest first.
// Names compare as lists show them, digits read as numbers ("5 А" before "10 А").
// Equal names of different tests, groups or users are kept apart by id, so that each gets one
// heading. Studies without their user or test are left out: there is nothing to list them
// under.
StudyView ExportOrder(const StudyView& studies);

}  // namespace kvalor
