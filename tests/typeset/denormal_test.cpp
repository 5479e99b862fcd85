// Display denormalisation of products.

#include <gtest/gtest.h>

#include "dag_build.h"
#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"
#include "tovu/encode.h"

using namespace tb;

namespace {

TEST(Denormalise, RewritesProducts) {
    struct Row { const char* name; Dag in; Dag expected; };
    Dag x = N("x"), y = N("y");
    const Row rows[] = {
        {"inverse", Prod({{x, I(-1)}}), Prod({{I(1), I(1)}, {x, I(-1)}})},
        {"half power", Prod({{x, Q(1, 2)}}), Prod({{Fn("sqrt", {x}), I(1)}})},
        {"inverse half power", Prod({{x, Q(-1, 2)}}), Prod({{I(1), I(1)}, {Prod({{Fn("sqrt", {x}), I(1)}}), I(-1)}})},
        // A side of one pair collapses only when its exponent was 1.
        {"mixed", Prod({{x, I(2)}, {y, I(-3)}}), Prod({{Prod({{Pow(x, I(2)), I(1)}}), I(1)}, {Prod({{Pow(y, I(3)), I(1)}}), I(-1)}})},
        {"single numerator collapses", Prod({{x, I(1)}, {y, I(-1)}}), Prod({{x, I(1)}, {y, I(-1)}})},
        {"float exponent negated", Prod({{x, F(-15, -1)}}), Prod({{I(1), I(1)}, {Prod({{Pow(x, F(15, -1)), I(1)}}), I(-1)}})},
        {"inside a sum", Sum({{Prod({{x, I(-2)}}), I(3)}}), Sum({{Prod({{I(1), I(1)}, {Prod({{Pow(x, I(2)), I(1)}}), I(-1)}}), I(3)}})},
    };
    for (const Row& r : rows) {
        Dag out = denormalise_dag(r.in);
        EXPECT_TRUE(dag_equal(out, r.expected)) << r.name << ": " << dag_to_text(out);
    }
}

TEST(Denormalise, WithoutProductsTheSameDagComesBack) {
    Dag d = Sum({{N("x"), I(2)}, {Fn("f", {N("y")}), I(1)}});
    EXPECT_EQ(denormalise_dag(d), d);
    EXPECT_EQ(denormalise_dag(nullptr), nullptr);
}

TEST(Denormalise, EqualPowersAreShared) {
    Dag p = Prod({{N("x"), I(2)}, {N("y"), I(1)}});
    Dag q = Prod({{N("x"), I(2)}, {N("z"), I(1)}});
    // Same factor and exponent DAGs in both products.
    dag_set_op(q, 1, dag_op(p, 1));
    dag_set_op(q, 2, dag_op(p, 2));
    Dag out = denormalise_dag(dag_new2(DAG_EQUATION, p, q));
    EXPECT_EQ(dag_op(dag_op(out, 1), 1), dag_op(dag_op(out, 2), 1));
}

TEST(Denormalise, ResultShowsAsFraction) {
    Dag d = denormalise_dag(Prod({{N("x"), I(1)}, {N("y"), I(-2)}}));
    LayoutOptions o;
    layout_options_init(1, &o, nullptr);
    o.pageWidth = 20;
    int code = -1;
    EXPECT_EQ(render_text_2d_string(d, &o, &code), "         x\n        ----\n          2\n         y\n");
    EXPECT_EQ(code, 0);
}

}  // namespace

namespace {

// Exponents read without their parts are kept as they are (never negated or taken for 1/2).
TEST(Denormalise, ExponentsWithoutPartsAreKept) {
    Dag bareRat = dag_new(1, DAG_RATIONAL);
    Dag bareFloat = dag_new(1, DAG_FLOAT);
    Dag halfRat = dag_new(3, DAG_RATIONAL);   // both parts empty
    for (Dag e : {bareRat, bareFloat, halfRat}) {
        Dag p = Prod({{N("x"), e}});
        Dag out = denormalise_dag(p);
        ASSERT_EQ(dag_type(out), DAG_PROD);
        Dag power = dag_op(out, 1);
        ASSERT_EQ(dag_type(power), DAG_POWER) << dag_to_text(out);
        EXPECT_EQ(dag_op(power, 2), e);
    }
}

}  // namespace
