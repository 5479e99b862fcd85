// Number layout and box arithmetic: text leaves, integers of any length, software floats with
// their exponent forms, hardware doubles, rationals, infix and prefix operators, script
// placement, row alignment, rule and radical leaves.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "typeset_layout.h"

TypesetNode* typeset_text_leaf(TypesetContext* ctx, TypesetNode* leaf, const char* text, int font,
                               int level, bool copy) {
    ctx->device->stringExtent(ctx, text, font, level, leaf);
    leaf->style = static_cast<unsigned char>((font & 0x0f) << 4);
    leaf->text = copy ? typeset_arena_text(ctx, text, std::strlen(text)) : text;
    if (std::strchr(text, '\n')) {
        leaf->flags |= TSF_BREAK;
        return leaf;
    }
    return nullptr;
}

void typeset_const_leaf(TypesetContext* ctx, TypesetNode* leaf, const char* text, int level) {
    typeset_text_leaf(ctx, leaf, text, STYLE_ROMAN, level, false);
}

void typeset_int_text_leaf(TypesetContext* ctx, TypesetNode* leaf, int level, long value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%ld", value);
    typeset_text_leaf(ctx, leaf, buf, STYLE_ROMAN, level, true);
}

char* integer_digits(TypesetContext* ctx, const DagWord* integer, bool isSigned) {
    std::size_t words = dag_length(integer);
    std::size_t digits = words > 1 ? words - 1 : 0;
    std::string s;
    s.reserve(digits * 4 + 2);
    if (isSigned && dag_type(integer) == DAG_INTNEG) s.push_back('-');
    if (digits == 0) {
        s.push_back('0');   // a malformed empty integer reads as 0
    } else {
        DagWord top = integer[digits];
        char buf[16];
        std::snprintf(buf, sizeof buf, "%lu", static_cast<unsigned long>(top % 10000));
        s += buf;
        if (top != 0) {
            for (std::size_t i = digits - 1; i >= 1; --i) {
                std::snprintf(buf, sizeof buf, "%04lu", static_cast<unsigned long>(integer[i] % 10000));
                s += buf;
            }
        }
    }
    return typeset_arena_text(ctx, s.data(), s.size());
}

void typeset_integer_leaf(TypesetContext* ctx, TypesetNode* leaf, const DagWord* integer, int level,
                          bool isSigned) {
    typeset_text_leaf(ctx, leaf, integer_digits(ctx, integer, isSigned), STYLE_ROMAN, level, false);
}

void typeset_integer_leaf_at(TypesetContext* ctx, TypesetChild* slot, const DagWord* integer,
                             int level, bool isSigned) {
    level = clamp_level(ctx, level);
    TypesetNode* leaf = typeset_node_new(ctx, int(dag_type(integer)), level);
    leaf->source = integer;
    typeset_integer_leaf(ctx, leaf, integer, level, isSigned);
    slot->node = leaf;
}

void typeset_small_int_leaf(TypesetContext* ctx, TypesetChild* slot, int level, long value) {
    level = clamp_level(ctx, level);
    TypesetNode* leaf = typeset_node_new(ctx, value < 0 ? DAG_INTNEG : DAG_INTPOS, level);
    typeset_int_text_leaf(ctx, leaf, level, value);
    slot->node = leaf;
}

// ---- floats -------------------------------------------------------------------------------------

void float_fix_digits(const TypesetContext* ctx, std::string& text) {
    if (ctx->floatDigits < 0) return;
    std::size_t dot = text.rfind('.');
    if (dot == std::string::npos) return;
    std::size_t r = text.size() - dot - 1;
    std::size_t want = std::size_t(ctx->floatDigits);
    if (r > want)
        text.resize(dot + 1 + want);
    else
        text.append(want - r, '0');
}

