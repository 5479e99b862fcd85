break;
# Exercises a break statement outside of any loop, at file level.
