#pragma once

#include <cstdint>

#include "util/Guid.h"

namespace kvalor {

// Roles of a user account.
inline constexpr std::uint8_t kRoleApplicant = 0;
inline constexpr std::uint8_t kRoleAdministrator = 1;
inline constexpr std::uint8_t kRoleTeacher = 2;

// The three accounts every installation has, with ids fixed for all installations.
inline const Guid& AdministratorAccountId() {
    static const Guid id = Guid::fromLiteral("{16F3997E-712B-4DFB-9B7F-DE10E575CCCE}");
    return id;
}
inline const Guid& TeacherAccountId() {
    static const Guid id = Guid::fromLiteral("{78705F2C-68E9-4EC2-B353-04FD57BEBFC6}");
    return id;
}
inline const Guid& ApplicantAccountId() {
    static const Guid id = Guid::fromLiteral("{5DCA538B-9A0C-44AF-BA8E-CBBBC2224912}");
    return id;
}

// Whether the id is that of one of the three built-in accounts.
inline bool IsBuiltinAccountId(const Guid& id) {
    return id == AdministratorAccountId() || id == TeacherAccountId() || id == ApplicantAccountId();
}

}  // namespace kvalor
