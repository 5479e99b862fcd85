// Brings the expression library up once for the whole test binary.
#include "tests/document/document_env.h"

#include <gtest/gtest.h>

#include "tovu/dag.h"
#include "tovu/storage.h"
#include "util/errjump.h"

namespace {
class DocumentEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        tovu_start();
    }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new DocumentEnvironment);
}  // namespace

int worksheetErrorOf(const std::function<void()>& call) {
    int depth = errjump_depth();
    int code = 0;
    try {
        ErrorGuard guard;
        call();
    } catch (const ErrorJump& jump) {
        code = jump.record == &worksheetFileError ? worksheetFileError.code : -100;
    }
    EXPECT_EQ(depth, errjump_depth());
    return code;
}

std::string dataPath(const std::string& name) {
    return std::string(KELVO_TEST_DATA) + "/document/" + name;
}
