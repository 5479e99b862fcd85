// SessionGroup: placing the start-up group on its first output, or freeing it.
#include "document/exec/SessionGroup.h"

#include "document/edit/EditRecord.h"
#include "document/exec/WorksheetDocument.h"

SessionGroup::SessionGroup(WorksheetDocument* document)
    : ExecutionGroup(WithInput{}), boundDocument(document) {
    holdSink(document);
}

bool SessionGroup::output(Dag dag, int kind) {
    if (!placed() && boundDocument && boundDocument->root()) {
        Element* root = boundDocument->root();
        {
            RecordingSuspension suspension;
            if (!root->insertChild(this, root->firstChild(), kInsertBefore)) return false;
        }
        ExecutionGroup::beginOutput();
    }
    return ExecutionGroup::output(dag, kind);
}

void SessionGroup::endOutput() {
    // Everything this needs of the document is read before the group may go.
    WorksheetDocument* doc = boundDocument;
    bool stopped = doc && doc->stopped;
    if (placed()) ExecutionGroup::endOutput();
    else delete this;
    if (!stopped && executionGroupHooks.showIntroductionOnce) executionGroupHooks.showIntroductionOnce();
}

void SessionGroup::resetOutput() {
    if (placed()) ExecutionGroup::resetOutput();
    else delete this;   // the sink stays with the document until the drain is over
}
