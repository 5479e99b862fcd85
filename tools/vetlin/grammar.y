/* The checker's grammar: one call of the parser reads one top-level statement and leaves its
 * object tree in gramResult (grammar.h builds every object).  Token codes are those of tokens.h.
 * Recovery is yacc's: after "syntax error" the parser pops to a state that can shift the error
 * token, then discards tokens until it can go on; a statement terminator or the end of the input
 * ends the bad statement.  The stacks hold 1024 entries; more is "yacc stack overflow". */
%{
/* The token numbers below are those of tokens.h, which the generated header replaces here. */
#include <string_view>
#include "tools/vetlin/grammar.h"
#include "tools/vetlin/run.h"

#define YYINITDEPTH 1024
#define YYMAXDEPTH 1024
int vlyylex(VWord* value, struct VLYYLTYPE* location);
void vlyyerror(struct VLYYLTYPE* location, const char* message);
%}

%define api.prefix {vlyy}
%define api.pure full
%define api.value.type {VWord}
%locations

%token TOK_AND 257 TOK_ASSIGN 258 TOK_BY 259 TOK_DESCRIPTION 260 TOK_DO 261 TOK_ELIF 262
%token TOK_DOTS 263 TOK_ELSE 264 TOK_END 265 TOK_FI 266 TOK_FOR 267 TOK_FROM 268
%token TOK_GLOBAL 269 TOK_IF 270 TOK_IN 271 TOK_LOCAL 272 TOK_NAME 273 TOK_INTEGER 274
%token TOK_EXPONENT 275 TOK_NEUTRAL 276 TOK_NOT 277 TOK_OD 278 TOK_OPTION 279 TOK_OR 280
%token TOK_ATAT 281 TOK_PROC 282 TOK_INTERSECT 283 TOK_QUIT 284 TOK_READ 285
%token TOK_RELATION 286 TOK_SAVE 287 TOK_STRING 288 TOK_MINUS 289 TOK_THEN 290 TOK_TO 291
%token TOK_WHILE 292 TOK_MOD 293 TOK_DCOLON 295 TOK_COLON 296 TOK_COMMA 297 TOK_SLASH 298
%token TOK_DOLLAR 299 TOK_DOT 300 TOK_EQUAL 301 TOK_EOF 302 TOK_BANG 303 TOK_GREATER 304
%token TOK_LABEL 305 TOK_LESS 306 TOK_LBRACE 307 TOK_LBRACKET 308 TOK_LPAREN 309
%token TOK_AMPSTAR 310 TOK_MINUS_SIGN 311 TOK_ARROW 312 TOK_PLUS 313 TOK_CARET 314
%token TOK_STAR 315 TOK_QUOTE 316 TOK_RBRACE 317 TOK_RBRACKET 318 TOK_RPAREN 319
%token TOK_SEMICOLON 320 TOK_BAR 321

%start input

%%

input:
    statements statement terminator { gramResult = reinterpret_cast<VObj>($2); YYACCEPT; }
  | statements TOK_QUIT             { gramResult = reinterpret_cast<VObj>(gram_stop(@2.first_line)); YYACCEPT; }
  | statements TOK_EOF              { gramResult = reinterpret_cast<VObj>(gram_end_of_input(false)); YYACCEPT; }
  | statements error TOK_EOF        { gramResult = reinterpret_cast<VObj>(gram_end_of_input(true)); YYACCEPT; }
  ;

statements:
    %empty
  | statements error terminator     { yyerrok; }
  ;

terminator: TOK_SEMICOLON | TOK_COLON ;

statement:
    exprseq TOK_ASSIGN exprseq      { $$ = gram_lines(gram_node(DAG_ASSIGN, {$1, $3}, @$.first_line), @$.first_line, storeLine); }
  | exprseq                         { $$ = gram_statement($1, @1.first_line); }
  | TOK_READ exprseq                { $$ = gram_lines(gram_node(DAG_READ, {$2}, @$.first_line), @$.first_line, storeLine); }
  | TOK_SAVE exprseq                { $$ = gram_lines(gram_node(DAG_SAVE, {$2}, @$.first_line), @$.first_line, storeLine); }
  | for_head loop_clauses TOK_DO statseq TOK_OD
                                    { $$ = gram_loop($1, $2, $4, @$.first_line); }
  | for_head TOK_IN exprseq while_clause TOK_DO statseq TOK_OD
                                    { $$ = gram_loop_in($1, $3, $4, $6, @$.first_line); }
  | if_statement                    { $$ = $1; }
  | %empty                          { $$ = reinterpret_cast<VWord>(vl.null); }
  ;

