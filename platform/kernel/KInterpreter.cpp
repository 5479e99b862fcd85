// The interpreter over statement trees: evaluation of expressions, statements, loops and
// procedures.  See KInterpreter.h for its invariants.

#include "KInterpreter.h"

#include "kernel_analysis.h"
#include "kernel_child.h"
#include "kernel_matrix.h"
#include "kernel_names.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <thread>

#include "platform/os/sysprobe.h"

using namespace GiNaC;

namespace {

bool is_number(const ex& e) { return kernel_is_exactly<numeric>(e); }

const char* ordinal_suffix(std::size_t n) {
    if (n % 100 >= 11 && n % 100 <= 13) return "th";
    switch (n % 10) {
    case 1: return "st";
    case 2: return "nd";
    case 3: return "rd";
    default: return "th";
    }
}

bool is_true_name(const KValue& v) {
    std::string t;
    return v.kind == KValue::Expr && kernel_is_name(v.ex, &t) && t == "true";
}

// A real number, when the expression has one (numbers and numeric constants such as Pi).
bool real_value(const ex& e, numeric* out) {
    ex f = e.evalf();
    if (!is_number(f) || !ex_to<numeric>(f).is_real()) return false;
    *out = ex_to<numeric>(f);
    return true;
}

// GiNaC's messages name its internals ("power::eval(): division by zero"); keep the part a user
// understands.
std::string library_error_text(const std::exception& e) {
    std::string w = e.what();
    if (w.find("division by zero") != std::string::npos) return "division by zero";
    std::size_t colon = w.find("): ");
    return colon == std::string::npos ? w : w.substr(colon + 3);
}

// a + b*c and a*b for numbers: machine-size integers in machine words while the result fits in
// one, as a loop's counters and sums mostly are; others through CLN.
ex add_product(const numeric& a, const numeric& b, const numeric& c) {
    std::int64_t x, y, z, yz, r;
    if (kernel_fixnum(a, &x) && kernel_fixnum(b, &y) && kernel_fixnum(c, &z) &&
        !__builtin_mul_overflow(y, z, &yz) && !__builtin_add_overflow(x, yz, &r))
        return ex(long(r));
    return a.add(b.mul(c));
}

ex multiply_numbers(const numeric& a, const numeric& b) {
    std::int64_t x, y, r;
    if (kernel_fixnum(a, &x) && kernel_fixnum(b, &y) && !__builtin_mul_overflow(x, y, &r)) return ex(long(r));
    return a.mul(b);
}

}  // namespace

void kernel_check_integer_bits(double bits) {
    constexpr double SMALL_BITS = 64.0 * 8 * 1024 * 1024;   // 64 MB: never worth a look
    if (!(bits > SMALL_BITS)) return;
    // The number, its operands and GMP's scratch space: about three times its size.
    double need = bits / 8 * 3;
    long long room = sys_free_memory_bytes();
    long long left = sys_address_space_left_bytes();
    if (left >= 0 && (room < 0 || left < room)) room = left;
    if (room >= 0 && need > double(room)) throw KError("object too large");
    if (bits > 1e12) throw KError("object too large");   // past any machine's memory
}

namespace {

// Bits of |n| for an exact rational (numerator and denominator together).
double rational_bits(const numeric& n) {
    numeric a = abs(n);
    return double(a.numer().int_length()) + double(a.denom().int_length());
}

}  // namespace

GiNaC::ex kernel_pow(const GiNaC::ex& base, const GiNaC::ex& exponent) {
    // x^1 is x: a product's factors mostly come with exponent 1, and GiNaC would make and
    // evaluate a power object to find that out.  Numbers take the way below, which also drops
    // an exact zero imaginary part.
    std::int64_t one;
    if (!is_number(base) && is_number(exponent) && kernel_fixnum(ex_to<numeric>(exponent), &one) && one == 1)
        return base;
    if (is_number(base) && is_number(exponent)) {
        const numeric &b = ex_to<numeric>(base), &e = ex_to<numeric>(exponent);
        // A machine-size integer to a small natural power (i^2 in a loop) has at most a few
        // thousand bits and needs none of the checks below; it is computed in machine words
        // while it fits in one.
        std::int64_t bv, ev;
        if (kernel_fixnum(b, &bv) && kernel_fixnum(e, &ev) && ev >= 0 && ev <= 64) {
            std::int64_t r = 1;
            bool fits = true;
            for (std::int64_t k = 0; k < ev && fits; ++k) fits = !__builtin_mul_overflow(r, bv, &r);
            if (fits) return ex(long(r));
            return b.power(e);
        }
        // A small integer to a small power cannot be too large; only others are measured.
        const bool small = e.is_integer() && b.is_integer() && e <= 1000 && e >= -1000 && b.int_length() <= 1000;
        if (!small && b.is_rational() && e.is_integer() && !e.is_zero() && abs(b) != 1 && !b.is_zero())
            kernel_check_integer_bits(std::fabs(e.to_double()) * rational_bits(b));
        // Exact powers are computed as numbers: an interrupt or an allocation failure inside
        // GiNaC's pow() would lose the power object it has just made.
        if (b.is_rational() && e.is_integer() && !(b.is_zero() && !e.is_positive())) {
            // Integer powers only: a rational power is built from its numerator's and
            // denominator's powers, and reading one back would cost CLN a quadratic gcd.
            const bool large = b.is_integer() && e.is_positive() &&
                               e.to_double() * rational_bits(b) > kernel_child_large_integer_bits;
            return kernel_compute(large, ex(), [&] { return ex(b.power(e)); });
        }
    }
    // GiNaC raises division by zero from inside the constructor of the power, where the half-made
    // object is lost; decide the case before constructing.
    if (base.is_zero() && is_number(exponent)) {
        const numeric& e = ex_to<numeric>(exponent);
        if (!e.is_real() || e.is_negative() || e.is_zero()) {
            if (e.is_zero()) return 1;
            throw KError("division by zero");
        }
    }
    // Floating powers likewise: GiNaC computes them while it evaluates the power object it has
    // made, and an interrupt there would lose that object.
    if (is_number(base) && is_number(exponent) && !base.is_zero()) {
        const numeric &b = ex_to<numeric>(base), &e = ex_to<numeric>(exponent);
        if (!b.is_crational() || !e.is_crational()) return b.power(e);
    }
    ex r = pow(base, exponent);
    // Exact powers of complex numbers can keep an exact zero imaginary part (I^4): drop it.
    if (is_number(r)) {
        const numeric& n = ex_to<numeric>(r);
        if (!n.is_real() && n.imag().is_zero() && n.imag().is_rational()) return n.real();
    }
    return r;
}

