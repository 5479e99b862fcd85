g(1, 2, 3, 4);
f(1, 2);
# Exercises calls that agree with the database: g takes any number of arguments, f two.
