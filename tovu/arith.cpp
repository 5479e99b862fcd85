// Integer DAGs and the conversions of the K_INT machine-integer type and doubles: dag_of_int,
// FLOAT construction, arith_*, joining the digit groups of a long number token, and decimal
// text of integers of any size.
//
// An integer DAG holds base-10000 digits, one a word, least significant first, with no leading
// zero digit (zero is the single digit 0).

#include <cmath>
#include <cstring>

#include "tovu/dag.h"
#include "tovu/errors.h"

namespace {

constexpr const char* kArithSource = "tovu/arithmet";
constexpr DagWord kBase = 10000;

int lastNumberDigits = 0;   // digit count of the scanner's last number token

int decimalDigits(DagWord v) {
    int n = 0;
    while (v) {
        ++n;
        v /= 10;
    }
    return n;
}

}  // namespace

Dag dag_of_int(long v) {
    if (v == 0) return dag_zero;
    unsigned long m = v < 0 ? 0ul - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
    // A machine integer has at most five base-10000 digits; no heap block for them.
    DagWord digits[8];
    std::size_t count = 0;
    while (m) {
        digits[count++] = m % kBase;
        m /= kBase;
    }
    Dag d = dag_new(count + 1, v < 0 ? DAG_INTNEG : DAG_INTPOS);
    for (std::size_t i = 0; i < count; ++i) d[i + 1] = digits[i];
    return d;
}

K_INT arith_to_int(const DagWord* d) {
    TOVU_ASSERT(dag_is_integer(d), kArithSource, 123);
    std::int64_t value = 0;
    for (std::size_t i = dag_length(d) - 1; i >= 1; --i) {
        if (value > 214747) tovu_error("integer too large for K_INT");
        value = static_cast<std::int64_t>(d[i]) + 10000 * value;
        if (value > INT32_MAX) tovu_error("integer too large for K_INT");
    }
    return static_cast<K_INT>(dag_type(d) == DAG_INTNEG ? -value : value);
}

double arith_to_double(const DagWord* d) {
    switch (dag_type(d)) {
    case DAG_INTPOS:
    case DAG_INTNEG: {
        double sum = 0, power = 1;
        for (std::size_t i = 1; i < dag_length(d); ++i) {
            sum += static_cast<double>(d[i]) * power;
            power *= 10000.0;
            if (power >= 9.999999900000001e303) tovu_error("integer too large for double");
        }
        return dag_type(d) == DAG_INTNEG ? -sum : sum;
    }
    case DAG_RATIONAL: {
        double numerator = arith_to_double(dag_op(d, 1));
        double denominator = arith_to_double(dag_op(d, 2));
        if (denominator == 0) tovu_error("denominator too small");
        return numerator / denominator;
    }
    case DAG_FLOAT: {
        Dag exponent = dag_op(d, 2);
        double m = std::fabs(arith_to_double(dag_op(d, 1)));
        K_INT e = arith_to_int(exponent);
        // A zero mantissa is zero whatever the exponent; taking 1/m below would turn it into an
        // infinity and report a negative exponent as "exponent too large".
        if (m == 0) return 0.0;
        std::int64_t steps = e;
        if (steps < 0) {
            steps = -steps;
            m = 1 / m;
        }
        while (steps > 15) {
            if (m >= 9.9999999e291) tovu_error("exponent too large");
            m *= 1e16;
            steps -= 16;
        }
        while (steps > 3) {
            if (m >= 9.999999900000001e303) tovu_error("exponent too large");
            m *= 1e4;
            steps -= 4;
        }
        while (steps > 0) {
            if (m >= 9.9999999e306) tovu_error("exponent too large");
            m *= 10;
            steps -= 1;
        }
        if (dag_type(exponent) == DAG_INTNEG) m = 1 / m;
        return arith_is_negative(d) ? -m : m;
    }
    default:
        tovu_assert_fail(kArithSource, 149);
    }
}

