#pragma once

#include <functional>
#include <memory>

#include "model/ExaminerCollection.h"
#include "model/ExaminerElement.h"

namespace kvalor {

// The collection reader creates user accounts and users groups through these hooks, so that
// the account classes can live in a later unit. Whoever provides them installs their factories
// once at start-up:
//  - account: an entry with tag 1 whose type id is not one of the question classes; the
//    factory returns a new account of kind 1 with the null id.
//  - users group: a sub-collection entry of kind 5 with the null type id; the factory returns
//    a new group of kind 5 with the null id.
// Until then (and after installing an empty function) a plain TExaminerElement of kind 1 and
// a plain TExaminerCollection of kind 5 are created.
using AccountElementFactory = std::function<std::unique_ptr<TExaminerElement>()>;
using UsersGroupFactory = std::function<std::unique_ptr<TExaminerCollection>()>;

void setAccountElementFactory(AccountElementFactory factory);
void setUsersGroupFactory(UsersGroupFactory factory);

std::unique_ptr<TExaminerElement> createAccountElement();
std::unique_ptr<TExaminerCollection> createUsersGroup();

}  // namespace kvalor