TypesetNode* format_float(TypesetContext* ctx, TypesetNode* leaf, const DagWord* dag, int level,
                          bool isSigned, TypesetChild* slot) {
    // A float read from a file may be short or have empty parts: shown as Float(m, e).
    const DagWord* m = dag_length(dag) > 1 ? dag_op(dag, 1) : nullptr;
    const DagWord* e = dag_length(dag) > 2 ? dag_op(dag, 2) : nullptr;
    if (!m || !e || !dag_is_integer(m) || !dag_is_integer(e) || dag_length(e) > 2) {
        // An exponent of more than one digit word (or a malformed float): Float(m, e).
        leaf->type = DAG_FUNCTION;
        typeset_node_children(ctx, leaf, 2, 0);
        TypesetNode* name = typeset_node_new(ctx, DAG_NAME, level);
        typeset_const_leaf(ctx, name, "Float", level);
        leaf->firstArray[0].node = name;
        TypesetNode* args = typeset_node_new(ctx, DAG_EXPSEQ, level);
        args->source = dag;
        typeset_node_children(ctx, args, 2, 1);
        layout_dag(ctx, m, 0, level, &args->firstArray[0], 1);
        layout_dag(ctx, e, 0, level, &args->firstArray[1], 2);
        TypesetNode* comma = typeset_glyph(ctx, G_COMMA, level);
        args->secondArray[0].node = comma;
        args->secondArray[0].x = args->firstArray[0].node->width;
        args->firstArray[1].x = args->secondArray[0].x + comma->width + metric(ctx, 0, level, 3);
        typeset_row_metrics(args);
        args->width = args->firstArray[1].x + args->firstArray[1].node->width;
        leaf->firstArray[1].node = args;
        layout_call_brackets(ctx, leaf, level, level, true);
        leaf->flags |= TSF_MEASURED;
        return leaf;
    }
    std::string digits = integer_digits(ctx, m, false);
    long n = long(digits.size());
    long ev = dag_length(e) == 2 ? long(e[1]) : 0;
    if (dag_type(e) == DAG_INTNEG) ev = -ev;
    bool neg = isSigned && dag_type(m) == DAG_INTNEG;
    long k = n + ev;
    std::string text;
    if (neg) text.push_back('-');
    if (ev < 0 && k >= 0 && k <= 6) {
        text += digits.substr(0, std::size_t(k));
        text.push_back('.');
        text += digits.substr(std::size_t(k));
    } else if (ev >= 0 && k <= 6) {
        text += digits;
        text.append(std::size_t(ev), '0');
        text.push_back('.');
    } else if (k >= -4 && k < 0) {
        text.push_back('.');
        text.append(std::size_t(-k), '0');
        text += digits;
    } else {
        // Exponent form: mantissa "." + digits, exponent k.
        std::string mant = text + "." + digits;
        float_fix_digits(ctx, mant);
        if (ctx->linearMode) {
            char buf[32];
            std::snprintf(buf, sizeof buf, k >= 0 ? "*10^%ld" : "*10^(%ld)", k);
            mant += buf;
            typeset_text_leaf(ctx, leaf, mant.c_str(), STYLE_ROMAN, level, true);
            leaf->flags |= TSF_MEASURED;
            return leaf;
        }
        TypesetNode* box = typeset_node_new(ctx, TS_FLOATPART, level);
        box->source = dag;
        typeset_node_children(ctx, box, 2, 0);
        TypesetNode* ml = typeset_node_new(ctx, DAG_FLOAT, level);
        ml->source = dag;
        typeset_text_leaf(ctx, ml, mant.c_str(), STYLE_ROMAN, level, true);
        box->firstArray[0].node = ml;
        TypesetNode* pw = typeset_node_new(ctx, DAG_POWER, level);
        typeset_node_children(ctx, pw, 2, 0);
        typeset_small_int_leaf(ctx, &pw->firstArray[0], level, 10);
        typeset_small_int_leaf(ctx, &pw->firstArray[1], script_level(ctx, level), k);
        typeset_place_script(ctx, 2, level, pw, &pw->firstArray[0], &pw->firstArray[1]);
        box->firstArray[1].node = pw;
        typeset_place_script(ctx, 3, level, box, &box->firstArray[0], &box->firstArray[1]);
        box->flags |= TSF_MEASURED;
        if (slot) slot->node = box;
        return box;
    }
    float_fix_digits(ctx, text);
    typeset_text_leaf(ctx, leaf, text.c_str(), STYLE_ROMAN, level, true);
    leaf->flags |= TSF_MEASURED;
    return leaf;
}

