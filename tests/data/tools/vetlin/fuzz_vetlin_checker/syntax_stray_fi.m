if x > 1 then y := 2 fi;
fi;
# Exercises a syntax error: a stray fi after a complete if statement.
