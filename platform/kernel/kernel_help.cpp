// The kernel's side of the HELP stream: `libname`, help(topic) and INTERFACE_HELP(...).
//
//   libname                   the library folders: the kernel option -b, else the folder the
//                             kernel library was loaded from; a string or a sequence of them
//   readlib(`context/init`)() the worksheet's start-up statement: INTERFACE_HELP(setpath, d1, ...)
//                             with libname's folders as strings (`context/init/help`)
//   libname := ...            sends the same setpath again (KInterpreter::setName)
//   help(topic), help()       INTERFACE_HELP(display, topic = topic); help() shows the topic help
//   INTERFACE_HELP(...)       sends the reply with its arguments as written, not evaluated, so
//                             that insert and delete can be used from a worksheet
// None of them has a value (no RESULT).

#include <dlfcn.h>

#include "KInterpreter.h"
#include "kernel_inspect.h"
#include "kkernel.h"

namespace {

KValue help_builtin(KInterpreter& k, const KSeq& a) {
    if (a.size() > 1) throw KError("wrong number (or type) of parameters");
    KValue topic = a.empty() ? KValue(kernel_symbol("help")) : a[0];
    std::string text;
    if (!(topic.kind == KValue::Str || (topic.kind == KValue::Expr && kernel_is_name(topic.ex, &text))))
        throw KError("the topic must be a name or a string, not " + kernel_value_text(topic));
    k.sink().reply("HELP", {KValue(kernel_symbol("display")),
                            KValue::relation(DAG_EQUATION, KValue(kernel_symbol("topic")), topic)});
    return KValue::seq();
}

KValue interface_help(KInterpreter& k, const KNode& argSeq) {
    KSeq args;
    try {
        args = kernel_inspect_args(k, argSeq, KInspectMode::Literal);
    } catch (const KInspectRefused& r) {
        throw KError("INTERFACE_HELP takes names, strings, equations and TEXT(...), not " + r.why);
    }
    k.sink().reply("HELP", args);
    return KValue::seq();
}

KValue init_help(KInterpreter& k, const KSeq&) {
    k.sink().reply("HELP", kernel_help_setpath(k.libname()));
    return KValue::seq();
}

}  // namespace

KSeq kernel_help_setpath(const KValue& libname) {
    KSeq args{KValue(kernel_symbol("setpath"))};
    KSeq folders = libname.kind == KValue::Seq || libname.kind == KValue::List ? libname.items : KSeq{libname};
    for (const KValue& f : folders) {
        std::string text;
        if (f.kind == KValue::Str) args.push_back(f);
        else if (f.kind == KValue::Expr && kernel_is_name(f.ex, &text)) args.push_back(KValue::str(text));
        else throw KError("libname must hold names or strings, not " + kernel_value_text(f));
    }
    return args;
}

std::string kernel_library_folder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&kernel_start), &info) == 0 || info.dli_fname == nullptr) return ".";
    std::string path = info.dli_fname;
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void kernel_add_help_builtins(std::map<std::string, KBuiltin>& table) {
    table["help"] = help_builtin;
    table["context/init/help"] = init_help;
}

void kernel_add_help_lazy_builtins(std::map<std::string, KLazyBuiltin>& lazy) { lazy["INTERFACE_HELP"] = interface_help; }
