// A scripted stand-in for the kernel library: the same four entry points, replying as the
// request statement tells it to.  A request that is a call of one of these names does what the
// table says; any other request is echoed back as RESULT.  Every evaluation ends with DONE.
//
// | request            | replies                                                            |
// |--------------------|--------------------------------------------------------------------|
// | prints(a, b, ...)  | PRINT(a), PRINT(b), ...                                            |
// | pr(a, b)           | PRINT(a), RESULT(b)                                                |
// | ask(s, x, ...)     | INTERFACE_s(x, ...), then RESULT(the answer received, NULL for none) |
// | spin(n)            | polls up to n times, 1 ms apart; INTR when a poll said stop, else  |
// |                    | RESULT(polls made)                                                 |
// | spinp(n)           | PRINT(spinning), then as spin(n): the reply shows the evaluation runs |
// | fail(m)            | ERROR(m)                                                           |
// | flag()             | RESULT(the request flag)                                           |
// | stopk()            | STOP                                                               |
// | pid()              | RESULT(the process id)                                             |
// | args()             | RESULT(LIST of the start words as STRINGs)                         |
// | big(n)             | RESULT(a STRING of n letters x)                                    |
// | bytes()            | RESULT(a STRING holding the bytes 0x01 0x80 0xFF)                  |
// | die()              | ends the process at once (exit status 9) mid-evaluation            |
//
// kernel_start fails with the text of a "-T" option's value when it begins with "fail:".
// Misuse is fatal (abort), so that a test sees it: stopping while an evaluation runs, or
// evaluating/stopping on another thread than the one that started the kernel.  When
// KL_SCRIPT_TRACE names a file, start, each evaluation and stop append a line to it.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tovu/dag.h"
#include "tovu/storage.h"

extern "C" {
typedef Dag (*KernelQueryCallback)(void* link, Dag reply);
typedef int (*KernelPollCallback)(void* link);
}