for_head:
    TOK_FOR name_expr               { $$ = $2; }
  | %empty                          { $$ = reinterpret_cast<VWord>(vl.null); }
  ;

loop_clauses:
    %empty                          { $$ = gram_loop_clauses(); }
  | loop_clauses TOK_FROM exprseq   { $$ = gram_loop_clause($1, 2, $3, "repeated from part"); }
  | loop_clauses TOK_BY exprseq     { $$ = gram_loop_clause($1, 3, $3, "repeated by part"); }
  | loop_clauses TOK_TO exprseq     { $$ = gram_loop_clause($1, 4, $3, "repeated to part"); }
  | loop_clauses TOK_WHILE exprseq  { $$ = gram_loop_clause($1, 5, $3, "repeated while part"); }
  ;

while_clause:
    TOK_WHILE exprseq               { $$ = $2; }
  | %empty                          { $$ = gram_predefined(VL_PRE_TRUE); }
  ;

if_statement:
    if_head TOK_FI                  { $$ = gram_lines($1, @$.first_line, storeLine); }
  | if_head TOK_ELSE statseq TOK_FI { $$ = gram_lines(gram_if_append($1, $3, 0), @$.first_line, storeLine); }
  ;

if_head:
    TOK_IF exprseq TOK_THEN statseq { $$ = gram_if($2, $4, @$.first_line); }
  | if_head TOK_ELIF exprseq TOK_THEN statseq
                                    { $$ = gram_if_append($1, $3, $5); }
  ;

statseq:
    statseq terminator stmt         { $$ = gram_statseq($1, $3); }
  | stmt                            { $$ = $1; }
  ;

stmt:
    statement                       { $$ = $1; }
  | TOK_QUIT                        { $$ = gram_stop(@1.first_line); }
  ;

exprseq:
    exprseq TOK_COMMA expr          { $$ = gram_seq_append($1, $3); }
  | expr                            { $$ = $1; }
  ;

expr:
    params TOK_ARROW arrow_body     { $$ = gram_arrow($1, $3, @$.first_line); }
  | disjunction                     { $$ = $1; }
  ;

params:
    primary                         { $$ = $1; }
  | TOK_LPAREN TOK_RPAREN           { $$ = reinterpret_cast<VWord>(vl.null); }
  ;

arrow_body: expr | if_statement ;

disjunction:
    disjunction TOK_OR conjunction  { $$ = gram_node(DAG_OR, {$1, $3}, @$.first_line); }
  | conjunction
  ;

conjunction:
    conjunction TOK_AND negation    { $$ = gram_node(DAG_AND, {$1, $3}, @$.first_line); }
  | negation
  ;

negation:
    TOK_NOT negation                { $$ = gram_node(DAG_NOT, {$2}, @$.first_line); }
  | sequence
  ;

sequence:
    sum_level TOK_DOLLAR relation   { $$ = gram_call(gram_predefined(VL_PRE_DOLLAR), gram_node(DAG_EXPSEQ, {$1, $3}, @$.first_line), @$.first_line); }
  | TOK_DOLLAR range_level          { $$ = gram_call(gram_predefined(VL_PRE_DOLLAR), $2, @$.first_line); }
  | relation
  ;

relation:
    range_level TOK_EQUAL range_level    { $$ = gram_node(DAG_EQUATION, {$1, $3}, @$.first_line); }
  | range_level TOK_RELATION range_level { $$ = gram_relation(long($2), $1, $3, @$.first_line); }
  | range_level TOK_LESS range_level     { $$ = gram_node(DAG_LESSTHAN, {$1, $3}, @$.first_line); }
  | range_level TOK_GREATER range_level  { $$ = gram_node(DAG_LESSTHAN, {$3, $1}, @$.first_line); }
  | range_level
  ;

