#pragma once
// The undo recording of the element tree's three structural operations.  The tree calls these
// around its changes; the edit layer defines them (document/edit/EditBracket.cpp) over the
// document's undo history, so that the tree includes nothing of the layer above it.  Each
// records only when the element's document is recording (EditBracket::isRecording).

#include <functional>

class Element;

void recordInsertion(Element* parent, Element* inserted);   // after the insertion
void recordRemoval(Element* parent, Element* child);        // before the child leaves
// Records the replacement of oldChild by newChild in parent around `swap`, which makes it.
void recordReplacement(Element* parent, Element* oldChild, Element* newChild,
                       const std::function<void()>& swap);
