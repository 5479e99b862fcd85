#pragma once
// SessionGroup: the execution group of a kernel session's start-up.  It belongs to its document
// without standing in the tree: the first output of the start-up places it at the top of the
// worksheet (with undo recording suspended, so the insertion itself is not an undo entry) and
// from then on it is an ordinary group.  A start-up without output leaves no trace: the group
// destroys itself at the end of the start-up, or at the first node of an interrupt drain.
//
// Ownership: while unplaced the group owns itself (it is deleted exactly once, by its own
// endOutput or resetOutput); once placed, its parent owns it.  Its sink is held by the document
// from construction (the document queues the start-up with it).

#include "document/exec/ExecutionGroup.h"

class SessionGroup : public ExecutionGroup {
public:
    explicit SessionGroup(WorksheetDocument* document);

    // A copy is a plain execution group.
    Element* cloneElement() const override { return new ExecutionGroup(*this); }

    void beginOutput() override {}
    bool output(Dag dag, int kind) override;
    void endOutput() override;
    void resetOutput() override;

    bool placed() const { return parent() != nullptr; }

    WorksheetDocument* boundDocument;
};
