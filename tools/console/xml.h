#pragma once
// A converter between XML text and expression DAGs.
//
// Shapes (reader output, writer input):
//
// | XML                         | expression                                                 |
// |-----------------------------|------------------------------------------------------------|
// | <t>children</t>             | FUNCTION(OM_t, EXPSEQ(children))                           |
// | <t a="v" ...>children</t>   | FUNCTION(OM_t, EXPSEQ(children), a = v | EXPSEQ(a = v, ...)) |
// | <t/>                        | FUNCTION(OM_t, EXPSEQ())  (attributes as above)            |
// | text run                    | STRING, or INTPOS/INTNEG for "-"? digits with XML_NUMBERS  |
// | <!--text-->                 | COMMENT(text)                                              |
// | <![CDATA[text]]>            | CDATA(text)                                                |
// | <!n text>  /  <!n>          | SPECIAL_n(text)  /  SPECIAL_n(NULL)                        |
// | </t> (outside an element)   | the NAME OM_t                                              |
//
// Names: a letter or "_", then letters, digits, "-", "." or "_".  Text runs are cut of white
// space at both ends; empty runs give no item.
//
// The reader reports every error through its message printer with the count of characters read
// ("... on line N" when newlines were read before it) and answers null; the end of the input
// inside an element goes to the end-of-input reporter.  Nesting deeper than XML_MAX_DEPTH is an
// error.  The writer raises its errors through tovu_error.

#include "tovu/dag.h"

enum : unsigned {
    XML_SPLIT_TEXT = 1u << 0,   // white space separates text items; quoted runs are one STRING
    XML_ENTITIES = 1u << 1,     // decode &lt; &gt; &amp; &quot; &apos;
    XML_NUMBERS = 1u << 2,      // digit runs (one optional leading "-") become integers
};

enum : unsigned {
    XML_QUOTE_SPACED = 1u << 0,     // double quotes around a STRING holding white space
    XML_ESCAPE = 1u << 1,           // escape " & ' < > in strings and attribute values
    XML_BARE_NUMBERS = 1u << 2,     // non-string attribute values without quotes
};

constexpr int XML_MAX_DEPTH = 1000;

using XmlCharSource = int (*)(long count, void* context);   // 0 or -1 ends the input
using XmlEndReporter = void (*)(void* context, long count);
using XmlPrinter = void (*)(void* context, long count, const char* message);

// Null callbacks take the defaults: the standard input; "XML(%d): %s\n" on the standard error
// stream; "unexpected end of input" through the printer.
Dag xml_read(XmlCharSource source, XmlEndReporter endReporter, XmlPrinter printer,
             unsigned flags, void* context);

struct XmlOutput {
    void (*putChar)(void* data, int ch);
    void (*putText)(void* data, const char* text);
    void* data;
};

// Writes an element (or an integer or string).  Children go on lines of their own, indented by
// two blanks per level; attributes follow the tag name after a blank.
void xml_write(const DagWord* expression, const XmlOutput& output, unsigned flags);
