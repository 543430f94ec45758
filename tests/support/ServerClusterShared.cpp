#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "ServerCluster.h"

namespace kvalor {

namespace {

std::unique_ptr<ServerCluster> shared;

// Stops the cluster once every test has run, however they ended.
class ClusterEnvironment : public ::testing::Environment {
    void TearDown() override { shared.reset(); }
};
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new ClusterEnvironment);

}  // namespace

ServerCluster* ServerCluster::Shared() {
    if (!shared && Installed()) {
        shared = std::make_unique<ServerCluster>(Options{});
    } else if (!shared && qEnvironmentVariableIsSet("KVALOR_REQUIRE_SERVER")) {
        throw std::runtime_error(
            "initdb is missing, and KVALOR_REQUIRE_SERVER asks for the server");
    }
    return shared.get();
}

}  // namespace kvalor
