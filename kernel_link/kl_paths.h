#pragma once
// Where the kernel library and the kernel server program are found.
//
// | what            | environment override | then                                               |
// |-----------------|----------------------|----------------------------------------------------|
// | kernel library  | KELVO_KERNEL         | <exe dir>/libkkernel.so, <exe dir>/../lib/kelvo/   |
// |                 |                      | libkkernel.so, else the build tree's libkkernel.so |
// | kernel server   | KELVO_KERNSRV        | <exe dir>/kernsrv, else the build tree's kernsrv   |
//
// An installed program finds its neighbours next to itself; a program run from the build tree
// falls back to the paths the build recorded.  An empty variable counts as unset.

#include <string>

std::string kl_kernel_library_path();
std::string kl_kernel_server_path();
// The directory of the running executable ("" when it cannot be read).
std::string kl_executable_dir();
