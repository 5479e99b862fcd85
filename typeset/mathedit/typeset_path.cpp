// Position records of the selection: typeset path chains and operand cursors.

#include "selection.h"

TypesetPath* typeset_path_append(TypesetContext*, TypesetPath* after) {
    TypesetPath* e = new TypesetPath;
    if (after) {
        // Whatever followed `after` is cut off by the caller first; keep the chain well linked.
        e->next = after->next;
        if (e->next) e->next->prev = e;
        after->next = e;
        e->prev = after;
    }
    return e;
}

TypesetPath* typeset_path_copy(TypesetContext* ctx, const TypesetPath* first) {
    TypesetPath* head = nullptr;
    TypesetPath* tail = nullptr;
    for (const TypesetPath* e = first; e; e = e->next) {
        TypesetPath* c = typeset_path_append(ctx, tail);
        c->node = e->node;
        c->index = e->index;
        c->word = e->word;
        c->leaf = e->leaf;
        if (!head) head = c;
        tail = c;
    }
    return head;
}

void typeset_path_free(TypesetContext*, TypesetPath* first) {
    if (!first) return;
    if (first->prev) first->prev->next = nullptr;
    while (first) {
        TypesetPath* next = first->next;
        delete first;
        first = next;
    }
}

bool path_in_first_array(const TypesetPath* e) { return e && !e->leaf && (e->word & 0xFF) == 1; }
bool path_in_second_array(const TypesetPath* e) { return e && !e->leaf && (e->word & 0xFF) == 0; }

TypesetPath* typeset_path_last(TypesetPath* first) {
    if (!first) return nullptr;
    while (first->next) first = first->next;
    return first;
}

NodeCursor* node_cursor_new() {
    NodeCursor* c = new NodeCursor;
    c->path = int_stack_new();
    return c;
}

void node_cursor_free(NodeCursor* cursor) {
    if (!cursor) return;
    int_stack_free(cursor->path);
    delete cursor;
}

NodeCursor* node_cursor_copy(const NodeCursor* cursor) {
    NodeCursor* c = new NodeCursor;
    c->path = cursor->path ? int_stack_copy(cursor->path) : int_stack_new();
    c->selected = cursor->selected;
    c->first = cursor->first;
    c->last = cursor->last;
    return c;
}

void node_cursor_pop(NodeCursor* cursor) {
    if (!cursor || !cursor->path || cursor->path->count == 0) return;
    int v = int_stack_get(cursor->path, cursor->path->count - 1);
    int_stack_pop(cursor->path);
    cursor->first = v;
    cursor->last = v;
}
