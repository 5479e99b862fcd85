// Identifier styles: how a name is shown (font style and text), filled once from built-in lines,
// and the folder of the AFM font-metric files.
//
// Line format: name[,fn|,function|,var|,variable] <style word> <text>; the style word is compared
// in lower case by its first letters (sym, var, ital, num, norm, bold); in the text "\\" is one
// backslash and "\ooo" (up to three octal digits) a character code; an empty text shows the name.

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "typeset_layout.h"

namespace {

constexpr int kBuckets = 229;

struct StyleEntry {
    std::string name;
    unsigned hash = 0;
    bool hasFnText = false, hasVarText = false;
    std::string fnText, varText;
    int fnStyle = -1, varStyle = -1;
    StyleEntry* next = nullptr;
};

StyleEntry* g_buckets[kBuckets] = {};
bool g_builtinLoaded = false;
// The build tree's AFM folder until start-up names the installation's.
#ifndef KELVO_AFM_DIR
#define KELVO_AFM_DIR ""
#endif
char g_afmDir[512] = KELVO_AFM_DIR;

unsigned style_hash(const char* name) {
    unsigned h = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) h = *p ^ (h * 2u);
    return h;
}

StyleEntry* find_entry(const char* name) {
    unsigned h = style_hash(name);
    for (StyleEntry* e = g_buckets[h % kBuckets]; e; e = e->next)
        if (e->hash == h && e->name == name) return e;
    return nullptr;
}

StyleEntry* add_entry(const char* name) {
    auto* e = new StyleEntry;
    e->name = name;
    e->hash = style_hash(name);
    StyleEntry** link = &g_buckets[e->hash % kBuckets];
    while (*link) link = &(*link)->next;
    *link = e;
    return e;
}

const char* const kGreek =
    "# Greek letters in the Symbol font\n"
    "alpha sym a\nbeta sym b\nchi sym c\ndelta sym d\nepsilon sym e\nphi sym f\ngamma sym g\n"
    "eta sym h\niota sym i\nkappa sym k\nlambda sym l\nmu sym m\nnu sym n\nomicron sym o\n"
    "pi sym p\ntheta sym q\nrho sym r\nsigma sym s\ntau sym t\nupsilon sym u\nomega sym w\n"
    "xi sym x\npsi sym y\nzeta sym z\n"
    "Alpha sym A\nBeta sym B\nDelta sym D\nEpsilon sym E\nPhi sym F\nGamma sym G\nEta sym H\n"
    "Iota sym I\nKappa sym K\nLambda sym L\nMu sym M\nNu sym N\nOmicron sym O\nTheta sym Q\n"
    "Rho sym R\nSigma sym S\nTau sym T\nUpsilon sym U\nOmega sym W\nXi sym X\nPsi sym Y\n"
    "Pi sym p\nCHI sym C\nPI sym P\nZeta sym z\nZETA sym Z\naleph sym \\300\ninfinity sym \\245\n";

const char* const kFunctions =
    "# Functions shown upright\n"
    "abs num\nAi num\nbernoulli num\nBesselI num\nBesselJ num\nBesselK num\nBesselY num\nBi num\n"
    "binomial num\nCi num\nChi num\nD num\ndilog num\nEi num\nerf num\nerfc num\neuler num\n"
    "exp num\nfactorial num\nFresnelC num\nFresnelf num\nFresnelg num\nFresnelS num\n"
    "harmonic num\nLegendreF num\nLegendreE num\nLegendrePi num\nLegendreKc num\n"
    "LegendreEc num\nLegendrePic num\nLegendreKc1 num\nLegendrePic1 num\nln num\nlnGAMMA num\n"
    "log num\nlog10 num\nMeijerG num\nO num\nRootOf num\nsignum num\nShi num\nSi num\nsqrt num\n"
    "W num\nsin num\ncos num\ntan num\nsec num\ncsc num\ncot num\nsinh num\ncosh num\ntanh num\n"
    "sech num\ncsch num\ncoth num\narcsin num\narccos num\narctan num\narcsec num\narccsc num\n"
    "arccot num\narcsinh num\narccosh num\narctanh num\narcsech num\narccsch num\narccoth num\n"
    "arctan num\n";

const char* const kSymbolFunctions =
    "# Functions with a symbol\n"
    "GAMMA sym G\nPsi sym Y\nIm sym \\301\nRe sym \\302\n";

const char* const kUnknown = "# The unknown\nUNKNOWN bold ?\n";

int style_word(const std::string& w) {
    std::string s;
    for (char c : w) s.push_back(char(std::tolower(static_cast<unsigned char>(c))));
    auto starts = [&](const char* p) { return s.compare(0, std::strlen(p), p) == 0; };
    if (starts("sym")) return STYLE_SYMBOL;
    if (starts("var") || starts("ital")) return STYLE_ITALIC;
    if (starts("num") || starts("norm")) return STYLE_ROMAN;
    if (starts("bold")) return STYLE_BOLD;
    return -1;
}