range_level:
    sum_level TOK_DOTS sum_level    { $$ = gram_node(DAG_RANGE, {$1, $3}, @$.first_line); }
  | sum_level
  ;

sum_level:
    sum_level TOK_MOD product       { $$ = gram_call(gram_predefined(VL_PRE_MOD), gram_node(DAG_EXPSEQ, {$1, $3}, @$.first_line), @$.first_line); }
  | sum_level TOK_PLUS product      { $$ = gram_sum($1, $3, 1, @$.first_line); }
  | sum_level TOK_MINUS_SIGN product { $$ = gram_sum($1, $3, -1, @$.first_line); }
  | sum_level TOK_MINUS product     { $$ = gram_call($2, gram_node(DAG_EXPSEQ, {$1, $3}, @$.first_line), @$.first_line); }
  | TOK_PLUS product                { $$ = $2; }
  | TOK_MINUS_SIGN product          { $$ = gram_negate($2, @$.first_line); }
  | product
  ;

product:
    product TOK_STAR power          { $$ = gram_product($1, $3, 1, @$.first_line); }
  | product TOK_SLASH power         { $$ = gram_product($1, $3, -1, @$.first_line); }
  | product TOK_INTERSECT power     { $$ = gram_call($2, gram_node(DAG_EXPSEQ, {$1, $3}, @$.first_line), @$.first_line); }
  | product TOK_AMPSTAR power       { $$ = gram_call($2, gram_node(DAG_EXPSEQ, {$1, $3}, @$.first_line), @$.first_line); }
  | power
  ;

power:
    postfix TOK_CARET postfix       { $$ = gram_power($1, $3, @$.first_line); }
  | postfix TOK_ATAT postfix        { $$ = gram_call($2, gram_node(DAG_EXPSEQ, {$1, $3}, @$.first_line), @$.first_line); }
  | postfix
  ;

postfix:
    postfix TOK_BANG                { $$ = gram_call(gram_predefined(VL_PRE_FACTORIAL), $1, @$.first_line); }
  | neutral
  ;

neutral:
    neutral TOK_NEUTRAL unary       { $$ = gram_call($2, gram_node(DAG_EXPSEQ, {$1, $3}, @$.first_line), @$.first_line); }
  | unary TOK_DCOLON unary          { $$ = gram_node(DAG_DCOLON, {$1, $3}, @$.first_line); }
  | unary
  ;

unary:
    TOK_AMPSTAR primary             { $$ = gram_call($1, $2, @$.first_line); }
  | TOK_NEUTRAL primary             { $$ = gram_call($1, $2, @$.first_line); }
  | TOK_AMPSTAR TOK_LPAREN TOK_RPAREN { $$ = gram_call($1, reinterpret_cast<VWord>(vl.null), @$.first_line); }
  | TOK_NEUTRAL TOK_LPAREN TOK_RPAREN { $$ = gram_call($1, reinterpret_cast<VWord>(vl.null), @$.first_line); }
  | primary
  ;

primary:
    proc_head statseq TOK_END       { $$ = gram_proc_end($1, $2); }
  | number
  | name_expr
  | string_expr
  | TOK_LPAREN exprseq TOK_RPAREN   { $$ = $2; }
  | TOK_QUOTE exprseq TOK_QUOTE     { $$ = gram_node(DAG_UNEVAL, {$2}, @$.first_line); }
  | TOK_LESS relation_list TOK_GREATER
                                    { $$ = gram_call(reinterpret_cast<VWord>(store_name("anglebracket")), $2, @$.first_line); }
  | TOK_LBRACE optional_exprseq TOK_RBRACE
                                    { $$ = gram_node(DAG_SET, {gram_seq($2)}, @$.first_line); }
  | TOK_LBRACKET optional_exprseq TOK_RBRACKET
                                    { $$ = gram_node(DAG_LIST, {gram_seq($2)}, @$.first_line); }
  | TOK_LABEL TOK_INTEGER           { $$ = reinterpret_cast<VWord>(vl.null); }
  ;

