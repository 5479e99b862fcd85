// Reader of the oldest release's unquoted expression form (see old_expression.h).
#include "document/records/old_expression.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "document/records/KWorksheetReader.h"
#include "tovu/errors.h"

namespace {

unsigned typeOfChar(char c) {
    switch (c) {
    case 'i': return DAG_INTNEG;     case 'j': return DAG_INTPOS;
    case '/': return DAG_RATIONAL;   case 'e': return DAG_FLOAT;
    case 'n': return DAG_NAME;       case 'b': return DAG_TABLEREF;
    case '.': return DAG_CATENATE;   case '^': return DAG_POWER;
    case '*': return DAG_PROD;       case '_': return DAG_SERIES;
    case '+': return DAG_SUM;        case '(': return DAG_FUNCTION;
    case 'u': return DAG_UNEVAL;     case '>': return DAG_INEQUAT;
    case '<': return DAG_LESSTHAN;   case '&': return DAG_AND;
    case '!': return DAG_NOT;        case '|': return DAG_OR;
    case ',': return DAG_EXPSEQ;     case '[': return DAG_LIST;
    case 'l': return DAG_LOCAL;      case 'a': return DAG_PARAM;
    case '@': return DAG_PROC;       case '~': return DAG_RANGE;
    case '%': return DAG_SET;        case 't': return DAG_TABLE;
    case '=': return DAG_EQUATION;   case '$': return DAG_LESSEQ;
    case ':': return DAG_ASSIGN;     case 'f': return DAG_FOR;
    case '?': return DAG_IF;         case 'r': return DAG_READ;
    case 's': return DAG_SAVE;       case ';': return DAG_STATSEQ;
    case '#': return DAG_HASH;       case 'h': return DAG_HASHTAB;
    default: return 0;
    }
}

// Lengths a node of the type may have (header included); 0 for "any length from min".
struct LengthRule {
    std::size_t min;
    std::size_t max;
};
LengthRule lengthRule(unsigned type) {
    switch (type) {
    case DAG_RATIONAL: case DAG_CATENATE: case DAG_POWER: case DAG_INEQUAT: case DAG_LESSTHAN:
    case DAG_AND: case DAG_OR: case DAG_RANGE: case DAG_ASSIGN: case DAG_EQUATION:
    case DAG_LESSEQ:
        return {3, 3};
    case DAG_FLOAT: case DAG_TABLEREF: case DAG_FUNCTION:
        return {3, 4};
    case DAG_UNEVAL: case DAG_NOT: case DAG_READ: case DAG_SAVE: case DAG_LOCAL: case DAG_PARAM:
        return {2, 2};
    case DAG_LIST: case DAG_SET:
        return {2, 3};
    case DAG_TABLE:
        return {4, 4};
    case DAG_INTNEG: case DAG_INTPOS:
        return {2, DAG_MAX_LENGTH};
    case DAG_NAME:
        return {2, DAG_MAX_LENGTH};
    case DAG_SERIES:
        return {2, DAG_MAX_LENGTH};
    default:
        return {1, DAG_MAX_LENGTH};
    }
}

struct OldReader {
    explicit OldReader(KWorksheetReader& r) : reader(r) {}
    KWorksheetReader& reader;
    long wordsRead = 0;
    std::unordered_map<long, Dag> registered;
    int depth = 0;

    bool getChar(char& c) { return reader.readChar(c, true); }

    // The run of 0-9 and A-F as a hexadecimal number; false when there is none or it is too
    // long for a word count.
    bool readHex(unsigned long& value) {
        value = 0;
        int digits = 0;
        bool tooLong = false;
        char c;
        while (getChar(c)) {
            int d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else {
                reader.pushBack(c);
                break;
            }
            if (++digits > 8) tooLong = true;
            else value = value * 16 + unsigned(d);
        }
        return digits > 0 && !tooLong;
    }

    // Four characters as "%4d"; the end of input counts as a character that is no digit.
    bool readFourDigits(long& value) {
        char text[4];
        for (char& t : text) {
            if (!getChar(t)) t = char(0xFF);
        }
        int i = 0;
        while (i < 4 && text[i] == ' ') ++i;
        bool negative = false;
        if (i < 4 && (text[i] == '-' || text[i] == '+')) {
            negative = text[i] == '-';
            ++i;
        }
        if (i >= 4 || text[i] < '0' || text[i] > '9') return false;
        long v = 0;
        while (i < 4 && text[i] >= '0' && text[i] <= '9') v = v * 10 + (text[i++] - '0');
        value = negative ? -v : v;
        return true;
    }