KInterpreter::KInterpreter() { kernel_set_digits(digits_); }

void KInterpreter::setDigits(long d) {
    if (d < 1 || d > 100000) throw KError("Digits must be a positive integer below 100000");
    digits_ = d;
    kernel_set_digits(d);
}

std::string KInterpreter::currentProcedure() const {
    return frames_.empty() ? std::string() : frames_.back().proc->name;
}

void KInterpreter::step() {
    checkStack();
    pollNow();
}

void KInterpreter::stackExhausted() { throw KError("too many levels of recursion"); }

void KInterpreter::pollNow() {
    if (interruptPending_) {
        interruptPending_ = false;
        throw KInterrupt{};
    }
    auto now = std::chrono::steady_clock::now();
    if (now - lastPoll_ >= POLL_INTERVAL) {
        lastPoll_ = now;
        if (sink_ && sink_->poll() != 0) throw KInterrupt{};
    }
}

namespace {

KInterpreter* runningInterpreter = nullptr;
std::thread::id runningThread;
bool pollingFromLibrary = false;
bool pollEveryAllocation = false;

}  // namespace

// A poll from inside GiNaC, CLN or GMP only notes the interrupt: none of them is exception-safe
// (an exception unwinding through them leaves reference counts, cached numbers and half-made
// objects behind), so the interrupt is raised by the interpreter's next step, outside them.
void KInterpreter::pollFromLibrary() noexcept {
    if (interruptPending_ || sink_ == nullptr) return;
    auto now = std::chrono::steady_clock::now();
    if (!pollEveryAllocation && now - lastPoll_ < POLL_INTERVAL) return;
    lastPoll_ = now;
    try {
        interruptPending_ = sink_->poll() != 0;
    } catch (...) {
    }
}

void kernel_poll_at_every_library_allocation(bool on) { pollEveryAllocation = on; }

void kernel_poll_from_library() noexcept {
    if (runningInterpreter == nullptr || pollingFromLibrary || std::this_thread::get_id() != runningThread)
        return;
    pollingFromLibrary = true;
    runningInterpreter->pollFromLibrary();
    pollingFromLibrary = false;
}

void kernel_step_running() {
    if (runningInterpreter != nullptr && std::this_thread::get_id() == runningThread) runningInterpreter->step();
}

KLibraryPollPause::KLibraryPollPause() : saved_(pollingFromLibrary) { pollingFromLibrary = true; }
KLibraryPollPause::~KLibraryPollPause() { pollingFromLibrary = saved_; }

void KInterpreter::run(const KNode& statement, bool showResults, KReplySink& sink) {
    struct Running {
        explicit Running(KInterpreter* k) {
            runningInterpreter = k;
            runningThread = std::this_thread::get_id();
        }
        ~Running() { runningInterpreter = nullptr; }
    } running(this);
    char base;
    stackBase_ = &base;
    sink_ = &sink;
    showResults_ = showResults;
    frames_.clear();
    lastPoll_ = std::chrono::steady_clock::now();
    nodesUntilPoll_ = NODES_PER_POLL;
    interruptPending_ = false;
    long savedDigits = digits_;
    try {
        exec(statement, true);
    } catch (const BreakLoop&) {
        throw KError("break or next outside a loop");
    } catch (const NextLoop&) {
        throw KError("break or next outside a loop");
    } catch (const Return&) {
        throw KError("RETURN outside a procedure");
    } catch (...) {
        frames_.clear();
        kernel_set_digits(digits_ > 0 ? digits_ : savedDigits);
        throw;
    }
}

// ---- statements -------------------------------------------------------------------------------

void KInterpreter::show(const KValue& v) {
    if (!showResults_ || v.isNull()) return;
    sink_->reply("RESULT", v.kind == KValue::Seq ? v.items : KSeq{v});
}

KValue KInterpreter::exec(const KNode& n, bool top) {
    tick();
    switch (n.type) {
    case DAG_STATSEQ: return execSeq(n, top);
    case DAG_ASSIGN: return assign(n, top);
    case DAG_IF: return execIf(n, top);
    case DAG_FOR: return execFor(n, top);
    case DAG_STOP: throw KStopRequest{};
    case DAG_READ:
    case DAG_SAVE: throw KError("read and save are not available in this kernel");
    case DAG_NAME:
        switch (kernel_name(nameOf(n)).special()) {
        case KSpecial::Break: throw BreakLoop{};
        case KSpecial::Next: throw NextLoop{};
        case KSpecial::Stop: throw KStopRequest{};
        default: break;
        }
        break;
    default: break;
    }
    KValue v = eval(n);
    if (top) {
        if (!v.isNull()) {
            ditto_[2] = ditto_[1];
            ditto_[1] = ditto_[0];
            ditto_[0] = v;
        }
        show(v);
    }
    return v;
}

KValue KInterpreter::execSeq(const KNode& n, bool top) {
    if (n.kids.size() == 1) return exec(*n.kids[0], top);   // a procedure's body of one statement
    KValue last = KValue::seq();
    for (const auto& k : n.kids) last = exec(*k, top);
    return last;
}

KValue KInterpreter::execIf(const KNode& n, bool top) {
    std::size_t i = 0;
    for (; i + 1 < n.kids.size(); i += 2) {
        if (condition(*n.kids[i])) return exec(*n.kids[i + 1], top);
    }
    if (i < n.kids.size()) return exec(*n.kids[i], top);
    return KValue::seq();
}

