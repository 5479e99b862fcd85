f(1, 2, 3);
# Exercises a call with the wrong number of arguments for a procedure in the database (f takes 2).