    // One node into `out` (null for an empty slot); false when malformed.
    bool node(Dag& out) {
        out = nullptr;
        char c;
        if (!getChar(c)) return false;
        if (c == '\\') return true;
        if (c == 'p') {
            unsigned long n;
            if (!readHex(n)) return false;
            auto it = registered.find(long(n) + 1);
            if (it == registered.end()) return false;
            out = it->second;
            return true;
        }
        unsigned type = typeOfChar(c);
        if (type == 0) return false;
        unsigned long length;
        if (!readHex(length)) return false;
        LengthRule rule = lengthRule(type);
        if (length < rule.min || length > rule.max) return false;
        if (type == DAG_HASH || type == DAG_HASHTAB) return false;
        if (depth >= OLD_EXPRESSION_MAX_DEPTH) return false;
        ++depth;
        long number = ++wordsRead;   // the header's word
        Dag built = nullptr;
        bool ok = body(type, length, built);
        --depth;
        if (!ok) return false;
        registered[number] = built;
        out = built;
        return true;
    }

    bool integerNode(unsigned type, std::size_t length, Dag& out) {
        char separator;
        if (!getChar(separator)) return false;
        std::vector<long> words(length - 1);
        for (std::size_t i = length - 1; i >= 1; --i) {
            long v;
            if (!readFourDigits(v)) return false;
            ++wordsRead;
            words[i - 1] = v;
        }
        if (type == DAG_LOCAL || type == DAG_PARAM) {
            out = dag_new(2, type);
            out[1] = static_cast<DagWord>(words[0]);
            return true;
        }
        // Base-10000 digits, most significant first in the file; rebuilt through the decimal
        // text so that the integer has no leading zero digit and zero is never negative.
        std::string decimal;
        for (std::size_t i = words.size(); i-- > 0;) {
            if (words[i] < 0 || words[i] > 9999) return false;
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, decimal.empty() ? "%ld" : "%04ld", words[i]);
            if (!(decimal.empty() && words[i] == 0)) decimal += buffer;
        }
        if (decimal.empty()) decimal.push_back('0');
        std::string text;
        text.reserve(decimal.size() + 1);
        if (type == DAG_INTNEG && decimal != "0") text.push_back('-');
        text += decimal;
        out = dag_integer_from_text(text);
        return out != nullptr;
    }

    bool nameNode(std::size_t length, Dag& out) {
        Dag value;   // read to stay in step; see the header for why it is dropped
        if (!node(value)) return false;
        wordsRead += long(length) - 2;
        char delimiter;
        if (!getChar(delimiter)) return false;
        std::size_t room = (length - 2) * 4;
        std::string text;
        char c;
        while (text.size() < room && getChar(c)) {
            if (c == delimiter) break;
            if (c == '~') {
                char e;
                if (!getChar(e)) return false;
                if (e == '(') c = '{';
                else if (e == ')') c = '}';
                else if (e == '~') c = '~';
                else c = char(static_cast<unsigned char>(e) - 64);
            }
            text.push_back(c);
        }
        if (text.find('\0') != std::string::npos) return false;
        out = dag_name(text.c_str());
        return out != nullptr;
    }

    bool body(unsigned type, std::size_t length, Dag& out) {
        switch (type) {
        case DAG_INTNEG: case DAG_INTPOS: case DAG_LOCAL: case DAG_PARAM:
            return integerNode(type, length, out);
        case DAG_NAME:
            return nameNode(length, out);
        default:
            break;
        }
        std::vector<DagWord> words;
        if (type == DAG_SERIES) {
            Dag expansion;
            if (!node(expansion)) return false;
            words.push_back(reinterpret_cast<DagWord>(expansion));
            if ((length - 2) % 2 != 0) return false;
            for (std::size_t k = 0; k < (length - 2) / 2; ++k) {
                Dag coefficient;
                if (!node(coefficient)) return false;
                char separator;
                if (!getChar(separator)) return false;
                unsigned long exponent;
                if (!readHex(exponent)) return false;
                ++wordsRead;
                words.push_back(reinterpret_cast<DagWord>(coefficient));
                words.push_back(static_cast<DagWord>(exponent));
            }
        } else {
            for (std::size_t i = 1; i < length; ++i) {
                Dag child;
                if (!node(child)) return false;
                words.push_back(reinterpret_cast<DagWord>(child));
            }
        }
        if (type == DAG_LIST || type == DAG_SET) {
            // The element sequence is always an expression sequence.
            const DagWord* items = reinterpret_cast<const DagWord*>(words[0]);
            if (!items || dag_type(items) != DAG_EXPSEQ) return false;
        }
        std::size_t total = words.size() + 1;
        if (type == DAG_PROC && total < 9) total = 9;   // missing slots stay empty
        out = dag_new(total, type);
        for (std::size_t i = 0; i < words.size(); ++i) out[i + 1] = words[i];
        return true;
    }
};

}  // namespace

Dag old_expression_read(KWorksheetReader& reader) {
    OldReader old(reader);
    Dag result = nullptr;
    try {
        TovuHandlerGuard guard;
        if (!old.node(result)) return nullptr;
    } catch (const TovuError&) {
        return nullptr;
    }
    return result;
}