KValue KInterpreter::execFor(const KNode& n, bool top) {
    const KNodePtr& var = n.kids[0];
    unsigned varName = 0;
    if (var) {
        if (var->type != DAG_NAME) throw KError("loop variable must be a name");
        varName = nameOf(*var);
    }
    KValue last = KValue::seq();
    auto body = [&](const KNode& b) {
        try {
            last = exec(b, top);
        } catch (const NextLoop&) {
        }
    };
    try {
        if (n.kids.size() == 4) {   // for v in e while c do body od
            KValue over = eval(*n.kids[1]);
            KSeq items;
            if (over.kind == KValue::List || over.kind == KValue::Set || over.kind == KValue::Seq) {
                items = over.items;
            } else if (over.kind == KValue::Expr && (is_a<add>(over.ex) || is_a<mul>(over.ex))) {
                for (std::size_t i = 0; i < over.ex.nops(); ++i) items.push_back(over.ex.op(i));
            } else {
                items.push_back(over);
            }
            for (const auto& item : items) {
                tick();
                if (var) setName(varName, item);
                if (n.kids[2] && !condition(*n.kids[2])) break;
                body(*n.kids[3]);
            }
            return last;
        }
        // for v from a by b to c while w do body od; every part optional
        numeric from = 1, by = 1, to = 0;
        bool hasTo = false;
        auto number = [&](const KNodePtr& k, numeric* out, const char* what) {
            KValue v = eval(*k);
            if (v.kind != KValue::Expr || !is_number(v.ex) || !ex_to<numeric>(v.ex).is_real())
                throw KError(std::string("for loop ") + what + " must be a number");
            *out = ex_to<numeric>(v.ex);
        };
        if (n.kids[1]) number(n.kids[1], &from, "start");
        if (n.kids[2]) number(n.kids[2], &by, "step");
        if (n.kids[3]) { number(n.kids[3], &to, "end"); hasTo = true; }
        numeric i = from;
        bool counting = true;
        std::int64_t k, step, end = 0;
        if (kernel_fixnum(from, &k) && kernel_fixnum(by, &step) && (!hasTo || kernel_fixnum(to, &end))) {
            // Machine-size bounds: the counter is a machine word while it fits in one (a bound
            // past the range stops it first), then the loop below takes over from its value.
            for (;;) {
                tick();
                if (hasTo && (step > 0 ? k > end : step < 0 && k < end)) { counting = false; break; }
                if (var) setName(varName, ex(long(k)));
                if (n.kids[4] && !condition(*n.kids[4])) { counting = false; break; }
                body(*n.kids[5]);
                std::int64_t next;
                if (__builtin_add_overflow(k, step, &next)) break;
                k = next;
            }
            i = numeric(long(k));
            if (counting) i += by;
        }
        for (; counting;) {
            tick();
            if (hasTo && (by.is_positive() ? i > to : by.is_negative() ? i < to : false)) break;
            if (var) setName(varName, i);
            if (n.kids[4] && !condition(*n.kids[4])) break;
            body(*n.kids[5]);
            i += by;
        }
        // As in the language: after a counted loop the variable holds the first value past it.
        if (var && hasTo) setName(varName, i);
    } catch (const BreakLoop&) {
    }
    return last;
}

KValue KInterpreter::assign(const KNode& n, bool top) {
    KValue value = eval(*n.kids[1]);
    const KNode& target = *n.kids[0];
    const bool shown = top && showResults_;   // the value is shown after it is stored
    if (target.type == DAG_EXPSEQ) {
        KSeq values = value.kind == KValue::Seq ? value.items : KSeq{value};
        if (values.size() != target.kids.size())
            throw KError("cannot split rhs for multiple assignment");
        for (std::size_t i = 0; i < values.size(); ++i) assignTo(*target.kids[i], std::move(values[i]));
    } else {
        assignTo(target, shown ? value : std::move(value));
    }
    if (shown) {
        KValue left;
        if (target.type == DAG_NAME) left = KValue(kernel_name(nameOf(target)).symbol());
        else if (target.type == DAG_TABLEREF && target.kids[0]->type == DAG_NAME)
            left = KValue(kernel_indexed_symbol(target.kids[0]->text, evalArgs(*target.kids[1]).items));
        else left = KValue(kernel_symbol("%"));
        // NOLINTNEXTLINE(bugprone-use-after-move): value is moved above only when not shown
        if (!(target.type == DAG_EXPSEQ)) sink_->reply("RESULT", {KValue::relation(DAG_ASSIGN, left, value)});
    }
    return KValue::seq();
}

unsigned KInterpreter::nameOf(const KNode& n) { return n.name ? n.name : kernel_name_id(n.text); }

KInterpreter::Global& KInterpreter::globalSlot(unsigned id) {
    if (globals_.size() < id) globals_.resize(id);
    return globals_[id - 1];
}

const KInterpreter::Global* KInterpreter::findGlobal(unsigned id) const {
    if (id > globals_.size() || !globals_[id - 1].set) return nullptr;
    return &globals_[id - 1];
}

void KInterpreter::clearGlobal(unsigned id) {
    if (id > globals_.size() || !globals_[id - 1].set) return;
    globals_[id - 1] = Global{};
    --globalsSet_;
}

void KInterpreter::setName(unsigned id, KValue value) {
    if (!frames_.empty()) {
        Frame& f = frames_.back();
        const auto& locals = f.proc->localIds;
        for (std::size_t i = 0; i < locals.size(); ++i) {
            if (locals[i] == id) {
                f.locals[i] = std::move(value);
                f.localSet[i] = true;
                return;
            }
        }
        for (unsigned p : f.proc->paramIds)
            if (p == id) throw KError("illegal use of a formal parameter");
    }
    const KNameInfo& info = kernel_name(id);
    const std::string& name = info.text();
    if (info.special() == KSpecial::Digits) {
        numeric d;
        if (value.kind != KValue::Expr || !is_number(value.ex) ||
            !ex_to<numeric>(value.ex).is_pos_integer())
            throw KError("Digits must be a positive integer");
        setDigits(ex_to<numeric>(value.ex).to_long());
    } else if (info.isProtected()) {
        throw KError("attempting to assign to `" + name + "` which is protected");
    }
    if (value.kind == KValue::Proc && value.proc->name.empty()) {
        auto named = std::make_shared<KProc>(*value.proc);
        named->name = name;
        value.proc = named;
    }
    // x := x clears the value (the name evaluates to itself again).  A number holds no name,
    // so it needs neither test.
    const bool number = value.kind == KValue::Expr && is_number(value.ex);
    std::optional<KValue> libname;
    if (info.special() == KSpecial::Libname) libname = value;
    if (!number && value.kind == KValue::Expr && kernel_is_name(value.ex) &&
        ex_to<symbol>(value.ex).get_name() == name) {
        clearGlobal(id);
    } else {
        if (!number && value.kind == KValue::Expr && value.ex.has(info.symbol()))
            throw KError("recursive assignment");
        Global& g = globalSlot(id);
        if (!g.set) ++globalsSet_;
        g.set = true;
        g.value = std::move(value);
    }
    ++assignments_;
    // The help system follows the library folders.
    if (info.special() == KSpecial::Libname && sink_)
        sink_->reply("HELP", kernel_help_setpath(*libname));
}

