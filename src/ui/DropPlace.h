#pragma once

namespace kvalor {

// Where on the node under the cursor a drop falls.
enum class DropPlace { Above, On, Below };

}  // namespace kvalor
