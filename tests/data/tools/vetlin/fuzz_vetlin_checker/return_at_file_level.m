RETURN(1);
# Exercises a RETURN statement outside of any procedure.
