sq := proc(x) x^2 end;
# Exercises a clean file: a procedure with no faults.
