outer := proc(a)
    local inner;
    inner := proc(y) local z; y end;
    inner(a)
end;
# Exercises nested procedures: an inner procedure assigned to a local of the outer one, with an
# unused local of its own.