void KInterpreter::assignTo(const KNode& target, KValue value) {
    if (target.type == DAG_NAME) {
        setName(nameOf(target), std::move(value));
        return;
    }
    if (target.type == DAG_LOCAL && !frames_.empty()) {
        Frame& f = frames_.back();
        std::size_t i = std::size_t(target.index - 1);
        if (target.index < 1 || i >= f.locals.size()) throw KError("invalid local variable");
        f.locals[i] = std::move(value);
        f.localSet[i] = true;
        return;
    }
    if (target.type == DAG_TABLEREF && target.kids[0]->type == DAG_NAME) {
        const unsigned name = nameOf(*target.kids[0]);
        KSeq idx = evalArgs(*target.kids[1]).items;
        KValue current = lookup(name);
        if (current.kind == KValue::List && idx.size() == 1 && idx[0].kind == KValue::Expr &&
            is_number(idx[0].ex) && ex_to<numeric>(idx[0].ex).is_integer()) {
            long k = ex_to<numeric>(idx[0].ex).to_long();
            if (k < 1 || std::size_t(k) > current.items.size())
                throw KError("out of bound assignment to a list");
            current.items[std::size_t(k - 1)] = std::move(value);
            setName(name, std::move(current));
            return;
        }
        if (current.kind != KValue::Table) {
            current = KValue();
            current.kind = KValue::Table;
            current.table = std::make_shared<std::map<std::string, std::pair<KSeq, KValue>>>();
            setName(name, current);
        }
        std::string key;
        for (const auto& i : idx) key += kernel_value_text(i) + ",";
        (*current.table)[key] = {std::move(idx), std::move(value)};
        ++assignments_;
        return;
    }
    throw KError("invalid left hand side in assignment");
}

// ---- names ------------------------------------------------------------------------------------

KValue KInterpreter::lookup(unsigned id) {
    if (!frames_.empty()) {
        Frame& f = frames_.back();
        const auto& params = f.proc->paramIds;
        for (std::size_t i = 0; i < params.size(); ++i) {
            if (params[i] != id) continue;
            if (i >= f.args.size())
                throw KError(f.proc->name + " uses a " + std::to_string(i + 1) + ordinal_suffix(i + 1) +
                             " argument, " + kernel_name(id).text() + ", which is missing");
            return f.args[i];
        }
        const auto& locals = f.proc->localIds;
        for (std::size_t i = 0; i < locals.size(); ++i) {
            if (locals[i] != id) continue;
            return f.localSet[i] ? f.locals[i] : KValue(kernel_name(id).symbol());
        }
        switch (kernel_name(id).special()) {
        case KSpecial::Nargs: return KValue(numeric(long(f.args.size())));
        case KSpecial::Args: return KValue::seq(f.args);
        case KSpecial::Procname: return KValue(kernel_symbol(f.proc->name));
        default: break;
        }
    }
    return lookupGlobal(id, 0);
}

bool KInterpreter::isFrameName(unsigned id) const {
    if (frames_.empty()) return false;
    const KProc& p = *frames_.back().proc;
    return std::find(p.paramIds.begin(), p.paramIds.end(), id) != p.paramIds.end() ||
           std::find(p.localIds.begin(), p.localIds.end(), id) != p.localIds.end();
}

KValue KInterpreter::lookupGlobal(unsigned id, int depth) {
    const KNameInfo& info = kernel_name(id);
    switch (info.special()) {
    case KSpecial::Pi: return KValue(Pi);
    case KSpecial::I: return KValue(I);
    case KSpecial::Gamma: return KValue(Euler);
    case KSpecial::Catalan: return KValue(Catalan);
    case KSpecial::Digits: return KValue(numeric(digits_));
    case KSpecial::Null: return KValue::seq();
    case KSpecial::Ditto1: return ditto_[0];
    case KSpecial::Ditto2: return ditto_[1];
    case KSpecial::Ditto3: return ditto_[2];
    default: break;
    }
    const Global* g = findGlobal(id);
    if (g == nullptr) return KValue(info.symbol());
    return fullEval(g->value, depth);
}

// Names inside a stored value may have been assigned since it was stored: evaluate them, as
// the language evaluates names fully.
KValue KInterpreter::fullEval(const KValue& v, int depth) {
    if (depth > 100) throw KError("too many levels of recursion");
    if (v.kind == KValue::Expr) {
        if (globalsSet_ == 0 || is_number(v.ex)) return v;
        exmap m;
        for (const_preorder_iterator i = v.ex.preorder_begin(); i != v.ex.preorder_end(); ++i) {
            if (!is_a<symbol>(*i)) continue;
            const Global* g = findGlobal(kernel_name_id(ex_to<symbol>(*i).get_name()));
            if (g == nullptr || g->value.kind != KValue::Expr) continue;
            m[*i] = fullEval(g->value, depth + 1).ex;
        }
        if (m.empty()) return v;
        KValue r(v.ex.subs(m));
        r.digits = v.digits;
        return r;
    }
    if (v.kind == KValue::Proc || v.kind == KValue::Str || v.kind == KValue::Table) return v;
    KValue r = v;
    for (auto& item : r.items) item = fullEval(item, depth + 1);
    return r;
}

// ---- expressions ------------------------------------------------------------------------------

GiNaC::ex KInterpreter::toEx(const KValue& v, const char* where) {
    switch (v.kind) {
    case KValue::Expr: return v.ex;
    case KValue::Seq:
        if (v.items.size() == 1) return toEx(v.items[0], where);
        break;
    case KValue::List: {
        lst l;
        for (const auto& i : v.items) l.append(toEx(i, where));
        return l;
    }
    case KValue::Rel: {
        ex a = toEx(v.items[0], where), b = toEx(v.items[1], where);
        switch (v.rel) {
        case DAG_EQUATION: return a == b;
        case DAG_INEQUAT: return a != b;
        case DAG_LESSEQ: return a <= b;
        case DAG_LESSTHAN: return a < b;
        default: break;
        }
        break;
    }
    default: break;
    }
    throw KError(std::string("invalid ") + where + " operand: " + kernel_value_text(v));
}

GiNaC::ex KInterpreter::numberOrEx(const KNode& n, const char* where) {
    if (n.type == DAG_INTPOS || n.type == DAG_INTNEG || n.type == DAG_RATIONAL) {
        tick();
        return n.number;
    }
    return toEx(eval(n), where);
}

