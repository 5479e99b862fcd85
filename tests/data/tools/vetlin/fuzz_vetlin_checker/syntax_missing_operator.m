x := 1 2;
# Exercises a syntax error: two operands with no operator between them.
