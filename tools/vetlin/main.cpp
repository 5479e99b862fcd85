// vetlin: the syntax checker (see vetlin.h).
#include "tools/vetlin/vetlin.h"

int main(int argc, char** argv) { return vetlin_main(argc, argv, stdin, stdout, stderr); }