number:
    TOK_INTEGER                     { $$ = $1; }
  | TOK_EXPONENT                    { $$ = $1; }
  | TOK_INTEGER TOK_DOT             { $$ = gram_float($1, 0, @$.first_line); }
  | TOK_DOT TOK_INTEGER             { $$ = gram_float(0, $2, @$.first_line); }
  | TOK_DOT TOK_EXPONENT            { $$ = gram_float(0, $2, @$.first_line); }
  | TOK_INTEGER TOK_DOT TOK_INTEGER { $$ = gram_float($1, $3, @$.first_line); }
  | TOK_INTEGER TOK_DOT TOK_EXPONENT { $$ = gram_float($1, $3, @$.first_line); }
  ;

name_expr:
    TOK_NAME                        { $$ = $1; }
  | primary TOK_LBRACKET optional_exprseq TOK_RBRACKET
                                    { $$ = gram_node(DAG_TABLEREF, {$1, gram_seq($3)}, @$.first_line); }
  | primary TOK_LPAREN optional_exprseq TOK_RPAREN
                                    { $$ = gram_call($1, $3, @$.first_line); }
  | name_expr TOK_DOT catenated     { $$ = gram_node(DAG_CATENATE, {$1, $3}, @$.first_line); }
  ;

string_expr:
    TOK_STRING                      { $$ = $1; }
  | string_expr TOK_DOT catenated   { $$ = gram_node(DAG_CATENATE, {$1, $3}, @$.first_line); }
  ;

catenated:
    TOK_LPAREN exprseq TOK_RPAREN   { $$ = $2; }
  | TOK_INTEGER
  | TOK_NAME
  | TOK_STRING
  ;

optional_exprseq:
    %empty                          { $$ = reinterpret_cast<VWord>(vl.null); }
  | exprseq
  ;

relation_list:
    range_level                     { $$ = $1; }
  | relation_list TOK_COMMA range_level { $$ = gram_seq_append($1, $3); }
  ;

proc_head:
    TOK_PROC TOK_LPAREN parameters TOK_RPAREN
                                    { $$ = gram_proc_head($3, @$.first_line); }
  | proc_head TOK_LOCAL name_list terminator
                                    { $$ = gram_proc_part($1, 2, $3, "repeated local part"); }
  | proc_head TOK_GLOBAL name_list terminator
                                    { $$ = gram_proc_part($1, 7, $3, "repeated global part"); }
  | proc_head TOK_OPTION name_list terminator
                                    { $$ = gram_proc_part($1, 3, $3, "repeated options part"); }
  | proc_head TOK_DESCRIPTION text_list terminator
                                    { $$ = gram_proc_part($1, 6, $3, "repeated description part"); }
  ;

parameters:
    %empty                          { $$ = reinterpret_cast<VWord>(vl.null); }
  | parameter_list                  { $$ = $1; }
  ;

parameter_list:
    parameter                       { $$ = gram_seq($1); }
  | parameter_list TOK_COMMA parameter { $$ = gram_seq_append($1, $3); }
  ;

parameter:
    TOK_NAME                        { $$ = $1; }
  | TOK_NAME TOK_DCOLON disjunction { $$ = gram_node(DAG_DCOLON, {$1, $3}, @$.first_line); }
  | TOK_NAME TOK_COLON disjunction  { gram_error("`:` is obsolete, use `::` instead");
                                      $$ = gram_node(DAG_DCOLON, {$1, $3}, @$.first_line); }
  ;

name_list:
    TOK_NAME                        { $$ = gram_seq($1); }
  | name_list TOK_COMMA TOK_NAME    { $$ = gram_seq_append($1, $3); }
  ;

text_list:
    text                            { $$ = gram_seq($1); }
  | text_list TOK_COMMA text        { $$ = gram_seq_append($1, $3); }
  ;

text: TOK_NAME | TOK_STRING ;

%%

int vlyylex(VWord* value, VLYYLTYPE* location) {
    int line = 0;
    const int token = gram_next_token(value, &line);
    location->first_line = location->last_line = line;
    location->first_column = location->last_column = 0;
    return token;
}

void vlyyerror(VLYYLTYPE*, const char* message) {
    gram_error(std::string_view(message) == "memory exhausted" ? "yacc stack overflow" : message);
}

int gram_parse() { return vlyyparse(); }