void typeset_hfloat_leaf(TypesetContext* ctx, TypesetNode* leaf, double value, int level) {
    if (std::isnan(value)) {
        typeset_const_leaf(ctx, leaf, "undefined", level);
        return;
    }
    if (std::isinf(value)) {
        const char* text = nullptr;
        int style = 0;
        bool styled = identifier_style_lookup(ctx, "infinity", 2, &text, &style) == 0;
        if (value > 0) {
            if (styled)
                typeset_text_leaf(ctx, leaf, text, style, level, false);
            else
                typeset_const_leaf(ctx, leaf, "infinity", level);
        } else {
            if (styled) {
                std::string t = std::string("-") + text;
                typeset_text_leaf(ctx, leaf, t.c_str(), style, level, true);
            } else {
                typeset_const_leaf(ctx, leaf, "-infinity", level);
            }
        }
        return;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%0.*g", 14, value);
    typeset_text_leaf(ctx, leaf, buf, STYLE_ROMAN, level, true);
}

// ---- rationals --------------------------------------------------------------------------------------

TypesetNode* typeset_rational(TypesetContext* ctx, TypesetNode* node, const DagWord* dag, int level,
                              bool isSigned, int inlinePreference) {
    if (dag_length(dag) != 3 || !dag_op(dag, 1) || !dag_op(dag, 2) || !dag_is_integer(dag_op(dag, 1)) ||
        !dag_is_integer(dag_op(dag, 2))) {
        // A rational read from a file with a missing or non-integer part: its printed text.
        node->type = DAG_STRING;
        typeset_printed_leaf(ctx, node, dag, level);
        return node;
    }
    typeset_node_children(ctx, node, 2, 1);
    TypesetChild* num = &node->firstArray[0];
    TypesetChild* den = &node->firstArray[1];
    typeset_integer_leaf_at(ctx, num, dag_op(dag, 1), level, isSigned);
    typeset_integer_leaf_at(ctx, den, dag_op(dag, 2), level, isSigned);
    if (ctx->keepPaths) {
        path_record_set(ctx, num, 1);
        path_record_set(ctx, den, 2);
    }
    if (ctx->device->kind == 1 || level > ctx->firstLevel) inlinePreference |= 1;
    TypesetNode* a = num->node;
    TypesetNode* b = den->node;
    bool wideA = a->width > ctx->partLimit, wideB = b->width > ctx->partLimit;
    bool oneChar = std::strlen(a->text) == 1 || std::strlen(b->text) == 1;
    if (ctx->linearMode || wideA || wideB || (inlinePreference && oneChar)) {
        TypesetNode* sep;
        if (wideA && wideB) {
            sep = typeset_glyph(ctx, TS_SLASH, level);
            ctx->device->sizeSymbol(ctx, sep, level, 2 * a->height);
        } else {
            sep = typeset_glyph(ctx, G_SLASH, level);
        }
        node->secondArray[0].node = sep;
        num->x = 0;
        node->secondArray[0].x = a->width;
        den->x = a->width + sep->width;
        typeset_row_metrics(node);
        node->width = den->x + b->width;
    } else {
        int g = metric(ctx, STYLE_ITALIC, level, 9);
        int t = metric(ctx, STYLE_ITALIC, level, 10);
        node->ascent = g + a->height + t;
        den->y = g + node->ascent;
        node->height = den->y + b->height;
        int w = a->width > b->width ? a->width : b->width;
        node->width = w;
        num->x = (w - a->width) / 2;
        den->x = (w - b->width) / 2;
        num->y = 0;
        TypesetNode* rule = typeset_rule_leaf(ctx, w, 0, level);
        node->secondArray[0].node = rule;
        node->secondArray[0].x = 0;
        node->secondArray[0].y = g + a->height;
        node->flags |= TSF_ATOMIC;
    }
    node->flags |= TSF_MEASURED;
    return node;
}

// ---- operators -----------------------------------------------------------------------------------

int typeset_operator_glyph(int dagType, bool* prefix) {
    *prefix = false;
    switch (dagType) {
    case DAG_DCOLON: return G_DCOLON;
    case DAG_CATENATE: return G_DOT;
    case DAG_EQUATION: return G_EQUAL;
    case DAG_INEQUAT: return G_NOTEQ;
    case DAG_LESSEQ: return G_LESSEQ;
    case DAG_LESSTHAN: return G_LESS;
    case DAG_AND: return G_AND;
    case DAG_NOT: *prefix = true; return G_NOT;
    case DAG_OR: return G_OR;
    case DAG_RANGE: return G_RANGE;
    case DAG_ASSIGN: return G_ASSIGN;
    case DAG_READ: *prefix = true; return G_READ;
    case DAG_SAVE: *prefix = true; return G_SAVE;
    default: return 0;
    }
}

void typeset_operator(TypesetContext* ctx, TypesetNode* node, int level) {
    bool prefix = false;
    int code = typeset_operator_glyph(node->type, &prefix);
    if (code == 0) return;   // a type outside the table: the caller's fallback shows it
    TypesetNode* g = typeset_glyph(ctx, code, level);
    node->secondCount = 1;
    node->secondArray = typeset_children_alloc(ctx, 1);
    node->secondArray[0].node = g;
    TypesetChild* a = node->firstCount > 0 ? &node->firstArray[0] : nullptr;
    TypesetChild* b = node->firstCount > 1 ? &node->firstArray[1] : nullptr;
    int aw = a && a->node ? a->node->width : 0;
    int bw = b && b->node ? b->node->width : 0;
    if (prefix) {
        node->secondArray[0].x = 0;
        if (a) a->x = g->width;
        node->width = g->width + aw;
    } else {
        if (a) a->x = 0;
        node->secondArray[0].x = aw;
        if (b) b->x = aw + g->width;
        node->width = aw + g->width + bw;
    }
    typeset_row_metrics(node);
    node->width = prefix ? g->width + aw : aw + g->width + bw;
}

// ---- box arithmetic ----------------------------------------------------------------------------------

void typeset_row_metrics(TypesetNode* node) {
    int A = 0, D = 0, W = 0;
    auto scan = [&](TypesetChild* arr, int n) {
        for (int i = 0; i < n; ++i) {
            const TypesetNode* c = arr[i].node;
            if (!c) continue;
            W += c->width;
            if (c->ascent > A) A = c->ascent;
            if (c->height - c->ascent > D) D = c->height - c->ascent;
        }
    };
    scan(node->firstArray, node->firstCount);
    scan(node->secondArray, node->secondCount);
    auto place = [&](TypesetChild* arr, int n) {
        for (int i = 0; i < n; ++i)
            if (arr[i].node) arr[i].y = A - arr[i].node->ascent;
    };
    place(node->firstArray, node->firstCount);
    place(node->secondArray, node->secondCount);
    node->width = W;
    node->ascent = A;
    node->height = A + D;
}

int typeset_place_script(TypesetContext* ctx, int mode, int level, TypesetNode* parent,
                         TypesetChild* base, TypesetChild* script) {
    const TypesetNode* b = base->node;
    const TypesetNode* s = script->node;
    base->x = 0;
    if (mode > 3 || !b || !s) {
        base->y = 0;
        if (script) script->x = script->y = 0;
        parent->width = parent->height = parent->ascent = 0;
        return 0;
    }
    bool bText = typeset_is_text_type(b->type);
    int f = bText ? node_style(b) : STYLE_ITALIC;
    if (mode == 0 || mode == 2) {
        int h;
        if (s->height < b->height || typeset_is_text_type(s->type))
            h = s->height + metric(ctx, f, level, 6);
        else
            h = s->height + b->height - metric(ctx, f, level, 2) + metric(ctx, f, level, 6);
        if (h <= b->height || b->type == 200) {
            if (bText || b->type == TS_TEXT_LEAF)
                h = b->height;
            else
                h = s->height + b->height - metric(ctx, STYLE_ITALIC, level, 2) +
                    metric(ctx, STYLE_ITALIC, level, 6);
        }
        if (!bText && b->type != 200 && b->height / 2 >= s->height) h = b->height;
        base->y = h - b->height;
        script->y = 0;
        parent->height = h;
        parent->ascent = h - (b->height - b->ascent);
        script->x = b->width + metric(ctx, STYLE_ITALIC, level, 5);
        parent->width = script->x + s->width;
        // A base taller than the computed box keeps its full height below the script.
        if (parent->height < base->y + b->height) parent->height = base->y + b->height;
    } else if (mode == 1) {
        int d = metric(ctx, STYLE_ITALIC, level, 8);
        int h = bText ? s->height + metric(ctx, STYLE_ITALIC, level, 2) + d
                      : s->height + b->height - (d < 0 ? -d : d);
        base->y = 0;
        script->y = h - s->height;
        parent->height = h > b->height ? h : b->height;
        parent->ascent = b->ascent;
        script->x = b->width + metric(ctx, STYLE_ITALIC, level, 7);
        parent->width = script->x + s->width;
    } else {
        int A = b->ascent > s->ascent ? b->ascent : s->ascent;
        base->y = A - b->ascent;
        script->y = A - s->ascent;
        int db = b->height - b->ascent, ds = s->height - s->ascent;
        parent->ascent = A;
        parent->height = A + (db > ds ? db : ds);
        script->x = b->width + metric(ctx, STYLE_ITALIC, level, 4);
        parent->width = script->x + s->width;
    }
    return script->y;
}

TypesetNode* typeset_rule_leaf(TypesetContext* ctx, int width, int thickness, int level) {
    TypesetNode* r = typeset_node_new(ctx, TS_RULE, level);
    r->width = width;
    r->size = width;
    r->height = thickness;
    r->ascent = thickness > 0 ? (thickness + 1) / 2 : thickness / 2;
    return r;
}

TypesetNode* typeset_radical_leaf(TypesetContext* ctx, TypesetNode* node, int level, int length,
                                  int hookWidth, int height, int ascent) {
    if (node->secondCount > 0) return nullptr;
    TypesetNode* r = typeset_node_new(ctx, TS_RADICAL, level);
    r->size = length;
    r->hook = hookWidth;
    r->width = 0;
    r->height = height - metric(ctx, 0, level, 10);
    r->ascent = ascent;
    node->secondCount = 1;
    node->secondArray = typeset_children_alloc(ctx, 1);
    node->secondArray[0].node = r;
    node->secondArray[0].x = 0;
    node->secondArray[0].y = metric(ctx, 0, level, 10) / 2;
    return r;
}
