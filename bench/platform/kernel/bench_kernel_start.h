#pragma once
// Starts the kernel library once per benchmark process (storage, DAG tables, kernel_start),
// for the benchmarks that run statements through kernel_evaluate.

#include "platform/kernel/kkernel.h"
#include "tovu/dag.h"
#include "tovu/storage.h"

inline void bench_start_kernel() {
    static bool started = false;
    if (started) return;
    storage_init_default();
    dag_init();
    char prog[] = "kernel";
    char* argv[] = {prog, nullptr};
    kernel_start(1, argv);
    started = true;
}
