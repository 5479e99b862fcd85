// Two-dimensional character text of a result for the execution group.
#include "document/exec/ExecutionGroup_text2d.h"

#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"

int group_render_text_2d(const DagWord* dag, const GroupText2dSettings& s, int width, int height,
                         std::string& out) {
    InterfaceSettings settings;
    settings.indentamount = s.indentamount;
    settings.labelling = s.labelling;
    settings.labelwidth = s.labelwidth;
    settings.verboseproc = s.verboseproc;
    settings.showassumed = s.showassumed;
    LayoutOptions options;
    layout_options_init(1, &options, &settings);
    if (width > 0) options.pageWidth = width;
    if (height > 0) options.pageHeight = height;
    return render_text_2d(
        dag, &options,
        [](void* user, int ch) {
            static_cast<std::string*>(user)->push_back(static_cast<char>(ch));
            return 0;
        },
        nullptr, false, &out);
}