KValue KInterpreter::evalArgs(const KNode& seq) {
    KSeq out;
    auto add = [&](KValue&& v) {
        if (v.kind == KValue::Seq)
            out.insert(out.end(), std::make_move_iterator(v.items.begin()), std::make_move_iterator(v.items.end()));
        else out.push_back(std::move(v));
    };
    if (seq.type == DAG_EXPSEQ) {
        out.reserve(seq.kids.size());
        for (const auto& k : seq.kids) add(eval(*k));
    } else {
        add(eval(seq));
    }
    return KValue::seq(std::move(out));
}

// Lists and equations take part in arithmetic element by element: a number or expression
// combines with every element (of every nested list), two of them combine position by position.
bool KInterpreter::isElementwise(const KValue& v) {
    return v.kind == KValue::List || (v.kind == KValue::Rel && v.rel == DAG_EQUATION);
}

KValue KInterpreter::mapElements(const KValue& v, const std::function<ex(const ex&)>& f) {
    if (!isElementwise(v)) return KValue(f(toEx(v, "arithmetic")));
    KValue r = v;
    for (auto& item : r.items) item = mapElements(item, f);
    return r;
}

KValue KInterpreter::addElementwise(const KValue& a, const KValue& b) {
    if (!isElementwise(a)) return mapElements(b, [&](const ex& e) { return toEx(a, "arithmetic") + e; });
    if (!isElementwise(b)) return addElementwise(b, a);
    if (a.kind != b.kind) throw KError("cannot add a list and an equation");
    if (a.items.size() != b.items.size()) throw KError("adding lists of different lengths");
    KValue r = a;
    for (std::size_t k = 0; k < r.items.size(); ++k) r.items[k] = addElementwise(a.items[k], b.items[k]);
    return r;
}

KValue KInterpreter::arith(const KNode& n) {
    // SUM: pairs (term, coefficient); PROD: pairs (factor, exponent).
    bool sum = n.type == DAG_SUM;
    ex result = sum ? ex(0) : ex(1);
    bool pristine = true;      // result is still the 0 or 1 it started as
    bool numberResult = true;  // result is a number (so far every operand was one)
    KValue elements;           // the list or equation operands combined so far
    bool haveElements = false;
    bool matrices = false;     // a matrix operand: the result is evaluated as matrix arithmetic
    for (std::size_t i = 0; i + 1 < n.kids.size(); i += 2) {
        const KNode& cn = *n.kids[i + 1];
        // A number term of a sum with a number written as its coefficient (n-1, s+k): the
        // common case of a loop's arithmetic, taken without the checks below, and a parameter
        // or a written number read without making a value.
        const bool fastSum = sum && numberResult && (cn.type == DAG_INTPOS || cn.type == DAG_INTNEG);
        ex quick;
        const bool quickTerm = fastSum && quickEx(*n.kids[i], quick);
        KValue t = quickTerm ? KValue() : eval(*n.kids[i]);
        if (quickTerm ? is_number(quick) : fastSum && t.kind == KValue::Expr && is_number(t.ex)) {
            tick();
            const ex& term = quickTerm ? quick : t.ex;
            std::int64_t k;
            // 0 + t*1 is t itself: shared, not made anew.
            if (pristine && kernel_fixnum(ex_to<numeric>(cn.number), &k) && k == 1) result = term;
            else result = add_product(ex_to<numeric>(result), ex_to<numeric>(term), ex_to<numeric>(cn.number));
            pristine = false;
            continue;
        }
        if (quickTerm) t = KValue(std::move(quick));
        ex c = numberOrEx(cn, "arithmetic");
        // A single operand with coefficient or exponent 1 is itself, whatever its kind.
        if (n.kids.size() == 2 && t.kind != KValue::Expr && is_number(c) && c.is_equal(1)) return t;
        if (isElementwise(t)) {
            KValue scaled = mapElements(t, [&](const ex& a) { return sum ? a * c : kernel_pow(a, c); });
            if (!haveElements) elements = std::move(scaled);
            else if (sum) elements = addElementwise(elements, scaled);
            else throw KError(t.kind == KValue::List ? "cannot multiply two lists" : "cannot multiply two equations");
            haveElements = true;
            continue;
        }
        ex te = t.kind == KValue::Expr ? std::move(t.ex) : toEx(t, "arithmetic");
        matrices = matrices || kernel_is_exactly<matrix>(te);
        try {
            // Numbers combine as numbers: the values GiNaC's sum and product objects would
            // reduce to, without making those objects.
            // Outside matrix arithmetic t*1 is t, 0+t is t and 1*t is t: those are not handed to
            // GiNaC, which would make a product or a sum object only to find that out.
            if (sum) {
                if (is_number(te) && is_number(c) && is_number(result)) {
                    result = add_product(ex_to<numeric>(result), ex_to<numeric>(te), ex_to<numeric>(c));
                } else {
                    std::int64_t k;
                    const bool unit = !matrices && is_number(c) && kernel_fixnum(ex_to<numeric>(c), &k) && k == 1;
                    if (pristine && !matrices) result = unit ? te : te * c;
                    else result += unit ? te : te * c;
                }
            } else {
                ex p = kernel_pow(te, c);
                if (is_number(p) && is_number(result)) result = multiply_numbers(ex_to<numeric>(result), ex_to<numeric>(p));
                else if (pristine && !matrices) result = std::move(p);
                else result *= p;
            }
            pristine = false;
            numberResult = is_number(result);
        } catch (const std::logic_error& e) {
            if (matrices) kernel_matrix_error(e);
            throw;
        }
    }
    if (haveElements) {
        if (matrices) throw KError("cannot combine a list and a matrix");
        return mapElements(elements, [&](const ex& a) { return sum ? a + result : a * result; });
    }
    return KValue(matrices ? kernel_matrix_evaluate(result) : result);
}

