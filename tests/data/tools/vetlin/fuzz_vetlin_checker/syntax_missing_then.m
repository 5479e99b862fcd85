if x 1 fi;
# Exercises a syntax error: an if without its then.
