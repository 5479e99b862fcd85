#pragma once
// Token codes of the checker's grammar, shared by the lexer, the parser and the construct
// matcher.  Single characters without a code of their own are their own character code.

enum VlToken : int {
    TOK_ERROR = 256,        // the parser's recovery token
    TOK_AND = 257,
    TOK_ASSIGN = 258,       // ":="
    TOK_BY = 259,
    TOK_DESCRIPTION = 260,
    TOK_DO = 261,
    TOK_ELIF = 262,
    TOK_DOTS = 263,         // ".." (two or more dots)
    TOK_ELSE = 264,
    TOK_END = 265,
    TOK_FI = 266,
    TOK_FOR = 267,
    TOK_FROM = 268,
    TOK_GLOBAL = 269,
    TOK_IF = 270,
    TOK_IN = 271,
    TOK_LOCAL = 272,
    TOK_NAME = 273,         // also back-quoted
    TOK_INTEGER = 274,
    TOK_EXPONENT = 275,     // integer with an exponent
    TOK_NEUTRAL = 276,      // "&" and its name, except "&*"
    TOK_NOT = 277,
    TOK_OD = 278,
    TOK_OPTION = 279,       // option, options
    TOK_OR = 280,
    TOK_ATAT = 281,         // "@@"
    TOK_PROC = 282,
    TOK_INTERSECT = 283,    // intersect, and "@"
    TOK_QUIT = 284,         // quit, done, stop
    TOK_READ = 285,
    TOK_RELATION = 286,     // "<=", "<>", ">=" (the kind is the token's value)
    TOK_SAVE = 287,
    TOK_STRING = 288,
    TOK_MINUS = 289,        // minus, union
    TOK_THEN = 290,
    TOK_TO = 291,
    TOK_WHILE = 292,
    TOK_MOD = 293,
    TOK_DCOLON = 295,       // "::"
    TOK_COLON = 296,
    TOK_COMMA = 297,
    TOK_SLASH = 298,
    TOK_DOLLAR = 299,
    TOK_DOT = 300,
    TOK_EQUAL = 301,
    TOK_EOF = 302,
    TOK_BANG = 303,
    TOK_GREATER = 304,
    TOK_LABEL = 305,        // "%" before a digit
    TOK_LESS = 306,
    TOK_LBRACE = 307,
    TOK_LBRACKET = 308,
    TOK_LPAREN = 309,
    TOK_AMPSTAR = 310,      // "&*"
    TOK_MINUS_SIGN = 311,   // "-"
    TOK_ARROW = 312,        // "->"
    TOK_PLUS = 313,
    TOK_CARET = 314,        // "^" and "**"
    TOK_STAR = 315,
    TOK_QUOTE = 316,        // "'"
    TOK_RBRACE = 317,
    TOK_RBRACKET = 318,
    TOK_RPAREN = 319,
    TOK_SEMICOLON = 320,
    TOK_BAR = 321,
};
constexpr int VL_TOKEN_TABLE = 512;   // every token code is below this