KValue KInterpreter::eval(const KNode& n) {
    tick();
    switch (n.type) {
    case DAG_INTPOS:
    case DAG_INTNEG:
    case DAG_RATIONAL: return KValue(n.number);
    case DAG_FLOAT: {
        if (n.index > 1000000 || n.index < -1000000) throw KError("float exponent too large");
        numeric m(n.text.c_str());
        ex v = m * pow(numeric(10), numeric(n.index));
        return KValue(v.evalf());
    }
    case DAG_STRING: return KValue::str(n.text);
    case DAG_NAME: {
        const unsigned id = nameOf(n);
        if (kernel_name(id).special() == KSpecial::Stop) throw KStopRequest{};
        return lookup(id);
    }
    case DAG_PARAM: {
        if (frames_.empty()) throw KError("parameter outside a procedure");
        Frame& f = frames_.back();
        if (n.index == 0) return KValue(numeric(long(f.args.size())));
        if (n.index == -1) return KValue::seq(f.args);
        if (n.index == -2) return KValue(kernel_symbol(f.proc->name));
        std::size_t i = std::size_t(n.index - 1);
        if (n.index < 1 || i >= f.args.size()) {
            std::string pname = n.index >= 1 && i < f.proc->params.size() ? f.proc->params[i] : "?";
            throw KError(f.proc->name + " uses a " + std::to_string(n.index) +
                         ordinal_suffix(std::size_t(n.index)) + " argument, " + pname +
                         ", which is missing");
        }
        return f.args[i];
    }
    case DAG_LOCAL: {
        if (frames_.empty()) throw KError("local variable outside a procedure");
        Frame& f = frames_.back();
        std::size_t i = std::size_t(n.index - 1);
        if (n.index < 1 || i >= f.locals.size()) throw KError("invalid local variable");
        return f.localSet[i] ? f.locals[i] : KValue(kernel_name(f.proc->localIds[i]).symbol());
    }
    case DAG_SUM:
    case DAG_PROD: return arith(n);
    case DAG_POWER: {
        KValue base = eval(*n.kids[0]);
        ex exponent = numberOrEx(*n.kids[1], "power");
        if (isElementwise(base)) return mapElements(base, [&](const ex& a) { return kernel_pow(a, exponent); });
        return KValue(kernel_pow(toEx(base, "power"), exponent));
    }
    case DAG_FUNCTION: return call(n);
    case DAG_TABLEREF: return index(n);
    case DAG_EXPSEQ: return evalArgs(n);
    case DAG_LIST: return KValue::make(KValue::List, evalArgs(*n.kids[0]).items);
    case DAG_SET: {
        KSeq items = evalArgs(*n.kids[0]).items, unique;
        for (const auto& i : items) {
            bool seen = false;
            for (const auto& u : unique) seen = seen || kernel_value_equal(u, i);
            if (!seen) unique.push_back(i);
        }
        std::stable_sort(unique.begin(), unique.end(), [](const KValue& a, const KValue& b) {
            return kernel_value_text(a) < kernel_value_text(b);
        });
        return KValue::make(KValue::Set, std::move(unique));
    }
    case DAG_EQUATION:
    case DAG_INEQUAT:
    case DAG_LESSEQ:
    case DAG_LESSTHAN: return KValue::relation(n.type, eval(*n.kids[0]), eval(*n.kids[1]));
    case DAG_RANGE: return KValue::make(KValue::Range, {eval(*n.kids[0]), eval(*n.kids[1])});
    case DAG_AND:
    case DAG_OR: {
        KValue a = eval(*n.kids[0]);
        std::string t;
        bool aKnown = a.kind == KValue::Expr && kernel_is_name(a.ex, &t) && (t == "true" || t == "false");
        if (aKnown) {
            bool av = t == "true";
            if (n.type == DAG_AND && !av) return kernel_bool(false);
            if (n.type == DAG_OR && av) return kernel_bool(true);
            return eval(*n.kids[1]);
        }
        return KValue::make(n.type == DAG_AND ? KValue::And : KValue::Or, {a, eval(*n.kids[1])});
    }
    case DAG_NOT: {
        KValue a = eval(*n.kids[0]);
        std::string t;
        if (a.kind == KValue::Expr && kernel_is_name(a.ex, &t) && (t == "true" || t == "false"))
            return kernel_bool(t == "false");
        return KValue::make(KValue::Not, {a});
    }
    case DAG_UNEVAL:
        if (n.kids[0]->type == DAG_NAME) return KValue(kernel_name(nameOf(*n.kids[0])).symbol());
        return eval(*n.kids[0]);
    case DAG_PROC: return makeProc(n);
    case DAG_CATENATE: {
        if (n.kids[0]->type != DAG_NAME) throw KError("invalid concatenation");
        KValue r = eval(*n.kids[1]);
        std::string suffix;
        if (r.kind == KValue::Str) suffix = r.text;
        else if (r.kind == KValue::Expr && (is_number(r.ex) || is_a<symbol>(r.ex)))
            suffix = kernel_value_text(r);
        else throw KError("invalid concatenation");
        return lookup(kernel_name_id(n.kids[0]->text + suffix));
    }
    case DAG_ASSIGN:
    case DAG_IF:
    case DAG_FOR:
    case DAG_STATSEQ:
    case DAG_STOP: return exec(n, false);
    default: throw KError("cannot evaluate this expression");
    }
}

KValue KInterpreter::index(const KNode& n) {
    KSeq idx = evalArgs(*n.kids[1]).items;
    KValue base;
    std::string baseName;
    if (n.kids[0]->type == DAG_NAME) {
        baseName = n.kids[0]->text;
        base = lookup(nameOf(*n.kids[0]));
    } else {
        base = eval(*n.kids[0]);
    }
    if (base.kind == KValue::Table) {
        std::string key;
        for (const auto& i : idx) key += kernel_value_text(i) + ",";
        auto it = base.table->find(key);
        if (it != base.table->end()) return it->second.second;
        if (!baseName.empty()) return KValue(kernel_indexed_symbol(baseName, idx));
        throw KError("no entry for this index");
    }
    if (base.kind == KValue::List || base.kind == KValue::Seq || base.kind == KValue::Set) {
        if (idx.size() != 1 || idx[0].kind != KValue::Expr || !is_number(idx[0].ex) ||
            !ex_to<numeric>(idx[0].ex).is_integer())
            throw KError("invalid subscript selector");
        long k = ex_to<numeric>(idx[0].ex).to_long();
        long size = long(base.items.size());
        if (k < 0) k += size + 1;
        if (k < 1 || k > size) throw KError("invalid subscript selector");
        return base.items[std::size_t(k - 1)];
    }
    if (!baseName.empty() && base.kind == KValue::Expr && kernel_is_name(base.ex))
        return KValue(kernel_indexed_symbol(ex_to<symbol>(base.ex).get_name(), idx));
    throw KError("invalid subscript selector");
}

