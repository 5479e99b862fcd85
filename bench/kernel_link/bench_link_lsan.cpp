// Linked into every benchmark over the real kernel: GiNaC and CLN keep caches for the whole
// process, which LeakSanitizer would otherwise report when a sanitizer build of the benchmark
// ends.

extern "C" const char* __lsan_default_suppressions() { return "leak:libcln.so\nleak:libginac.so\n"; }
