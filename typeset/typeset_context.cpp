// Typesetting context, layout options, expression holders and the run entry points.

#include <new>

#include "devices/charcell.h"
#include "typeset_layout.h"

// ---- options ------------------------------------------------------------------------------------

void layout_options_init(int preset, LayoutOptions* options, const InterfaceSettings* settings) {
    if (!options) return;
    *options = LayoutOptions{};
    InterfaceSettings defaults;
    const InterfaceSettings* s = settings ? settings : &defaults;
    options->indentStep = s->indentamount;
    options->labelling = static_cast<unsigned char>(s->labelling != 0);
    options->labelWidth = s->labelwidth;
    options->verboseproc = s->verboseproc;
    options->showAssumed = s->showassumed;
    struct Page { int width, height, first, cont, gap; };
    static const Page pages[] = {
        {500, 500, 0, 30, 10},   // 0 screen (points)
        {79, 24, 2, 8, 1},       // 1 character cell
        {432, 576, 0, 36, 8},    // 2..5 LaTeX and spreadsheet
    };
    Page p{0, 0, 0, 0, 0};
    if (preset == 0) p = pages[0];
    else if (preset == 1) p = pages[1];
    else if (preset >= 2 && preset <= 5) p = pages[2];
    options->pageWidth = p.width;
    options->pageHeight = p.height;
    options->firstIndent = p.first;
    options->contIndent = p.cont;
    options->lineGap = p.gap;
    options->floatDigits = -1;
    options->labelOutput = nullptr;
}

void layout_options_apply(TypesetContext* ctx, const LayoutOptions* o) {
    ctx->levelCount = o->levelCount;
    ctx->pageWidth = o->pageWidth;
    ctx->pageHeight = o->pageHeight;
    ctx->indentStep = o->indentStep;
    ctx->firstIndent = o->firstIndent;
    ctx->contIndent = o->contIndent;
    ctx->lineGap = o->lineGap;
    ctx->labelling = o->labelling;
    ctx->labelWidth = o->labelWidth;
    ctx->verboseproc = o->verboseproc;
    ctx->showAssumed = o->showAssumed;
    ctx->labelOutput = o->labelOutput;
    ctx->floatDigits = o->floatDigits;
}

void label_output_free(LabelOutput* out) {
    if (!out) return;
    delete[] out->dags;
    out->dags = nullptr;
    out->count = 0;
    out->hasLabels = false;
}

// ---- contexts ------------------------------------------------------------------------------------

TypesetContext* typeset_context_new(const TypesetDevice* device) {
    auto* ctx = new (std::nothrow) TypesetContext;
    if (!ctx) return nullptr;
    ctx->device = device ? device : &CharCellDevice;
    storage_init(&ctx->nodeArena, 0, "fmt");
    storage_init(&ctx->lineArena, 0, "lb");
    return ctx;
}

void typeset_context_free(TypesetContext* ctx) {
    if (!ctx) return;
    line_break_discard(ctx);
    typeset_release_work(ctx);
    storage_free(&ctx->lineArena);
    storage_free(&ctx->nodeArena);
    delete ctx;
}

int typeset_run(TypesetContext* ctx, const DagWord* dag, const LayoutOptions* options) {
    storage_free(&ctx->nodeArena);
    storage_free(&ctx->lineArena);
    ctx->lines = nullptr;
    ctx->selectionShown = false;   // the rectangle belonged to the previous tree
    ctx->assumed = nullptr;
    ctx->assumedCapacity = 0;
    ctx->errorCode = 0;
    int rc = ctx->device->open(ctx, options);
    if (rc != 0) {
        ctx->errorCode = rc;
        return rc;
    }
    if (ctx->keepPaths) ctx->labelling = 0;
    ctx->lines = layout_expression(ctx, dag, 0);
    int result = 0;
    if (!ctx->lines) {
        result = ctx->errorCode ? ctx->errorCode : 5;
        ctx->errorCode = result;
    } else {
        ctx->pathsAbsent = ctx->keepPaths ? 0 : 1;
    }
    return result;
}

int typeset_break_lines(TypesetContext* ctx) {
    storage_free(&ctx->lineArena);
    if (!ctx->lines) {
        ctx->errorCode = 5;
        return 5;
    }
    ctx->lines->lines = nullptr;
    ctx->lines->count = 0;
    int code = 0;
    try {
        TypesetHookArm arm;
        code = line_break_run(ctx);
    } catch (const TypesetJump& jump) {
        code = jump.code;
    } catch (const std::bad_alloc&) {
        code = 3;
    }
    if (code != 0) {
        ctx->lines->lines = nullptr;
        ctx->lines->count = 0;
        line_break_discard(ctx);
    }
    ctx->errorCode = code;
    return code;
}

// ---- holders -------------------------------------------------------------------------------------

DagHolder* dag_holder_read(const DagWord* dag) {
    auto* holder = new (std::nothrow) DagHolder;
    if (!holder) return nullptr;
    storage_init(&holder->area, 0, "dag");
    holder->expression = dag ? typeset_copy_deep(dag, &holder->area) : nullptr;
    if (!holder->expression) {
        storage_free(&holder->area);
        delete holder;
        return nullptr;
    }
    return holder;
}

void dag_holder_free(DagHolder* holder) {
    if (!holder) return;
    TypesetContext* c = holder->contexts;
    while (c) {
        TypesetContext* next = c->nextContext;
        typeset_context_free(c);
        c = next;
    }
    storage_free(&holder->area);
    delete holder;
}
