Pi := 3;
# Exercises a system name (Pi) assigned at file level.