long arith_digit_count(const DagWord* d) {
    TOVU_ASSERT(dag_is_integer(d), kArithSource, 214);
    std::size_t digits = dag_length(d) - 1;
    DagWord top = d[digits];
    if (digits == 1 && top == 0) return 0;
    return static_cast<long>(4 * (digits - 1)) + decimalDigits(top);
}

bool arith_is_negative(const DagWord* d) {
    switch (dag_type(d)) {
    case DAG_INTNEG:
        return true;
    case DAG_RATIONAL:
    case DAG_FLOAT:
        return dag_length(d) > 1 && dag_op(d, 1) && dag_type(dag_op(d, 1)) == DAG_INTNEG;
    default:
        return false;
    }
}

Dag dag_new_float(Dag mantissa, Dag exponent) {
    std::int64_t a = arith_to_int(exponent);
    std::int64_t b = arith_digit_count(mantissa);
    if ((a > 0 && a + b > INT32_MAX) || (a < 0 && b - a > INT32_MAX)) tovu_error("integer too large in context");
    return dag_new2(DAG_FLOAT, mantissa, exponent);
}

void dag_set_last_number_digits(int count) { lastNumberDigits = count; }

// high x 10^c + low, c the digit count of the last number token (leading zeros included).
// Each base-10000 digit of high is split at the 10^(c mod 4) boundary: its low part lands in
// word c / 4 + 1 + i, its high part in the word after; low is below 10^c, so nothing carries.
Dag dag_join_digits(Dag high, Dag low) {
    if (arith_digit_count(high) == 0) return low;
    long c = lastNumberDigits;
    if (c < arith_digit_count(low)) c = arith_digit_count(low);   // a stale count never cuts low
    std::size_t words = static_cast<std::size_t>((c + arith_digit_count(high) + 3) / 4 + 1);
    Dag r = dag_new(words, DAG_INTPOS);
    for (std::size_t i = 1; i < dag_length(low) && i < words; ++i) r[i] = low[i];
    static const DagWord kPow[4] = {1, 10, 100, 1000};
    std::size_t q = static_cast<std::size_t>(c / 4);
    DagWord p = kPow[c % 4];
    DagWord split = kBase / p;
    for (std::size_t i = 1; i < dag_length(high); ++i) {
        std::size_t at = q + i;
        if (at < words) r[at] += (high[i] % split) * p;
        if (at + 1 < words) r[at + 1] += high[i] / split;
    }
    return r;
}

Dag dag_integer_from_text(std::string_view decimal) {
    bool negative = !decimal.empty() && decimal.front() == '-';
    if (negative) decimal.remove_prefix(1);
    if (decimal.empty()) tovu_error("invalid integer text");
    for (char ch : decimal)
        if (ch < '0' || ch > '9') tovu_error("invalid integer text");
    while (decimal.size() > 1 && decimal.front() == '0') decimal.remove_prefix(1);
    if (decimal == "0") return dag_zero;
    // Groups of four decimal digits from the right, written straight into the DAG.
    std::size_t groups = (decimal.size() + 3) / 4;
    Dag d = dag_new(groups + 1, negative ? DAG_INTNEG : DAG_INTPOS);
    std::size_t slot = 1;
    for (std::size_t end = decimal.size(); end > 0; ++slot) {
        std::size_t start = end >= 4 ? end - 4 : 0;
        DagWord digit = 0;
        for (std::size_t i = start; i < end; ++i) digit = digit * 10 + static_cast<DagWord>(decimal[i] - '0');
        d[slot] = digit;
        end = start;
    }
    return d;
}

std::string dag_integer_to_text(const DagWord* d) {
    std::string text = dag_type(d) == DAG_INTNEG ? "-" : "";
    std::size_t n = dag_length(d) - 1;
    text += std::to_string(d[n]);
    char group[8];
    for (std::size_t i = n - 1; i >= 1; --i) {
        std::snprintf(group, sizeof group, "%04u", static_cast<unsigned>(d[i] % kBase));
        text += group;
    }
    return text;
}
