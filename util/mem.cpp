// Checked allocation, the reserve block and the operator-new failure handler (see mem.h).
#include "util/mem.h"

#include "util/errjump.h"
#include "util/exitcb.h"

#include <cstdlib>
#include <new>

namespace {

int outOfMemory = 0;
char* reserve = nullptr;

// Installs the failure handler when the library is loaded.
struct NewHandlerInstaller {
    NewHandlerInstaller() { std::set_new_handler(mem_new_handler); }
} newHandlerInstaller;

}  // namespace

void mem_set_out_of_memory(int flag)
{
    outOfMemory = flag != 0 ? 1 : 0;
}

int mem_out_of_memory()
{
    return outOfMemory;
}

bool mem_try_alloc(void** out, std::size_t size)
{
    *out = std::malloc(size == 0 ? 1 : size);
    if (*out == nullptr) {
        outOfMemory = 1;
        return false;
    }
    return true;
}

void* mem_alloc(std::size_t size)
{
    return std::malloc(size == 0 ? 1 : size);
}

void mem_free(void* block)
{
    if (block != nullptr)
        std::free(block);
}

void mem_free_raw(void* block)
{
    std::free(block);
}

void mem_reserve_take()
{
    if (reserve == nullptr)
        reserve = new char[MEM_RESERVE_BYTES];
}

void mem_reserve_release()
{
    delete[] reserve;
    reserve = nullptr;
}

bool mem_reserve_held()
{
    return reserve != nullptr;
}

void mem_new_handler()
{
    exitcb_run_all();
    outOfMemory = 1;
    mem_reserve_release();
    outOfMemoryRecord.bytes = 0;
    errorRaised = 1;
    raiseRecord(&outOfMemoryRecord);
}
