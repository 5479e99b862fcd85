// Names as the interpreter resolves them from their ids: special names, protection, variables
// of procedures against globals, bindings that are restored, and the arithmetic of numbers
// that the interpreter combines without building sums and products.  Each row runs its
// statements in a fresh kernel and checks the printed RESULT of the last one.

#include "kkernel_test_support.h"
#include "tests/support/named_rows.h"

namespace kernel_test {
namespace {

using kelvo_test::PrintTo;

struct NameCase {
    const char* name;
    std::vector<std::string> statements;
    const char* printed;   // the last RESULT as printed, or the dump of the ERROR's arguments
};

class KernelNameTest : public KernelTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(KernelNameTest, AnswersAsBefore) {
    const NameCase& c = GetParam();
    Recorder rec = runAll(c.statements);
    std::string got = rec.printed("RESULT");
    if (got == "<none>") got = rec.first("ERROR");
    EXPECT_EQ(got, c.printed) << c.statements.back();
}

const NameCase nameCases[] = {
    // Special names and constants.
    {"pi_is_a_constant", {"evalf(Pi);"}, "3.141592654"},
    {"digits_reads_back", {"Digits:=15:", "Digits;"}, "15"},
    {"null_is_nothing", {"[NULL, 1, NULL];"}, "[1]"},
    {"ditto_names", {"5;", "6;", "7;", "[%, %%, %%%];"}, "[7, 6, 5]"},
    {"assign_protected", {"gamma:=1;"}, "EXPSEQ(Error, attempting to assign to `gamma` which is protected)"},
    {"assign_builtin_name", {"diff:=1;"}, "EXPSEQ(Error, attempting to assign to `diff` which is protected)"},
    {"assign_true", {"true:=1;"}, "EXPSEQ(Error, attempting to assign to `true` which is protected)"},
    // Global variables.
    {"unassigned_name", {"zz;"}, "zz"},
    {"assign_then_read", {"a:=3:", "a^2;"}, "9"},
    {"clear_by_self", {"a:=3:", "a:='a':", "a+1;"}, "a+1"},
    {"full_evaluation", {"b:=c+1:", "c:=2:", "b;"}, "3"},
    {"recursive_assignment", {"w:=w^2;"}, "EXPSEQ(Error, recursive assignment)"},
    {"list_element", {"L:=[1,2,3]:", "L[2]:=9:", "L;"}, "[1, 9, 3]"},
    {"table_entry", {"T[1]:=5:", "T[1]+T[2];"}, "T[2]+5"},
    {"loop_variable_after", {"for i to 3 do od:", "i;"}, "4"},
    {"loop_over_list", {"s:=0:", "for e in [3,4,5] do s:=s+e od:", "s;"}, "12"},
    // Procedures: parameters, locals and globals of the same name.
    {"local_shadows_global",
     {"t:=1:", "p:=proc() local t; t:=5; t end:", "[p(), t];"}, "[5, 1]"},
    {"unassigned_local", {"p:=proc() local q; q end:", "p();"}, "q"},
    {"global_from_procedure", {"g:=4:", "p:=proc(x) x+g end:", "p(1);"}, "5"},
    {"assign_to_parameter", {"p:=proc(x) x:=1 end:", "p(2);"},
     "EXPSEQ(Error, (in p) illegal use of a formal parameter)"},
    {"nargs_and_args", {"p:=proc() [nargs, args] end:", "p(7,8);"}, "[2, 7, 8]"},
    {"procname", {"p:=proc() procname end:", "p();"}, "p"},
    {"renamed_procedure", {"p:=proc(n) n end:", "q:=p:", "q(3);"}, "3"},
    {"remember_table", {"f:=proc(n) option remember; if n<2 then n else f(n-1)+f(n-2) fi end:", "f(40);"},
     "102334155"},
    {"return_early", {"p:=proc(n) if n>0 then RETURN(1) fi; 2 end:", "[p(1), p(0)];"}, "[1, 2]"},
    {"builtin_through_a_name", {"d:='diff':", "d(x^2,x);"}, "2*x"},
    // Bindings that are restored after the computation.
    {"sum_restores_global", {"k:=10:", "sum(k^2, k=1..3);", "k;"}, "10"},
    {"seq_in_procedure_local",
     {"p:=proc() local j; j:=9; [seq(j, j=1..2), j] end:", "p();"}, "[1, 2, 9]"},
    // Comparisons of exact numbers are exact, of floats as floats.
    {"less_than_large_integers", {"if 10^40 < 10^40+1 then yes else no fi;"}, "yes"},
    {"less_equal_large_integers", {"if 10^40 <= 10^40-1 then yes else no fi;"}, "no"},
    {"less_than_close_rationals", {"if 1/3 < 3333333333/10000000000 then yes else no fi;"}, "no"},
    {"less_than_float", {"if 0.5 < 1/2+1/10^20 then yes else no fi;"}, "yes"},
    {"less_than_constant", {"if 3 < Pi then yes else no fi;"}, "yes"},
    // Numbers combined by the interpreter, exact and floating.
    {"exact_sum", {"1/3+1/6-2;"}, "-3/2"},
    {"float_sum", {"0.1+1/3;"}, ".4333333333"},
    {"float_product", {"2.5*4/3;"}, "3.333333333"},
    {"exact_product_with_power", {"2^3*3^(-2)*6;"}, "16/3"},
    {"mixed_sum", {"2*x+3-x+1/2;"}, "x+7/2"},
    {"loop_of_squares", {"s:=0:", "for i to 100 do s:=s+i^2 od:", "s;"}, "338350"},
    // Small integers are combined in machine words; results past a word stay exact.
    {"powers_past_a_machine_word", {"[3^40, (-2)^63, (-2)^64, 2^62, 0^0, (-1)^63, 7^(-2)];"},
     "[12157665459056928801, -9223372036854775808, 18446744073709551616, 4611686018427387904, 1, -1, 1/49]"},
    {"sum_and_product_past_a_machine_word", {"(2^61-1)+(2^61-1)*(2^61-1);"},
     "5316911983139663489309385231907684352"},
    {"loop_to_a_bound_past_a_machine_word", {"s:=0:", "for i from 2^61-3 to 2^61+1 do s:=s+i od:", "[s, i];"},
     "[11529215046068469755, 2305843009213693954]"},
    {"loop_counter_past_a_machine_word",
     {"n:=0:", "for i from 2^61-2 by 2^61-1 while i < 2^64 do n:=n+1 od:", "[n, i];"},
     "[8, 20752587082923245558]"},
    {"loop_counting_down", {"s:=0:", "for i from 5 by -2 to 0 do s:=10*s+i od:", "[s, i];"}, "[531, -1]"},
    {"loop_stopped_by_while", {"for i from 3 to 10 while i^2 < 30 do od:", "i;"}, "6"},
    // Sums keep their order: polynomial terms by degree and names, then the others.
    {"sum_of_function_products", {"diff(x^3*sin(x),x);"}, "x^3*cos(x)+3*x^2*sin(x)"},
    {"sum_polynomial_terms", {"expand((x+y+z+1)^2*(x-2));"},
     "x^3+2*x^2*y+2*x^2*z+x*y^2+2*x*y*z+x*z^2-2*x*y-2*x*z-2*y^2-4*y*z-2*z^2-3*x-4*y-4*z-2"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KernelNameTest, ::testing::ValuesIn(nameCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kernel_test
