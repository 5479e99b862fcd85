#pragma once
// KDAGStorage: the storage area a document keeps its kernel expressions in, named "KDAGStorage"
// and released as a whole.  Lives in the small target util_dag (it needs the expression
// library), so that util itself does not depend on tovu.

#include "tovu/src/storage.h"

class KDAGStorage {
public:
    KDAGStorage();
    ~KDAGStorage();   // releases
    KDAGStorage(const KDAGStorage&) = delete;
    KDAGStorage& operator=(const KDAGStorage&) = delete;

    // Frees every block of the area and clears the state word; the area stays usable.
    void release();

    StorageArea* area() { return &area_; }
    DagWord state() const { return state_; }
    void setState(DagWord state) { state_ = state; }

private:
    StorageArea area_;
    DagWord state_ = 0;
};
