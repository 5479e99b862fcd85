y := 2(x+1);
# Exercises a call that looks like a product missing its * operator.
