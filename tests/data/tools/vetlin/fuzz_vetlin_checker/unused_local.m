g := proc(x) local t; x end;
# Exercises a procedure with a local that is never used.
