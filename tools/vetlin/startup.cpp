// Start-up of the checker (see startup.h).
#include "tools/vetlin/startup.h"

#include <cctype>
#include <climits>
#include <cstdlib>

#include "tools/console/options.h"
#include "tools/vetlin/input.h"
#include "tools/vetlin/procdb.h"
#include "tools/vetlin/run.h"

namespace {

constexpr const char* kOptions = "a:b:d:gi:lno:pqsSxt:";
constexpr const char* kStartupFile = "VETLIN.INI";

void message(const char* format, const char* file) {
    std::fprintf(vl.err, format, vl.program.c_str(), file);
    std::fflush(vl.err);
}

void replace_file(std::FILE*& owned, std::FILE* file) {
    if (owned != nullptr) std::fclose(owned);
    owned = file;
}

}  // namespace

const char* const startup_usage_text =
    "Usage: vetlin [options] [files]\n"
    "Options:\n"
    "-i level        info level (0 to 3)\n"
    "-l              suppress library source type warnings\n"
    "-q              suppress Kelvo logo\n"
    "-s              do not read Vetlin startup file\n"
    "-S              check syntax only\n"
    "-x              display cross reference information\n"
    "-a database     append proc definitions to database\n"
    "-b library      use the library in the specified directory\n"
    "-d database     use the specified library database\n"
    "-t error        turn off the specified error number\n"
    "-o outfile      redirect output to specified file\n";

void startup_usage() {
    std::fputs(startup_usage_text, vl.err);
    std::fflush(vl.err);
    vl_exit(127);
}

std::string startup_library_directory() {
    const char* kelvo = std::getenv("KELVO");
    return std::string(kelvo != nullptr ? kelvo : "/kelvov2/lib") + "/lib";
}

bool startup_parse_options(int argc, const char* const* argv) {
    option_reset();
    for (int letter; (letter = option_next_checked(argc, argv, kOptions)) != -1;) {
        const char* arg = optionArgument;
        switch (letter) {
        case 'a': {
            std::FILE* f = std::fopen(arg, "ae");
            if (f == nullptr) {
                message("%s: cannot append to %s\n", arg);
                return false;
            }
            replace_file(vl.appendDatabase, f);
            break;
        }
        case 'b':
            vl.libraryDirectory = arg;
            break;
        case 'd': {
            std::FILE* f = input_open(arg);
            if (f == nullptr) {
                message("%s: cannot read %s\n", arg);
                return false;
            }
            procdb_load(f);
            std::fclose(f);
            vl.databaseLoaded = true;
            break;
        }
        case 'g':
            break;
        case 'i': {
            const long level = startup_unsigned(arg);
            if (level < 0) startup_usage();
            vl.infoLevel = vl.syntaxOnly ? 0 : int(level > 4 ? 4 : level);
            break;
        }
        case 'l':
            vl.suppressLibraryWarnings = true;
            break;
        case 'n':
            vl.impliedDo = true;
            break;
        case 'o': {
            std::FILE* f = std::fopen(arg, "we");
            if (f == nullptr) {
                message("%s: cannot write to %s\n", arg);
                return false;
            }
            replace_file(vl.reportFile, f);
            vl.report = f;
            break;
        }
        case 'p':
            vl.allPackages = true;
            break;
        case 'q':
            vl.noLogo = true;
            break;
        case 's':
            vl.skipStartupFile = true;
            break;
        case 'S':
            for (bool& off : vl.turnedOff) off = true;
            vl.syntaxOnly = true;
            vl.infoLevel = 0;
            break;
        case 't': {
            const long n = startup_unsigned(arg);
            if (n < 0 || n >= VL_ERRORS) startup_usage();
            vl.turnedOff[n] = !vl.turnedOff[n];
            vl.forced[n] = !vl.forced[n];
            break;
        }
        case 'x':
            vl.crossReference = true;
            break;
        default:   // an unknown letter or a missing argument
            startup_usage();
        }
    }
    if (argc - optionIndex > 1) startup_usage();
    if (argc - optionIndex == 1) {
        const char* file = argv[optionIndex];
        vl.fileName = file;
        vl.path = file;
        if (!input_push(file)) {
            message("%s: cannot read %s\n", file);
            return false;
        }
    }
    return true;
}

