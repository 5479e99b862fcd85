#pragma once
// Dynamic libraries over dlopen: load a shared library by path and look up its symbols.
//
// A loaded library is never unloaded here; the caller keeps the handle for as long as it uses
// the library's symbols.  Thread-safe as dlopen is; the error text is returned, not kept.

#include <string>

// Loads the library with every symbol bound now and none made global.  The handle, or null with
// *error (when given) set to the system's reason.
void* dynlib_open(const std::string& path, std::string* error);
// The address of the symbol, or null when the library has none of that name.
void* dynlib_symbol(void* library, const char* name);
