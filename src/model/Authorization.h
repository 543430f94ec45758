#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "util/Guid.h"

namespace kvalor {

// One line of the login dialog: an account and the group that holds it. Names are cut to
// kAuthorizationNameLength bytes (one byte per character in the stored code page).
struct TAuthorization {
    std::string UserName;
    std::string GroupName;
    Guid UserId;
    Guid GroupId;  // the null id for an account that is not in a group
};

inline constexpr std::size_t kAuthorizationNameLength = 64;

using TAuthorizations = std::vector<TAuthorization>;

}  // namespace kvalor