bool startup_read_words(std::FILE* file, bool stopAtNewline, const char* program,
                        std::vector<std::string>& words) {
    words.assign(1, program);
    std::string word;
    bool inWord = false;
    bool tooMany = false;
    auto finish = [&] {
        if (!inWord) return;
        if (words.size() - 1 >= VL_STARTUP_WORDS) tooMany = true;
        else words.push_back(word);
        word.clear();
        inWord = false;
    };
    for (int c; (c = std::getc(file)) != EOF;) {
        if (stopAtNewline && c == '\n') break;
        if (std::isspace(c)) {
            finish();
            continue;
        }
        inWord = true;
        if (word.size() < VL_STARTUP_WORD) word.push_back(char(c));
    }
    finish();
    return !tooMany;
}

void startup_routine_name(std::string& path, const std::string& libraryDirectory) {
    if (path.empty()) return;
    if (path.compare(0, 2, "./") == 0)
        startup_remove_prefix(path, 2);
    else if (!libraryDirectory.empty() && path.compare(0, libraryDirectory.size(), libraryDirectory) == 0)
        startup_remove_prefix(path, libraryDirectory.size());
    if (path.compare(0, 4, "src/") == 0) startup_remove_prefix(path, 4);
    const long inner = startup_find(path, "/src/");
    if (inner >= 0) path.erase(std::size_t(inner), 4);
    if (path.compare(0, 1, "/") == 0) startup_remove_prefix(path, 1);
}

bool startup_run(int argc, const char* const* argv) {
    if (argc > 0 && argv[0] != nullptr) vl.program = argv[0];
    vl.libraryDirectory = startup_library_directory();
    if (!startup_parse_options(argc, argv)) return false;
    if (!vl.skipStartupFile) {
        if (std::FILE* f = input_open(kStartupFile)) {
            std::vector<std::string> words;
            const bool fits = startup_read_words(f, false, vl.program.c_str(), words);
            std::fclose(f);
            if (!fits) {
                std::fprintf(vl.err, "%s: more than %zu words in %s\n", vl.program.c_str(),
                             VL_STARTUP_WORDS, kStartupFile);
                std::fflush(vl.err);
                return false;
            }
            std::vector<const char*> vector;
            for (const std::string& w : words) vector.push_back(w.c_str());
            vector.push_back(nullptr);
            if (!startup_parse_options(int(words.size()), vector.data())) return false;
        }
    }
    startup_routine_name(vl.path, vl.libraryDirectory);
    vl.fileNameObject = store_name(vl.fileName.c_str());
    return true;
}

long startup_unsigned(const char* text) {
    if (text == nullptr || *text == '\0') return -1;
    long value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return -1;
        const int digit = *p - '0';
        value = value > (LONG_MAX - digit) / 10 ? LONG_MAX : value * 10 + digit;
    }
    return value;
}

void startup_remove_prefix(std::string& text, std::size_t n) {
    if (n >= text.size()) text.clear();
    else text.erase(0, n);
}

long startup_find(const std::string& text, const std::string& part) {
    if (part.empty()) return 0;
    const std::size_t at = text.find(part);
    return at == std::string::npos ? -1 : long(at);
}

VObj startup_pop(VObj sequence) {
    const long length = vl_length(sequence);
    if (length <= 1) {
        std::fputs("Trying to pop an empty stack\n", vl.report);
        return vl.null;
    }
    VObj last = vl_op(sequence, length - 1);
    store_truncate(sequence, length, length - 1);
    return last;
}

VObj startup_append(VObj sequence, const VWord* item) { return store_append1(sequence, item); }
