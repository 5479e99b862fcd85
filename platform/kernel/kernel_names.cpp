// The interned names of the language (kernel_names.h).

#include "kernel_names.h"

#include <deque>
#include <unordered_map>

namespace {

struct NameTable {
    std::deque<KNameInfo> records;   // id - 1; a deque keeps the records in place as it grows
    std::unordered_map<std::string, unsigned> ids;
};

NameTable& table() {
    static NameTable t;
    return t;
}

}  // namespace

KNameInfo::KNameInfo(std::string text) : text_(std::move(text)) {
    static const std::unordered_map<std::string, KSpecial> specials = {
        {"Pi", KSpecial::Pi}, {"I", KSpecial::I}, {"gamma", KSpecial::Gamma},
        {"Catalan", KSpecial::Catalan}, {"Digits", KSpecial::Digits}, {"NULL", KSpecial::Null},
        {"libname", KSpecial::Libname}, {"%", KSpecial::Ditto1}, {"%%", KSpecial::Ditto2},
        {"%%%", KSpecial::Ditto3}, {"quit", KSpecial::Stop}, {"done", KSpecial::Stop},
        {"stop", KSpecial::Stop}, {"break", KSpecial::Break}, {"next", KSpecial::Next},
        {"nargs", KSpecial::Nargs}, {"args", KSpecial::Args}, {"procname", KSpecial::Procname},
        {"RETURN", KSpecial::Return},
    };
    static const char* const constants[] = {"Pi", "I", "infinity", "true", "false", "FAIL",
                                            "gamma", "Catalan", "nargs", "args", "procname"};
    auto it = specials.find(text_);
    if (it != specials.end()) special_ = it->second;
    for (const char* c : constants) constant_ = constant_ || text_ == c;
}

void KNameInfo::resolve() const {
    if (resolved_) return;
    builtin_ = kernel_find_builtin(text_);
    lazy_ = kernel_find_lazy_builtin(text_);
    resolved_ = true;
}

bool KNameInfo::isProtected() const {
    resolve();
    return constant_ || builtin_ != nullptr || lazy_ != nullptr;
}

// Made only when asked for: GiNaC orders the terms of a sum partly by when their symbols were
// made, so the kernel makes a name's symbol at the moment it always has (its first use as a
// value), never earlier.
const GiNaC::ex& KNameInfo::symbol() const {
    if (!hasSymbol_) {
        symbol_ = kernel_symbol(text_);
        hasSymbol_ = true;
    }
    return symbol_;
}

const KBuiltin* KNameInfo::builtin() const {
    resolve();
    return builtin_;
}

const KLazyBuiltin* KNameInfo::lazyBuiltin() const {
    resolve();
    return lazy_;
}

unsigned kernel_name_id(const std::string& text) {
    NameTable& t = table();
    auto it = t.ids.find(text);
    if (it != t.ids.end()) return it->second;
    t.records.emplace_back(text);
    kernel_names_detail::records.push_back(&t.records.back());
    unsigned id = unsigned(t.records.size());
    t.ids.emplace(text, id);
    return id;
}

namespace kernel_names_detail {
std::vector<const KNameInfo*> records;
}  // namespace kernel_names_detail
