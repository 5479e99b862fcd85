// The display form of a PRINT value: the typesetter's denormalisation.

#include "document/exec/ReplyStreams.h"
#include "typeset/typeset.h"

Dag replyDisplayForm(Dag value) { return denormalise_dag(value); }
