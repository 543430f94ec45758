#pragma once

#include <initializer_list>
#include <utility>

class QObject;

namespace kvalor {

// Gives each control or action its name, by which tests (findChild) and accessibility tools
// find it without an accessor of its own.
void nameObjects(std::initializer_list<std::pair<QObject*, const char*>> objects);

}  // namespace kvalor
