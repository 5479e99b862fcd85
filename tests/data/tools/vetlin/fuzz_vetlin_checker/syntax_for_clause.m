for i 1 to 5 do od;
# Exercises a syntax error: a number where the for clause needs a name.
