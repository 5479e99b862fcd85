#pragma once
// KDAGStorage: the storage area a document keeps its kernel expressions in, named "KDAGStorage"
// and released as a whole.

#include "tovu/storage.h"

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