std::string unescape(const std::string& t) {
    std::string out;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] != '\\') {
            out.push_back(t[i]);
            continue;
        }
        if (i + 1 < t.size() && t[i + 1] == '\\') {
            out.push_back('\\');
            ++i;
            continue;
        }
        int v = 0, n = 0;
        while (n < 3 && i + 1 < t.size() && t[i + 1] >= '0' && t[i + 1] <= '7') {
            v = v * 8 + (t[i + 1] - '0');
            ++i;
            ++n;
        }
        if (n > 0) out.push_back(char(v));
    }
    return out;
}

int parse_block(const char* block) {
    int err = 0;
    const char* p = block;
    while (*p) {
        const char* nl = std::strchr(p, '\n');
        if (!nl) return 1;   // a block must end with a newline
        std::string line(p, std::size_t(nl - p));
        if (style_line_parse(line.c_str()) != 0) err = 1;
        p = nl + 1;
    }
    return err;
}

}  // namespace

int style_line_parse(const char* line) {
    const char* p = line;
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p || *p == '#') return 0;
    const char* nameEnd = p;
    while (*nameEnd && *nameEnd != ' ' && *nameEnd != '\t' && *nameEnd != ',') ++nameEnd;
    std::string name(p, std::size_t(nameEnd - p));
    int sides = 3;   // 1 function, 2 variable
    const char* q = nameEnd;
    if (*q == ',') {
        const char* qe = ++q;
        while (*qe && *qe != ' ' && *qe != '\t') ++qe;
        std::string qual(q, std::size_t(qe - q));
        if (qual == "fn" || qual == "function") sides = 1;
        else if (qual == "var" || qual == "variable") sides = 2;
        else return -1;
        q = qe;
    }
    while (*q == ' ' || *q == '\t') ++q;
    const char* we = q;
    while (*we && *we != ' ' && *we != '\t') ++we;
    if (we == q) return -1;
    int style = style_word(std::string(q, std::size_t(we - q)));
    if (style < 0) return -1;
    const char* t = we;
    while (*t == ' ' || *t == '\t') ++t;
    std::string text(t);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    text = unescape(text);
    StyleEntry* e = find_entry(name.c_str());
    if (!e) e = add_entry(name.c_str());
    if (sides & 1) {
        e->fnStyle = style;
        e->hasFnText = !text.empty();
        e->fnText = text;
    }
    if (sides & 2) {
        e->varStyle = style;
        e->hasVarText = !text.empty();
        e->varText = text;
    }
    return 0;
}

int IdentifierStyleTable::loadBuiltin() {
    int err = 0;
    if (!g_builtinLoaded) {
        g_builtinLoaded = true;
        for (const char* block : {kGreek, kFunctions, kSymbolFunctions, kUnknown}) err |= parse_block(block);
    }
    char line[64];
    std::snprintf(line, sizeof line, "%s BOLD ?", "%??");
    err |= style_line_parse(line) != 0;
    std::snprintf(line, sizeof line, "%s NORM ?", "%?");
    err |= style_line_parse(line) != 0;
    return err;
}

void IdentifierStyleTable::free() {
    for (auto& head : g_buckets) {
        while (head) {
            StyleEntry* next = head->next;
            delete head;
            head = next;
        }
    }
    g_builtinLoaded = false;
}

int identifier_style_lookup(TypesetContext* ctx, const char* name, int which, const char** text,
                            int* style) {
    if (std::strcmp(name, "INTERFACE_PLOT3D") == 0 || std::strcmp(name, "INTERFACE_PLOT") == 0) {
        *text = name[14] == '3' ? "PLOT3D" : "PLOT";
        *style = STYLE_ROMAN;
        return 0;
    }
    std::size_t len = std::strlen(name);
    if (len > 64 || (ctx && ctx->device && ctx->device->kind == 1)) return -1;
    auto side = [&](const StyleEntry* e, const char** t, int* s) -> int {
        int st = which == 1 ? e->fnStyle : e->varStyle;
        if (st < 0) return -1;
        bool has = which == 1 ? e->hasFnText : e->hasVarText;
        *t = has ? (which == 1 ? e->fnText.c_str() : e->varText.c_str()) : e->name.c_str();
        *s = st;
        return 0;
    };
    if (const StyleEntry* e = find_entry(name)) return side(e, text, style);
    // Decomposed form: [_] base [digits] [~]
    std::string s(name);
    bool under = !s.empty() && s[0] == '_';
    if (under) s.erase(0, 1);
    bool tilde = !s.empty() && s.back() == '~';
    if (tilde) s.pop_back();
    std::size_t d = s.size();
    while (d > 0 && std::isdigit(static_cast<unsigned char>(s[d - 1]))) --d;
    std::string digits = s.substr(d);
    s.resize(d);
    if (s.empty()) return -1;
    const StyleEntry* e = find_entry(s.c_str());
    if (!e) return -1;
    const char* baseText = nullptr;
    if (side(e, &baseText, style) != 0) return -1;
    std::string out = (under ? "_" : "") + std::string(baseText) + digits + (tilde ? "~" : "");
    if (!ctx) return -1;   // the composed text lives in a run's node arena
    *text = typeset_arena_text(ctx, out.data(), out.size());
    return 0;
}

void set_afm_directory(const char* path) {
    std::snprintf(g_afmDir, sizeof g_afmDir, "%.511s", path ? path : "");
}

const char* afm_directory() { return g_afmDir; }
