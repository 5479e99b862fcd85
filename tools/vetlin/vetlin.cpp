// The checker's program (see vetlin.h).
#include "tools/vetlin/vetlin.h"

#include <new>

#include "tools/vetlin/run.h"
#include "tools/vetlin/startup.h"
#include "tools/vetlin/writer.h"

int vetlin_main(int argc, const char* const* argv, std::FILE* in, std::FILE* out, std::FILE* err) {
    vl_begin_run(in, out, err);
    int status = 127;
    try {
        try {
            vl_make_constants();
            if (!startup_run(argc, argv)) vl_exit(127);
            vl_init_checker();
            vl_statement_loop();
        } catch (const std::bad_alloc&) {
            vl_fatal_too_large("allocating space (object too large)");
        }
    } catch (const VetlinExit& exit) {
        status = exit.status;
    }
    vl_end_run();
    return status;
}