KValue KInterpreter::makeProc(const KNode& n) {
    auto p = std::make_shared<KProc>();
    p->params = n.proc->params;
    p->locals = n.proc->locals;
    for (const auto& name : p->params) p->paramIds.push_back(kernel_name_id(name));
    for (const auto& name : p->locals) p->localIds.push_back(kernel_name_id(name));
    p->body = n.kids[0];
    for (const auto& o : n.proc->options) p->remember = p->remember || o == "remember";
    KValue v;
    v.kind = KValue::Proc;
    v.proc = p;
    return v;
}

KValue KInterpreter::withBinding(const std::string& name, const KValue& value,
                                 const std::function<KValue()>& body) {
    // Binds the name for the body and restores what it was (seq, sum, product).
    const unsigned id = kernel_name_id(name);
    bool local = false;
    std::size_t localIndex = 0;
    KValue saved;
    bool savedSet = false;
    if (!frames_.empty()) {
        const auto& locals = frames_.back().proc->localIds;
        for (std::size_t i = 0; i < locals.size(); ++i)
            if (locals[i] == id) { local = true; localIndex = i; }
    }
    if (local) {
        saved = frames_.back().locals[localIndex];
        savedSet = frames_.back().localSet[localIndex];
    } else if (const Global* g = findGlobal(id)) {
        saved = g->value;
        savedSet = true;
    }
    auto restore = [&] {
        if (local) {
            frames_.back().locals[localIndex] = saved;
            frames_.back().localSet[localIndex] = savedSet;
        } else if (savedSet) {
            Global& g = globalSlot(id);
            if (!g.set) ++globalsSet_;
            g.set = true;
            g.value = saved;
        } else {
            clearGlobal(id);
        }
        ++assignments_;
    };
    try {
        setName(id, value);
        KValue r = body();
        restore();
        return r;
    } catch (...) {
        restore();
        throw;
    }
}

KValue KInterpreter::call(const KNode& n) {
    const KNode& fn = *n.kids[0];
    const KNode& argNode = *n.kids[1];
    static const std::string noName;
    const std::string* name = &noName;   // the called name's text (a record's, never moved)
    KValue f;
    const KNameInfo* own = nullptr;   // the called name's record while f is that name unassigned
    // A global procedure called by its name: held by its pointer, as lookup would copy the value.
    // The pointer keeps it alive should the call assign the name anew.
    std::shared_ptr<const KProc> globalProc;
    if (fn.type == DAG_NAME) {
        const unsigned id = nameOf(fn);
        const KNameInfo& info = kernel_name(id);
        name = &info.text();
        if (info.special() == KSpecial::Return) throw Return{evalArgs(argNode)};
        if (info.special() == KSpecial::None && !isFrameName(id)) {
            const Global* g = findGlobal(id);
            if (g && g->value.kind == KValue::Proc) globalProc = g->value.proc;
        }
        if (globalProc) {
            KSeq args = evalArgs(argNode).items;
            return callProc(*globalProc, std::move(args), name->empty() ? globalProc->name : *name);
        }
        f = lookup(id);
        // An unassigned name evaluates to its own symbol: the same object, so a pointer compare
        // answers before the names' texts are compared.
        bool assigned = !(f.kind == KValue::Expr && kernel_is_name(f.ex) &&
                          (&ex_to<basic>(f.ex) == &ex_to<basic>(info.symbol()) || ex_to<symbol>(f.ex).get_name() == *name));
        if (!assigned) {
            if (const KLazyBuiltin* lazy = info.lazyBuiltin()) return callLazy(*lazy, *name, argNode);
            own = &info;
        }
    } else if (fn.type == DAG_FUNCTION && fn.kids[0]->type == DAG_NAME &&
               kernel_name(nameOf(*fn.kids[0])).lazyBuiltin() &&
               lookup(nameOf(*fn.kids[0])).ex.is_equal(kernel_name(nameOf(*fn.kids[0])).symbol())) {
        // f(a)(b) with f a lazy built-in: f gets (CURRIED(a), b...), still unevaluated.
        auto curried = std::make_shared<KNode>();
        curried->type = KNODE_CURRIED;
        curried->kids.push_back(fn.kids[1]);
        KNode all;
        all.type = DAG_EXPSEQ;
        all.kids.push_back(curried);
        if (argNode.type == DAG_EXPSEQ) all.kids.insert(all.kids.end(), argNode.kids.begin(), argNode.kids.end());
        else all.kids.push_back(n.kids[1]);
        const std::string& lazyName = fn.kids[0]->text;
        return callLazy(*kernel_find_lazy_builtin(lazyName), lazyName, all);
    } else {
        f = eval(fn);
    }
    KSeq args = evalArgs(argNode).items;
    if (f.kind == KValue::Proc) return callProc(*f.proc, std::move(args), name->empty() ? f.proc->name : *name);
    if (f.kind == KValue::Expr && kernel_is_name(f.ex)) {
        const KNameInfo& fi = own ? *own : kernel_name(kernel_name_id(ex_to<symbol>(f.ex).get_name()));
        const std::string& builtinName = fi.text();
        if (const KBuiltin* b = fi.builtin()) {
            try {
                return (*b)(*this, args);
            } catch (const KError& e) {
                // ERROR's message belongs to the procedure that called it.
                if (e.tagged || builtinName == "ERROR") throw;
                throw KError("(in " + builtinName + ") " + e.what(), true);
            } catch (const std::bad_alloc&) {
                throw;
            } catch (const std::exception& e) {
                throw KError("(in " + builtinName + ") " + library_error_text(e), true);
            }
        }
        // A call of a name without a value stays a call: f(x) is f(x).
        exvector exArgs;
        for (const auto& v : args) exArgs.push_back(toEx(v, "function argument"));
        return KValue(kernel_inert_call(builtinName, exArgs));
    }
    throw KError("invalid function call: " + kernel_value_text(f) + " is not a procedure");
}

KValue KInterpreter::callLazy(const KLazyBuiltin& lazy, const std::string& name, const KNode& argSeq) {
    try {
        return lazy(*this, argSeq);
    } catch (const KError& e) {
        if (e.tagged) throw;
        throw KError("(in " + name + ") " + e.what(), true);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw KError("(in " + name + ") " + library_error_text(e), true);
    }
}

