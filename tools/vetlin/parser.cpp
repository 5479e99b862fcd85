// The statement parser (see parser.h): one call of the generated parser (grammar.y) per
// statement.
#include "tools/vetlin/parser.h"

#include "tools/vetlin/grammar.h"
#include "tools/vetlin/lexer.h"
#include "tools/vetlin/run.h"
#include "tools/vetlin/tokens.h"

void parser_init() { lexer_init(); }

VObj parser_read_statement() {
    gram_begin();
    int status;
    try {
        status = gram_parse();
    } catch (const GrammarAbort&) {
        // The rest of the refused statement is skipped, not read as statements of its own.
        for (int token = TOK_ERROR; token != TOK_SEMICOLON && token != TOK_COLON && token != TOK_EOF;)
            token = lexer_next_token();
        status = 1;
    }
    return status == 0 ? gramResult : nullptr;
}
