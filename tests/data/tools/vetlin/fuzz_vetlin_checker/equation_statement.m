x = 1;
# Exercises an equation used as a statement, where an assignment was meant.
