# Writes the resource text IN as a C++ raw string constant kProgramResources into OUT.
file(READ ${IN} text)
file(WRITE ${OUT} "constexpr const char* kProgramResources = R\"kelvores(${text})kelvores\";\n")
