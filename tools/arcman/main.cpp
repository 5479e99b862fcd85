// Entry point of the archive tool; the commands live in arcman.cpp.
#include "tools/arcman/arcman.h"

#include <cstdio>

int main(int argc, char** argv) {
    return arcman_main(argc, argv, stdout, stderr);
}
