// Results as the worksheet gets them: the order of the terms of a printed sum and of the factors
// of a product does not depend on the process.  The arithmetic library orders its operands by
// hash values that follow the order in which names were first made (and load addresses), so
// each row is evaluated in two child processes that make the row's names in opposite orders
// first; both must print the same text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kkernel_test_support.h"

namespace {

using namespace kernel_test;

struct OrderCase {
    const char* name;
    std::vector<std::string> names;   // made first, in this order and in the reverse order
    const char* statement;
};

class KernelPrintedOrderTest : public KernelTest, public ::testing::WithParamInterface<OrderCase> {
protected:
    std::string printedAfterMaking(const std::vector<std::string>& names) {
        return inChild([&] {
            std::string list;
            for (const auto& n : names) list += (list.empty() ? "" : ",") + n + ",sin(" + n + "),exp(" + n + ")";
            run("[" + list + "]:");
            Recorder rec = run(GetParam().statement);
            return rec.printed("ERROR") + "|" + rec.printed("RESULT");
        });
    }
};

TEST_P(KernelPrintedOrderTest, SameInEveryProcess) {
    const OrderCase& c = GetParam();
    std::vector<std::string> reversed(c.names.rbegin(), c.names.rend());
    std::string forward = printedAfterMaking(c.names);
    EXPECT_EQ(forward.rfind("<none>|", 0), 0u) << "an error where none was expected: " << forward;
    EXPECT_EQ(printedAfterMaking(reversed), forward) << c.statement;
}

const OrderCase orderCases[] = {
    {"calls_and_names", {"ka", "kb", "kc"}, "expand((sin(ka)+kb+exp(kc)+2)^2);"},
    {"calls_only", {"la", "lb", "lc"}, "expand((cos(la)+sin(lb)+exp(lc))^3);"},
    {"calls_beside_one_variable", {"ma", "mb"}, "expand((ma+1)*(sin(ma)+exp(mb)+ln(mb)));"},
    {"powers_of_sums_as_factors", {"na", "nb"}, "(na+1)^2*(nb+1)^3*sin(na)*exp(nb);"},
    {"calls_with_sums_inside", {"pa", "pb"}, "sin(pa+pb)+sin(pa-pb)+exp(pa+1)+exp(pb+1);"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelPrintedOrderTest, ::testing::ValuesIn(orderCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
