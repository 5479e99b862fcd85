// Brings the expression library up once for the whole test binary.

#include "tovu_env.h"

namespace {

class TovuEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        tovu_start();
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new TovuEnvironment);

}  // namespace
