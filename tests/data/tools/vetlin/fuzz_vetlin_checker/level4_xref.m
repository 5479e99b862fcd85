outer := proc(a)
    local inner;
    inner := proc(y) local z; y end;
    inner(a)
end;
# Exercises nested procedures: an inner procedure assigned to a local of the outer one, with an
# unused local of its own.
f := proc(x, y) x + y end;
g := proc() nargs end;
proc() local k; k := proc(z) z end; k(1) end;
# Exercises procedure definitions for the database: f and g are written, the procedure assigned
# to a local and the anonymous one are not.
