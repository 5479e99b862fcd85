// Document expression storage (see KDAGStorage.h).
#include "tovu/KDAGStorage.h"

KDAGStorage::KDAGStorage()
{
    storage_init(&area_, 0, "KDAGStorage");
}

KDAGStorage::~KDAGStorage()
{
    release();
}

void KDAGStorage::release()
{
    storage_free(&area_);
    state_ = 0;
}
