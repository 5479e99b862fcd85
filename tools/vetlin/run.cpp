// One run of the checker (see run.h).
#include "tools/vetlin/run.h"

#include <algorithm>
#include <string>

#include "tools/vetlin/checks.h"
#include "tools/vetlin/input.h"
#include "tools/vetlin/known.h"
#include "tools/vetlin/library.h"
#include "tools/vetlin/lexer.h"
#include "tools/vetlin/parser.h"
#include "tools/vetlin/report.h"
#include "tools/vetlin/scoping.h"
#include "tools/vetlin/usage.h"
#include "tools/vetlin/writer.h"

VetlinRun vl;

const char* const vl_banner[5] = {
    "    <_k_>      Kelvo V Release 5 Diagnostic Program\n",
    "   __|_|__     Checks sources of the Kelvo language for syntax errors\n",
    "   \\     /     and for doubtful uses of names, without running them.\n",
    "    \\   /      A clean report is a good sign, not a proof: test too.\n",
    "     \\_/       Part of the Kelvo system; -q leaves this notice out.\n",
};

void vl_exit(int status) { throw VetlinExit{status}; }

void vl_fatal(const char* message) {
    if (vl.inFatal) vl_exit(127);
    vl.inFatal = true;
    std::FILE* report = vl.report != nullptr ? vl.report : vl.out;
    std::fprintf(report, "%s\n", message);
    std::fflush(report);
    // The message is kept as the value of `lasterror`; a failure to make it ends the run too.
    if (VObj lasterror = vl.predefined[VL_PRE_LASTERROR]) vl_set_op(lasterror, 1, store_string(message));
    vl_exit(127);
}

void vl_fatal_system(const char* routine) {
    vl_fatal(("System error (in " + std::string(routine) + ")").c_str());
}

void vl_fatal_too_large(const char* routine) {
    vl_fatal(("Object too large (in " + std::string(routine) + ")").c_str());
}

void vl_begin_run(std::FILE* in, std::FILE* out, std::FILE* err) {
    vl_end_run();
    vl = VetlinRun{};
    vl.in = in;
    vl.out = out;
    vl.err = err;
    vl.report = out;
    store_reset();
    writer_reset();
    input_reset(in);
    library_reset();
    scoping_reset();
    checks_reset();
    known_use_tables(known_builtin_tables());
}

void vl_end_run() {
    if (vl.report != nullptr) std::fflush(vl.report);
    if (vl.reportFile != nullptr) std::fclose(vl.reportFile);
    if (vl.appendDatabase != nullptr) std::fclose(vl.appendDatabase);
    vl.reportFile = vl.appendDatabase = nullptr;
    vl.report = vl.out;
    input_close_all();
    lexer_release();
    library_reset();
    store_reset();
}

void vl_make_constants() {
    store_make_tables();
    vl.zero = store_integer(0);
    vl.one = store_integer(1);
    vl.minusOne = store_integer(-1);
    vl.ten = store_integer(10);
    vl.null = store_simplify(store_new(1, DAG_EXPSEQ));
}

void vl_init_checker() {
    vl.builtin = store_name("builtin");
    for (int i = 0; i < VL_PREDEFINED; ++i) vl.predefined[i] = store_name(dag_builtin_texts[i]);
    known_self_check();
    vl_set_op(vl.predefined[VL_PRE_DIGITS], 1, vl.ten);
    vl_set_op(vl.predefined[VL_PRE_ORDER], 1, store_integer(6));
    vl_set_op(vl.predefined[VL_PRE_PRINTLEVEL], 1, vl.one);
    vl_set_op(vl.predefined[VL_PRE_LIBNAME], 1, store_string(vl.libraryDirectory.c_str()));
    vl_set_op(vl.predefined[VL_PRE_NULL], 1, vl.null);
    vl.Severity = vl.TotalSeverity = 4;
    for (int n = 0; n < VL_ERRORS; ++n) vl.errorClass[n] = n <= 5 ? 1 : n <= 21 ? 2 : 3;
    std::fill(std::begin(vl.classCount), std::end(vl.classCount), 0);
    vl.scope = usage_new_scope();
    vl.macros = store_sequence(10, DAG_EXPSEQ);
    parser_init();
    if (!vl.noLogo)
        for (const char* line : vl_banner) std::fputs(line, vl.report);
    vl.prompt = "> ";
    vl.endOfInput = store_new(1, VL_END_OF_INPUT);
}

void vl_statement_loop() {
    for (;;) {
        VObj statement = parser_read_statement();
        if (statement == nullptr) continue;
        if (vl_type(statement) == VL_END_OF_INPUT) break;
        statement = store_simplify_statement(statement);
        statement = checks_expand_macros(statement);
        CheckStatement(statement);
    }
    report_end_of_file();
}

int RecordErrorClass(int n) {
    if (n < 0 || n >= VL_ERRORS || vl.turnedOff[n]) return 0;
    if (vl.forced[n]) vl.forcedReport = true;
    const int errorClass = vl.errorClass[n];
    vl.Severity = std::min(vl.Severity, errorClass);
    ++vl.classCount[errorClass];
    if (vl.debug == 1) {
        std::fprintf(vl.report, "RecordErrorClass: Error=%d, Class=%d\n", n, errorClass);
    }
    return 1;
}

void vl_dump(const VWord* o, const char* title) {
    if (vl.debug != 1 || o == nullptr) return;
    writer_begin_line(0);
    writer_write(title);
    const auto address = reinterpret_cast<long>(o);
    if (std::string_view(vl_type_name(vl_type(o))) == "unknown") {
        writer_printf("%s = Unknown header 0x%lx(%ld) => 0x%lx(%ld)", title, address, address,
                      long(o[0]), long(o[0]));
    } else {
        writer_printf("%s = (%ld)-->%ld%s%s[%ld]", title, address, long((o[0] >> 24) & 0xFF),
                      (o[0] & (VWord(1) << 23)) != 0 ? "*" : " ", vl_type_name(vl_type(o)),
                      vl_length(o));
        for (long i = 1; i < vl_length(o); ++i) writer_printf(", %ld", long(o[i]));
        writer_write(" => ");
        report_print(o);
    }
    writer_end_line();
}
