#include "model/ItemFactories.h"

#include "model/TypeIds.h"

namespace kvalor {

namespace {

AccountElementFactory& accountFactory() {
    static AccountElementFactory factory;
    return factory;
}

UsersGroupFactory& groupFactory() {
    static UsersGroupFactory factory;
    return factory;
}

}  // namespace

void setAccountElementFactory(AccountElementFactory factory) {
    accountFactory() = std::move(factory);
}

void setUsersGroupFactory(UsersGroupFactory factory) {
    groupFactory() = std::move(factory);
}

std::unique_ptr<TExaminerElement> createAccountElement() {
    if (const auto& factory = accountFactory()) {
        if (auto account = factory()) {
            return account;
        }
    }
    return std::make_unique<TExaminerElement>(kAccountKind, Guid());
}

std::unique_ptr<TExaminerCollection> createUsersGroup() {
    if (const auto& factory = groupFactory()) {
        if (auto group = factory()) {
            return group;
        }
    }
    return std::make_unique<TExaminerCollection>(kUsersGroupKind, Guid());
}

}  // namespace kvalor
