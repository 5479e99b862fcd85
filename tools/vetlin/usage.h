#pragma once
// Name usage and procedure analysis: the scope each name belongs to, the access modes gathered on
// its usage record, and the numbered errors each procedure turns them into.
//
// Access modes, ORed into a usage record's flags (the report words are the reports' own):
//
//   bit       | meaning                        bit        | meaning
//   ----------+-----------------------------   -----------+--------------------------------
//   0x1       | assigned (with a kind below)   0x1000     | used as a list or table
//   0x2       | read                           0x2000     | used as a set
//   0x4       | passed as an argument          0x4000     | called as a function
//   0x8       | assigned a list                0x8000     | used as a range
//   0x10      | assigned a set                 0x10000    | used as a value
//   0x20      | assigned a procedure           0x40000    | used as an unevaluated name
//   0x40      | assigned a range               0x80000    | used as a package index
//   0x80      | assigned a value               0x100000   | used as a substitution variable
//   0x100     | assigned as a list or table    0x200000   | call-by-value argument
//             | element                        0x400000   | call-by-name argument
//   0x200     | assigned a function value      0x800000   | map or frontend procedure
//                                              0x1000000  | unassigned (assigned its own
//                                                         | unevaluated name)
//
// Error classes: errors 0-5 class 1, 6-21 class 2, 22-31 class 3.  A scope's Severity is the
// lowest class it recorded (4 when none); TotalSeverity the lowest over the run.

#include "tools/vetlin/run.h"

// Usage record flags the checks use by name.
enum : VWord {
    VL_ASSIGNED = 0x1,
    VL_READ = 0x2,
    VL_ARGUMENT = 0x4,
    VL_UNASSIGNED = 0x1000000,
};

// A scope with fresh, empty lists.
VetlinScope usage_new_scope();

// A usage record (type 46) of the name with the flags.
VObj usage_record(const VWord* name, VWord flags);
inline VWord usage_flags(const VWord* record) { return record[1]; }
inline const VWord* usage_name(const VWord* record) { return vl_op(record, 2); }
// The record of the name (declared-name equality) in a list of usage records, or null.
VObj usage_find(const VWord* list, const VWord* name);

// Records a reference to a NAME with the access mode; the record it updated or made, or null
// for an ignored name.
VObj usage_reference(const VWord* name, VWord mode);
// Records a use of a catenated name (a CATENATE object).
void usage_catenated(const VWord* catenation, VWord mode);
// Records error n on the name when RecordErrorClass accepts it.
void usage_error(const VWord* name, int n);

// Analyses a procedure: its parameters and locals, its body through the statement checks, the
// errors its usage shows, its database line and its report; then the scope is restored.  `name`
// is the name the procedure is assigned to ("" for an anonymous one); `globalDefinition` is set
// when that name is not a local of the enclosing procedure.
void usage_analyse_procedure(VObj proc, const char* name, bool globalDefinition);

// Test hook: called at the end of every procedure analysis, before the scope is restored, with
// the procedure's name.
extern void (*usageAnalysedHook)(const char* name);
