// Integer DAGs: dag_of_int, conversions to K_INT and double, digit counts, FLOAT construction,
// digit joining and decimal text of any size.

#include <climits>
#include <string>
#include <vector>

#include "tovu_env.h"

namespace {

using ArithTest = TovuTest;
using ArithDeathTest = TovuTest;

std::vector<DagWord> wordsOf(const DagWord* d) { return {d + 1, d + dag_length(d)}; }

TEST_F(ArithTest, DagOfInt) {
    struct Row {
        long v;
        unsigned type;
        std::vector<DagWord> digits;
    } rows[] = {
        {1, DAG_INTPOS, {1}},
        {9999, DAG_INTPOS, {9999}},
        {10000, DAG_INTPOS, {0, 1}},
        {99999999, DAG_INTPOS, {9999, 9999}},
        {100000000, DAG_INTPOS, {0, 0, 1}},
        {-100000000, DAG_INTNEG, {0, 0, 1}},
        {-1, DAG_INTNEG, {1}},
        {2147483647, DAG_INTPOS, {3647, 4748, 21}},
        {1234567890123456789L, DAG_INTPOS, {6789, 2345, 8901, 4567, 123}},
        {LONG_MIN, DAG_INTNEG, {5808, 5477, 368, 3372, 922}},
    };
    for (const Row& r : rows) {
        Dag d = dag_of_int(r.v);
        EXPECT_EQ(dag_type(d), r.type) << r.v;
        EXPECT_EQ(wordsOf(d), r.digits) << r.v;
    }
    EXPECT_EQ(dag_of_int(0), dag_zero);
}

TEST_F(ArithTest, ToIntLimit) {
    struct Row {
        const char* name;
        Dag d;
        K_INT expected;
        const char* error;
    } rows[] = {
        {"zero", dag_zero, 0, ""},
        {"largest", makeInteger(DAG_INTPOS, {9999, 4747, 21}), 2147479999, ""},
        {"largest negative", makeInteger(DAG_INTNEG, {9999, 4747, 21}), -2147479999, ""},
        {"first refused", makeInteger(DAG_INTPOS, {0, 4748, 21}), 0, "integer too large for K_INT"},
        {"INT_MAX refused", makeInteger(DAG_INTPOS, {3647, 4748, 21}), 0, "integer too large for K_INT"},
        {"four digits", makeInteger(DAG_INTPOS, {0, 0, 0, 1}), 0, "integer too large for K_INT"},
        {"small", dag_of_int(-123456), -123456, ""},
    };
    for (const Row& r : rows) {
        K_INT got = 0;
        EXPECT_EQ(tovuErrorOf([&] { got = arith_to_int(r.d); }), r.error) << r.name;
        if (!*r.error) {
            EXPECT_EQ(got, r.expected) << r.name;
        }
    }
}

TEST_F(ArithTest, ToDouble) {
    Dag rational = dag_new2(DAG_RATIONAL, dag_of_int(-3), dag_of_int(4));
    Dag float1 = dag_new2(DAG_FLOAT, dag_of_int(12345), dag_of_int(-2));
    Dag float2 = dag_new2(DAG_FLOAT, dag_of_int(-15), dag_of_int(21));
    Dag float3 = dag_new2(DAG_FLOAT, dag_of_int(1), dag_of_int(-300));
    Dag zeroNegExp = dag_new2(DAG_FLOAT, dag_zero, dag_of_int(-8));   // once "exponent too large"
    Dag zeroPosExp = dag_new2(DAG_FLOAT, dag_zero, dag_of_int(400));
    struct Row {
        const char* name;
        Dag d;
        double expected;
    } rows[] = {{"int", dag_of_int(-123456789), -123456789.0}, {"rational", rational, -0.75},
                {"float", float1, 123.45},                      {"float big", float2, -1.5e22},
                {"float tiny", float3, 1e-300},
                {"zero, negative exponent", zeroNegExp, 0.0},
                {"zero, huge exponent", zeroPosExp, 0.0}};
    for (const Row& r : rows) {
        double got = 0;
        EXPECT_EQ(tovuErrorOf([&] { got = arith_to_double(r.d); }), "") << r.name;
        EXPECT_DOUBLE_EQ(got, r.expected) << r.name;
    }
}

TEST_F(ArithTest, ToDoubleErrors) {
    std::string digits75(300, '9');   // 75 base-10000 digits
    std::string digits76(301, '1');   // 76 digits
    Dag ok = dag_integer_from_text(digits75);
    EXPECT_EQ(tovuErrorOf([&] { arith_to_double(ok); }), "");
    struct Row {
        const char* name;
        Dag d;
        const char* error;
    } rows[] = {
        {"76 digits", dag_integer_from_text(digits76), "integer too large for double"},
        {"zero denominator", dag_new2(DAG_RATIONAL, dag_one, dag_zero), "denominator too small"},
        {"exponent", dag_new2(DAG_FLOAT, dag_one, dag_of_int(400)), "exponent too large"},
        {"mantissa and exponent", dag_new2(DAG_FLOAT, dag_of_int(99999), dag_of_int(305)), "exponent too large"},
    };
    for (const Row& r : rows) EXPECT_EQ(tovuErrorOf([&] { arith_to_double(r.d); }), r.error) << r.name;
}

TEST_F(ArithDeathTest, ConversionOfWrongTypeIsAssertion) {
    EXPECT_EXIT(arith_to_int(dag_name("x")), ::testing::ExitedWithCode(1), "line 123 of tovu/arithmet");
    EXPECT_EXIT(arith_to_double(dag_name("x")), ::testing::ExitedWithCode(1), "line 149 of tovu/arithmet");
    EXPECT_EXIT(arith_digit_count(dag_NULL), ::testing::ExitedWithCode(1), "line 214 of tovu/arithmet");
}

TEST_F(ArithTest, DigitCountAndSign) {
    struct Row {
        Dag d;
        long digits;
        bool negative;
    } rows[] = {{dag_zero, 0, false},          {dag_of_int(9), 1, false},   {dag_of_int(9999), 4, false},
                {dag_of_int(-10000), 5, true}, {dag_of_int(123456789), 9, false}};
    for (const Row& r : rows) {
        EXPECT_EQ(arith_digit_count(r.d), r.digits) << dag_integer_to_text(r.d);
        EXPECT_EQ(arith_is_negative(r.d), r.negative);
    }
    EXPECT_TRUE(arith_is_negative(dag_new2(DAG_RATIONAL, dag_minus_one, dag_of_int(2))));
    EXPECT_TRUE(arith_is_negative(dag_new2(DAG_FLOAT, dag_minus_one, dag_of_int(2))));
    EXPECT_FALSE(arith_is_negative(dag_new2(DAG_FLOAT, dag_one, dag_minus_one)));
}

TEST_F(ArithTest, NewFloatChecksExponentRange) {
    Dag f = nullptr;
    EXPECT_EQ(tovuErrorOf([&] { f = dag_new_float(dag_of_int(15), dag_of_int(-1)); }), "");
    EXPECT_EQ(f[0], dag_header(DAG_FLOAT, 3));
    Dag longMantissa = dag_integer_from_text(std::string(4000, '7'));
    Dag big = makeInteger(DAG_INTPOS, {9999, 4747, 21});
    Dag bigNeg = makeInteger(DAG_INTNEG, {9999, 4747, 21});
    EXPECT_EQ(tovuErrorOf([&] { dag_new_float(longMantissa, big); }), "integer too large in context");
    EXPECT_EQ(tovuErrorOf([&] { dag_new_float(longMantissa, bigNeg); }), "integer too large in context");
    EXPECT_EQ(tovuErrorOf([&] { dag_new_float(dag_of_int(1), big); }), "");
}

TEST_F(ArithTest, JoinDigits) {
    struct Row {
        const char* high;
        const char* low;
        int count;   // digits of the low token, leading zeros included
        const char* expected;
        std::size_t words;
    } rows[] = {
        {"12", "34", 4, "120034", 3},
        {"12", "34", 5, "1200034", 3},
        {"9999", "999", 3, "9999999", 3},
        {"123456789", "1", 1, "1234567891", 4},
        {"5", "0", 8, "500000000", 4},
        {"987654321", "12345678", 8, "98765432112345678", 6},
    };
    for (const Row& r : rows) {
        dag_set_last_number_digits(r.count);
        Dag d = dag_join_digits(dag_integer_from_text(r.high), dag_integer_from_text(r.low));
        EXPECT_EQ(dag_integer_to_text(d), r.expected) << r.high << "|" << r.low;
        EXPECT_EQ(dag_length(d), r.words) << r.high << "|" << r.low;
    }
    Dag low = dag_of_int(77);
    EXPECT_EQ(dag_join_digits(dag_zero, low), low);
}

TEST_F(ArithTest, DecimalTextAnySize) {
    std::string huge = "9" + std::string(99999, '0');   // 100,000 digits
    for (const std::string& text : {std::string("0"), std::string("1"), std::string("-1"), std::string("10000"),
                             std::string("-12345678901234567890"), std::string("100000000"), huge}) {
        Dag d = dag_integer_from_text(text);
        EXPECT_EQ(dag_integer_to_text(d), text);
    }
    EXPECT_EQ(dag_integer_from_text("-0"), dag_zero);
    EXPECT_EQ(dag_integer_to_text(dag_integer_from_text("000123")), "123");
    for (const char* bad : {"", "-", "12a", "+3", " 1"})
        EXPECT_EQ(tovuErrorOf([&] { dag_integer_from_text(bad); }), "invalid integer text") << bad;
}

}  // namespace
