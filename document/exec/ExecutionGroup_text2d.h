#pragma once
// The execution group's two-dimensional character text of a result, kept in a file of its own
// so that the typesetter's settings record and the session's interface settings never meet in
// one translation unit.

#include <string>

#include "tovu/dag.h"

struct GroupText2dSettings {
    int indentamount = 4;
    int labelling = 1;
    int labelwidth = 20;
    int verboseproc = 1;
    int showassumed = 1;
};

// Appends the rendering of the expression at width columns by height rows (the character-cell
// preset otherwise) to out; answers the renderer's code (0 done).
int group_render_text_2d(const DagWord* dag, const GroupText2dSettings& settings, int width, int height,
                         std::string& out);
