#pragma once
// Interface variables: the settings of the user interface that the kernel reads and changes
// through the GET and SET reply streams (prompt, screen width, plot device, ...), the holder
// that each kernel session owns, and the version banner.
//
// InterfaceSettings fields, in order (defaults of the library's default block):
//
// | field        | type                 | default    | SET accepts                                  |
// |--------------|----------------------|------------|----------------------------------------------|
// | reserved0/1  | words                | 0, 1       | (never touched by SET and GET)               |
// | prompt       | text, <= 127 chars   | "> "       | a name or string                             |
// | echo         | integer              | 1          | a non-negative integer that fits K_INT       |
// | errorbreak   | integer              | 1          | the same                                     |
// | quiet        | boolean              | false      | a name: true when it is "true", else false   |
// | warnlevel    | integer              | 3          | a non-negative integer that fits K_INT       |
// | screenwidth  | integer              | 79         | a one-word non-negative integer (< 10000)    |
// | screenheight | integer              | 25         | a one-word non-negative integer              |
// | terminator   | integer (endcolon)   | 1          | (set by the parser at every statement)       |
// | errorcursor  | boolean              | true       | a name, as quiet                             |
// | prettyprint  | integer              | 1          | a non-negative integer that fits K_INT       |
// | verboseproc  | integer              | 1          | the same                                     |
// | labelling    | boolean (labeling)   | true       | a name, as quiet                             |
// | indentamount | integer              | 4          | a one-word non-negative integer              |
// | labelwidth   | integer              | 20         | a one-word non-negative integer              |
// | ansi         | boolean              | false      | a name, as quiet                             |
// | showassumed  | integer              | 1          | a one-word non-negative integer              |
// | plotdevice   | text, <= 23 chars    | "char"     | a name or string; "default" stores "char"    |
// | plotoutput   | text, <= 259 chars   | "terminal" | a name or string                             |
// | plotoptions  | heap text, owned     | none       | a name or string (replaces the old text)     |
// | preplot      | <= 80 values -128..127 | empty    | a list of one-word integers                  |
// | postplot     | as preplot           | empty      | as preplot                                   |
// | latexwidth   | double               | 5.0        | a non-negative integer n, stored as n / 1000 |
//
// "Integer" values are INTPOS DAGs ("one-word": one base-10000 digit).  A value that does not fit
// its field is refused with an "Error, ..." answer and the field keeps its old value: texts are
// never cut or written past their buffers, list values outside -128..127 are not wrapped.
//
// Every answer is a DAG: NULL for a stored SET, the value for a GET, or a NAME whose text is the
// error message.

#include <cstdint>
#include <string>

#include "dag.h"

constexpr int INTERFACE_PROMPT_MAX = 127;
constexpr int INTERFACE_PLOTDEVICE_MAX = 23;
constexpr int INTERFACE_PLOTOUTPUT_MAX = 259;
constexpr int INTERFACE_PLOTLIST_MAX = 80;

struct InterfaceSettings {
    std::intptr_t reserved0 = 0;
    std::intptr_t reserved1 = 1;
    char prompt[INTERFACE_PROMPT_MAX + 1] = "> ";
    K_INT echo = 1;
    K_INT errorbreak = 1;
    K_INT quiet = 0;
    K_INT warnlevel = 3;
    K_INT screenwidth = 79;
    K_INT screenheight = 25;
    K_INT terminator = 1;       // 1 after ";", 0 after ":" (GET endcolon)
    K_INT errorcursor = 1;
    K_INT prettyprint = 1;
    K_INT verboseproc = 1;
    K_INT labelling = 1;
    K_INT indentamount = 4;
    K_INT labelwidth = 20;
    K_INT ansi = 0;
    K_INT showassumed = 1;
    char plotdevice[INTERFACE_PLOTDEVICE_MAX + 1] = "char";
    char plotoutput[INTERFACE_PLOTOUTPUT_MAX + 1] = "terminal";
    char* plotoptions = nullptr;   // heap text owned by the block, or none
    std::int8_t preplotCount = 0;
    std::int8_t preplot[INTERFACE_PLOTLIST_MAX] = {};
    std::int8_t postplotCount = 0;
    std::int8_t postplot[INTERFACE_PLOTLIST_MAX] = {};
    double latexwidth = 5.0;
};

// The library's default block (the parser writes its terminator field).
InterfaceSettings* interface_default_block();

// A new block copied from the default block (its own copy of plotoptions); null when out of
// memory.  interface_vars_free frees the plotoptions text and the block; nothing for null.
InterfaceSettings* interface_vars_new();
void interface_vars_free(InterfaceSettings* block);

// Replaces an allocated text (the old one is freed; null clears the slot).  0, or -1 when the
// slot is null or the copy cannot be allocated.
int interface_set_text(char** slot, const char* text);

// request: EXPSEQ (name, value).
Dag interface_set(const DagWord* request, InterfaceSettings* block);
// request: EXPSEQ of one name.
Dag interface_get(const DagWord* request, const InterfaceSettings* block);

// "Kelvo Worksheet Interface, Release 5, <platform>, Nov 27 1997"; the platform text is
// "IBM INTEL WIN32S" on Win32s, else "IBM INTEL NT".
const char* interface_version_banner(bool win32s = false);

// The three settings that every new session takes from the program's options (the options
// object fills this once; the frame writes a session's values back when it closes).
struct InterfaceOptions {
    int prettyPrint = 1;
    int showAssumed = 1;
    std::string plotDevice = "char";
};
extern InterfaceOptions interfaceOptions;

// One session's block.
class KInterfaceVars {
public:
    explicit KInterfaceVars(const InterfaceOptions& options = interfaceOptions);
    ~KInterfaceVars();
    KInterfaceVars(const KInterfaceVars&) = delete;
    KInterfaceVars& operator=(const KInterfaceVars&) = delete;

    // interface_set; SET plotdevice default then stores "inline", the worksheet's own device.
    Dag set(const DagWord* request);
    Dag get(const DagWord* request) const;
    InterfaceSettings* settings() const { return block_; }

private:
    InterfaceSettings* block_;
};