namespace {

bool started = false;
bool busy = false;
std::thread::id owner;
std::vector<std::string> startWords;
std::string startError;
StorageArea* replies = nullptr;
StorageArea* names = nullptr;   // interned names and strings live as long as the name table

Dag intern(const std::string& text, unsigned type) {
    StoragePush push(names);
    return dag_intern(text.c_str(), type);
}

void trace(const std::string& line) {
    const char* path = std::getenv("KL_SCRIPT_TRACE");
    if (path == nullptr || *path == '\0') return;
    if (std::FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

void check_thread() {
    if (std::this_thread::get_id() != owner) {
        std::fprintf(stderr, "script kernel: called on a thread other than the starting one\n");
        std::abort();
    }
}

Dag seq(std::initializer_list<Dag> items) {
    Dag s = dag_new(items.size() + 1, DAG_EXPSEQ);
    std::size_t i = 1;
    for (Dag d : items) dag_set_op(s, i++, d);
    return s;
}

Dag reply(KernelQueryCallback query, void* link, const char* stream, Dag args) {
    std::string name = std::string("INTERFACE_") + stream;
    Dag message = dag_new2(DAG_FUNCTION, intern(name, DAG_NAME), args);
    if (!query) return nullptr;
    // Like the real kernel, the reply area is current only while replies are built.
    storage_pop_area();
    Dag answer = query(link, message);
    storage_push_area(replies);
    return answer;
}

Dag string_dag(const std::string& text) { return intern(text, DAG_STRING); }

const char* command_of(Dag request, Dag* args) {
    if (request == nullptr || dag_type(request) != DAG_FUNCTION) return nullptr;
    Dag name = dag_op(request, 1);
    if (name == nullptr || dag_type(name) != DAG_NAME) return nullptr;
    *args = dag_op(request, 2);
    return dag_text(name);
}

Dag arg(Dag args, std::size_t i) {
    return args != nullptr && dag_length(args) > i ? dag_op(args, i) : dag_NULL;
}

long int_arg(Dag args, std::size_t i, long dflt) {
    Dag a = arg(args, i);
    return dag_type(a) == DAG_INTPOS ? std::strtol(dag_integer_to_text(a).c_str(), nullptr, 10) : dflt;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const char* kernel_start(int argc, char** argv) {
    owner = std::this_thread::get_id();
    startWords.clear();
    for (int i = 0; i < argc; ++i) {
        if (argv == nullptr || argv[i] == nullptr) std::abort();   // argc words must be there
        startWords.push_back(argv[i]);
    }
    if (argv != nullptr && argv[argc] != nullptr) std::abort();    // and be NULL-terminated
    trace("start " + std::to_string(argc));
    for (int i = 1; i < argc; ++i) {
        std::string w = argv[i];
        std::string value;
        if (w == "-T" && i + 1 < argc) value = argv[i + 1];
        else if (w.rfind("-T", 0) == 0) value = w.substr(2);
        if (value.rfind("fail:", 0) == 0) {
            startError = value.substr(5);
            return startError.c_str();
        }
    }
    if (replies == nullptr) replies = storage_new(0, "SCRIPT-REPLIES");
    if (names == nullptr) names = storage_new(0, "SCRIPT-NAMES");
    started = true;
    return nullptr;
}

extern "C" __attribute__((visibility("default"))) void kernel_third(void) { std::abort(); }

extern "C" __attribute__((visibility("default"))) int kernel_evaluate(Dag request, KernelQueryCallback query,
                                                                   KernelPollCallback poll, int requestFlag,
                                                                   int, void* link) {
    check_thread();
    if (busy) std::abort();
    busy = true;
    storage_free(replies);
    StoragePush push(replies);
    trace("evaluate");
    Dag args = nullptr;
    const char* cmd = command_of(request, &args);
    std::string c = cmd ? cmd : "";
    if (!started) {
        reply(query, link, "ERROR", seq({string_dag("not started")}));
    } else if (c == "prints") {
        for (std::size_t i = 1; i < dag_length(args); ++i) reply(query, link, "PRINT", seq({dag_op(args, i)}));
    } else if (c == "ask") {
        Dag stream = arg(args, 1);
        const char* s = dag_type(stream) == DAG_NAME || dag_type(stream) == DAG_STRING ? dag_text(stream) : "GET";
        Dag rest = dag_new(dag_length(args) > 2 ? dag_length(args) - 1 : 1, DAG_EXPSEQ);
        for (std::size_t i = 2; i < dag_length(args); ++i) dag_set_op(rest, i - 1, dag_op(args, i));
        Dag answer = reply(query, link, s, rest);
        reply(query, link, "RESULT", seq({answer ? answer : dag_NULL}));
    } else if (c == "pr") {
        reply(query, link, "PRINT", seq({arg(args, 1)}));
        reply(query, link, "RESULT", seq({arg(args, 2)}));
    } else if (c == "spin" || c == "spinp") {
        if (c == "spinp") reply(query, link, "PRINT", seq({string_dag("spinning")}));
        long n = int_arg(args, 1, 1000), made = 0;
        bool stopped = false;
        while (made < n && !stopped) {
            ++made;
            if (poll && poll(link) != 0) stopped = true;
            else usleep(1000);
        }
        if (stopped) reply(query, link, "INTR", seq({}));
        else reply(query, link, "RESULT", seq({dag_of_int(made)}));
    } else if (c == "fail") {
        reply(query, link, "ERROR", seq({arg(args, 1)}));
    } else if (c == "flag") {
        reply(query, link, "RESULT", seq({dag_of_int(requestFlag)}));
    } else if (c == "stopk") {
        reply(query, link, "STOP", seq({}));
    } else if (c == "pid") {
        reply(query, link, "RESULT", seq({dag_of_int(long(getpid()))}));
    } else if (c == "args") {
        Dag items = dag_new(startWords.size() + 1, DAG_EXPSEQ);
        for (std::size_t i = 0; i < startWords.size(); ++i) dag_set_op(items, i + 1, string_dag(startWords[i]));
        reply(query, link, "RESULT", seq({dag_new1(DAG_LIST, items)}));
    } else if (c == "big") {
        reply(query, link, "RESULT", seq({string_dag(std::string(std::size_t(int_arg(args, 1, 10)), 'x'))}));
    } else if (c == "bytes") {
        reply(query, link, "RESULT", seq({string_dag("\x01\x80\xFF")}));
    } else if (c == "die") {
        std::_Exit(9);
    } else {
        reply(query, link, "RESULT", seq({request ? request : dag_NULL}));
    }
    reply(query, link, "DONE", seq({}));
    busy = false;
    return 0;
}

extern "C" __attribute__((visibility("default"))) void kernel_stop(void) {
    if (busy) {
        std::fprintf(stderr, "script kernel: stopped while an evaluation runs\n");
        std::abort();
    }
    if (started) check_thread();
    trace("stop");
    started = false;
}
