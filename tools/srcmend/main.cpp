// srcmend: the source update tool (see srcmend.h).
#include "tools/srcmend/srcmend.h"

#include <cstdio>

int main(int argc, char** argv) { return srcmend_main(argc, argv, stdin, stdout, stderr); }