void KInterpreter::define(const std::string& name, const KValue& value) {
    Global& g = globalSlot(kernel_name_id(name));
    if (!g.set) ++globalsSet_;
    g.set = true;
    g.value = value;
}

KValue KInterpreter::libname() { return lookupGlobal(kernel_name_id("libname"), 0); }

KValue KInterpreter::apply(const KValue& f, KSeq args) {
    if (f.kind == KValue::Proc) return callProc(*f.proc, std::move(args), f.proc->name);
    std::string name;
    if (f.kind == KValue::Expr && kernel_is_name(f.ex, &name))
        if (const KBuiltin* b = kernel_find_builtin(name)) return (*b)(*this, args);
    throw KError("invalid function call: " + kernel_value_text(f) + " is not a procedure");
}

KValue KInterpreter::callProc(const KProc& p, KSeq args, const std::string& name) {
    if (frames_.size() >= std::size_t(MAX_CALL_DEPTH)) throw KError("too many levels of recursion");
    Frame frame{&p, std::move(args), std::vector<KValue>(p.locals.size()),
                std::vector<bool>(p.locals.size(), false)};
    // A procedure applied under a name other than its own reports that name.
    std::shared_ptr<KProc> renamed;
    if (p.name.empty() && !name.empty()) {
        renamed = std::make_shared<KProc>(p);
        renamed->name = name;
        frame.proc = renamed.get();
    }
    // option remember: results are kept by the text of the arguments.
    std::string key;
    if (p.remember) {
        for (const auto& v : frame.args) key += std::to_string(int(v.kind)) + ":" + kernel_value_text(v) + ";";
        auto it = p.rememberTable->find(key);
        if (it != p.rememberTable->end()) return it->second;
    }
    frames_.push_back(std::move(frame));
    KValue result;
    try {
        result = exec(*p.body, false);
    } catch (Return& r) {
        result = r.value.items.size() == 1 ? r.value.items[0] : r.value;
    } catch (const KError& e) {
        std::string who = frames_.back().proc->name;
        frames_.pop_back();
        if (e.tagged || who.empty()) throw;
        throw KError("(in " + who + ") " + e.what(), true);
    } catch (...) {
        frames_.pop_back();
        throw;
    }
    frames_.pop_back();
    if (p.remember) (*p.rememberTable)[key] = result;
    return result;
}

bool KInterpreter::quickEx(const KNode& n, GiNaC::ex& out) {
    switch (n.type) {
    case DAG_INTPOS:
    case DAG_INTNEG:
    case DAG_RATIONAL:
        tick();
        out = n.number;
        return true;
    case DAG_PARAM: {
        if (frames_.empty() || n.index < 1) return false;
        const Frame& f = frames_.back();
        const std::size_t i = std::size_t(n.index - 1);
        if (i >= f.args.size() || f.args[i].kind != KValue::Expr) return false;
        tick();
        out = f.args[i].ex;
        return true;
    }
    default: return false;
    }
}

bool KInterpreter::condition(const KNode& n) {
    // An order of two exact numbers is decided without making the relation value.
    if ((n.type == DAG_LESSTHAN || n.type == DAG_LESSEQ) && n.kids.size() == 2) {
        // Operands in order, as eval would take them; a parameter or a written number is read
        // without making a value.
        ex ea, eb;
        std::optional<KValue> va, vb;
        if (!quickEx(*n.kids[0], ea)) va = eval(*n.kids[0]);
        if (!quickEx(*n.kids[1], eb)) vb = eval(*n.kids[1]);
        const bool exprs = (!va || va->kind == KValue::Expr) && (!vb || vb->kind == KValue::Expr);
        const ex& xa = va ? va->ex : ea;
        const ex& xb = vb ? vb->ex : eb;
        if (exprs && is_number(xa) && is_number(xb)) {
            const numeric &p = ex_to<numeric>(xa), &q = ex_to<numeric>(xb);
            std::int64_t x, y;
            if (kernel_fixnum(p, &x) && kernel_fixnum(q, &y)) return n.type == DAG_LESSTHAN ? x < y : x <= y;
            if (p.is_rational() && q.is_rational()) return n.type == DAG_LESSTHAN ? p < q : p <= q;
        }
        KValue a = va ? std::move(*va) : KValue(ea);
        KValue b = vb ? std::move(*vb) : KValue(eb);
        return truth(KValue::relation(n.type, std::move(a), std::move(b)));
    }
    return truth(eval(n));
}

bool KInterpreter::truth(const KValue& v) {
    tick();
    switch (v.kind) {
    case KValue::Expr:
        // The names by their symbols (one per text), without copying a name's text.
        if (kernel_is_exactly<symbol>(v.ex)) {
            static const ex yes = kernel_symbol("true"), no = kernel_symbol("false"), fail = kernel_symbol("FAIL");
            if (v.ex.is_equal(yes)) return true;
            if (v.ex.is_equal(no) || v.ex.is_equal(fail)) return false;
        }
        break;
    case KValue::Rel: {
        const KValue &a = v.items[0], &b = v.items[1];
        if (v.rel == DAG_EQUATION || v.rel == DAG_INEQUAT) {
            bool eq = a.kind == KValue::Expr && b.kind == KValue::Expr
                          ? (a.ex - b.ex).is_zero() || a.ex.is_equal(b.ex)
                          : kernel_value_equal(a, b);
            return v.rel == DAG_EQUATION ? eq : !eq;
        }
        numeric x, y;
        // Exact numbers compare exactly: through floats of Digits digits, 10^40 < 10^40+1 came out false.
        if (a.kind == KValue::Expr && b.kind == KValue::Expr && is_number(a.ex) && is_number(b.ex)) {
            const numeric &p = ex_to<numeric>(a.ex), &q = ex_to<numeric>(b.ex);
            if (p.is_rational() && q.is_rational()) return v.rel == DAG_LESSTHAN ? p < q : p <= q;
        }
        if (a.kind == KValue::Expr && b.kind == KValue::Expr && real_value(a.ex, &x) &&
            real_value(b.ex, &y))
            return v.rel == DAG_LESSTHAN ? x < y : x <= y;
        break;
    }
    case KValue::And: return truth(v.items[0]) && truth(v.items[1]);
    case KValue::Or: return truth(v.items[0]) || truth(v.items[1]);
    case KValue::Not: return !truth(v.items[0]);
    default: break;
    }
    (void)is_true_name;
    throw KError("cannot evaluate boolean: " + kernel_value_text(v));
}
