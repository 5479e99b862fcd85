// Procedure scoping (see scoping.h).
#include "tools/vetlin/scoping.h"

void scoping_simplify_proc(VObj proc) {
    if (vl_length(proc) > 5) vl_set_op(proc, 5, store_simplify(vl_op(proc, 5)));
}
