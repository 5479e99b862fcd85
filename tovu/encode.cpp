// The DAG text encoding (writer and reader) and the byte packer with its unpacker.
//
// Node types and their characters (a second character marks the variant with attributes):
//
// | char  | type            | body                                                        |
// |-------|-----------------|-------------------------------------------------------------|
// | ! "   | INTNEG INTPOS   | digit count (short), digits                                 |
// | Q     | STRING          | text, attributes node                                       |
// | % I   | NAME            | text, value node (G inside expressions); I: + attributes    |
// | # ( ) ' / 0 1 2 3 5 ; > | two nodes (RATIONAL ... ASSIGN)                  |
// | $ H & J - K | FLOAT TABLEREF FUNCTION | 2 nodes, or 3 with attributes              |
// | . 4 A B N | UNEVAL NOT READ SAVE CONTROL | 1 node                                 |
// | * , 6 ? @ C P | PROD SUM EXPSEQ FOR IF STATSEQ DEBUG | length, length - 1 nodes    |
// | +     | SERIES          | length, expansion, (coefficient, exponent integer) pairs    |
// | 7 L < M | LIST SET      | EXPSEQ length, items, [attributes]                          |
// | 8 9 T | LOCAL PARAM LEXICAL | index (short; see readIndex)                           |
// | R     | PROC            | 8 nodes [+ built-in NAME when the options hold builtin]     |
// | =     | TABLE           | 3 nodes                                                     |
// | W     | HFARRAY         | length, count and bounds (shorts), count doubles            |
// | E     | HASHTAB         | length, pair count, key and value nodes                     |
// | D O   | STOP PROMPT     | nothing                                                     |
// | F     | back reference  | node number (short)                                         |
// | G     | null pointer    | nothing                                                     |
//
// Older forms read but never written: ":" PROC of 7 nodes, "S" LEXICAL as index + 2, "U" LOCAL
// and "V" PARAM written like T.
//
// The reader takes its text from pipes and files: every length and count is checked against
// its limit, nodes are built only from what the input really holds (never from an announced
// count), back references reach only complete nodes (so no cycle can be read), nesting is
// capped (kMaxNesting) so that the C stack cannot overflow, and every failure goes to the error
// callback with a null result.

#include "tovu/encode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "tovu/errors.h"
#include "tovu/sinks.h"
#include "tovu/storage.h"

namespace {

// Deepest nesting of nodes the reader and the writer follow.  Each level costs two small
// frames; 10000 levels stay far inside an 8 MB stack even with sanitizer frames.
constexpr int kMaxNesting = 10000;
// The longest integer whose digits fit one DAG (131070 base-10000 digits).
constexpr long kMaxDigits = long(DAG_MAX_LENGTH - 1) * 4;
// The longest text that fits a NAME or STRING DAG.
constexpr long kMaxText = long(DAG_MAX_LENGTH - 3) * long(sizeof(DagWord)) - 1;
// Short integers carry at most 15 groups of 4 bits (60 bits).
constexpr int kMaxShortGroups = 15;

// Writer character of each type code (0: not written).
constexpr char kTypeChar[DAG_TYPE_COUNT + 1] = {
    0,   '!', '"', '#', '$', 'Q', '%', '&', '\'', '(', ')', '*', '+', ',', '-', '.', '/',
    '0', '1', '2', '3', '4', '5', '6', '7', '8',  '9', 'T', 'R', ';', '<', '=', 'W', '>',
    '?', '@', 'A', 'B', 'C', 'D', 0,   'E', 0,    0,   'N', 'O', 'P',
};

// Types written as a fixed number of nodes and nothing else.
int fixedNodes(unsigned type) {
    switch (type) {
    case DAG_RATIONAL: case DAG_FLOAT: case DAG_TABLEREF: case DAG_DCOLON: case DAG_CATENATE:
    case DAG_POWER: case DAG_FUNCTION: case DAG_EQUATION: case DAG_INEQUAT: case DAG_LESSEQ:
    case DAG_LESSTHAN: case DAG_AND: case DAG_OR: case DAG_RANGE: case DAG_ASSIGN:
        return 2;
    case DAG_UNEVAL: case DAG_NOT: case DAG_READ: case DAG_SAVE: case DAG_CONTROL:
        return 1;
    case DAG_TABLE:
        return 3;
    case DAG_STOP: case DAG_PROMPT:
        return 0;
    default:
        return -1;
    }
}

bool isSequence(unsigned type) {
    switch (type) {
    case DAG_PROD: case DAG_SUM: case DAG_EXPSEQ: case DAG_FOR: case DAG_IF: case DAG_STATSEQ:
    case DAG_DEBUG:
        return true;
    default:
        return false;
    }
}

// True when a PROC's options word is an expression sequence holding the name builtin.
bool procIsBuiltin(const DagWord* proc) {
    Dag options = dag_op(proc, 3);
    if (!options || dag_type(options) != DAG_EXPSEQ) return false;
    for (std::size_t i = 1; i < dag_length(options); ++i)
        if (dag_op(options, i) == dag_builtins[BUILTIN_BUILTIN]) return true;
    return false;
}

std::string formatMessage(const char* format, long a) {
    char text[96];
    std::snprintf(text, sizeof text, format, a);
    return text;
}

// Raised out of line so that the recursive writer and reader keep small stack frames.
[[noreturn, gnu::noinline]] void failWith(const char* format, long a) { tovu_error(formatMessage(format, a).c_str()); }

// Counters kept between calls for callers that continue one stream (DAG_CONTINUE_COUNT).
long writerNodes = 0;
long readerNodes = 0;
long readerChars = 0;

// The writer's back references: node address -> node number (numbers start at 1; 0 means
// none).  The first number given to an address stays: a node written again at the top of a
// later call (DAG_KEEP_BACKREFS) keeps its old one.
//
// The writer visits nodes roughly in the order they lie in memory (areas hand out blocks one
// after the other), so the numbers are kept by address page: each 4 KB page of DAG words has
// an array of 512 32-bit slots, found through a small hash of page ids and cached for the next
// look-up.  One big hash table keyed by address instead cost two cache misses a node and made
// the writer several times slower on large DAGs.
//
// Slot values: 0 none, kWide the number is in wide_ (numbers from 2^32 - 1 on, only reached by
// very long DAG_CONTINUE_COUNT streams), anything else the number.  DAG words are 8-byte
// aligned; a node at any other address goes to odd_.
class AddressNumbers {
public:
    long find(const DagWord* d) {
        if (misaligned(d)) return lookUp(odd_, d);
        std::uint32_t* slot = slotOf(d, false);
        if (!slot) return 0;
        return *slot == kWide ? lookUp(wide_, d) : long(*slot);
    }
    void insert(const DagWord* d, long number) {
        if (misaligned(d)) {
            odd_.emplace(d, number);
            return;
        }
        std::uint32_t* slot = slotOf(d, true);
        if (*slot != 0) return;
        if (number >= long(kWide)) {
            *slot = kWide;
            wide_.emplace(d, number);
        } else {
            *slot = static_cast<std::uint32_t>(number);
        }
    }
    // Zeroes the pages used.  Slabs beyond those the call used are given back, so a large
    // DAG written again and again does not fault its table in every time, while one written
    // once leaves its memory only until the next, smaller call.
    void clear() {
        for (std::size_t k = 0; k < pagesUsed_; k += kSlabPages)
            std::fill_n(slabs_[k / kSlabPages].get(), std::min(kSlabPages, pagesUsed_ - k) * kPageSlots, 0u);
        std::size_t keep = std::max(kKeptSlabs, (pagesUsed_ + kSlabPages - 1) / kSlabPages);
        if (slabs_.size() > keep) slabs_.resize(keep);
        pagesUsed_ = 0;
        pages_.clear();
        index_.clear();
        bits_ = 0;
        last_ = nullptr;
        odd_.clear();
        wide_.clear();
    }

private:
    static constexpr int kPageShift = 12;
    static constexpr std::size_t kPageSlots = std::size_t(1) << (kPageShift - 3);
    static constexpr std::uint32_t kWide = 0xFFFFFFFFu;
    // Pages come from zeroed slabs of 32 (64 KB, below the heap's mmap threshold), so that a
    // large DAG costs few heap calls; a few are always kept for the small DAGs of the pipes.
    static constexpr std::size_t kSlabPages = 32;
    static constexpr std::size_t kKeptSlabs = 2;

    struct Page {
        std::uintptr_t id;
        std::uint32_t* slots;
    };
    using Map = std::unordered_map<const DagWord*, long>;

    static bool misaligned(const DagWord* d) { return (reinterpret_cast<std::uintptr_t>(d) & 7u) != 0; }
    static long lookUp(const Map& map, const DagWord* d) {
        auto it = map.find(d);
        return it == map.end() ? 0 : it->second;
    }

    std::uint32_t* slotOf(const DagWord* d, bool create) {
        auto address = reinterpret_cast<std::uintptr_t>(d);
        std::uintptr_t id = address >> kPageShift;
        if (!last_ || id != lastId_) {
            std::uint32_t* slots = findPage(id, create);
            if (!slots) return nullptr;
            lastId_ = id;
            last_ = slots;
        }
        return last_ + ((address >> 3) & (kPageSlots - 1));
    }
    std::uint32_t* findPage(std::uintptr_t id, bool create) {
        if (!index_.empty()) {
            for (std::size_t i = hashOf(id); index_[i] != 0; i = (i + 1) & (index_.size() - 1))
                if (pages_[index_[i] - 1].id == id) return pages_[index_[i] - 1].slots;
        }
        if (!create) return nullptr;
        if (2 * (pages_.size() + 1) > index_.size()) regrow();
        std::size_t k = pagesUsed_++;
        if (k / kSlabPages == slabs_.size()) slabs_.emplace_back(new std::uint32_t[kSlabPages * kPageSlots]());
        std::uint32_t* slots = slabs_[k / kSlabPages].get() + (k % kSlabPages) * kPageSlots;
        pages_.push_back({id, slots});
        place(pages_.size());
        return slots;
    }
    std::size_t hashOf(std::uintptr_t id) const {
        return static_cast<std::size_t>((id * std::uint64_t(0x9E3779B97F4A7C15)) >> (64 - bits_));
    }
    // Enters page k (1-based) into the index.
    void place(std::size_t k) {
        std::size_t i = hashOf(pages_[k - 1].id);
        while (index_[i] != 0) i = (i + 1) & (index_.size() - 1);
        index_[i] = k;
    }
    void regrow() {
        bits_ = index_.empty() ? 6 : bits_ + 1;
        index_.assign(std::size_t(1) << bits_, 0);
        for (std::size_t k = 1; k <= pages_.size(); ++k) place(k);
    }

    std::vector<Page> pages_;
    std::vector<std::size_t> index_;   // open addressing: 0 empty, else page index + 1
    int bits_ = 0;
    std::uintptr_t lastId_ = 0;
    std::uint32_t* last_ = nullptr;   // slots of page lastId_
    std::vector<std::unique_ptr<std::uint32_t[]>> slabs_;   // every page, kSlabPages a slab
    std::size_t pagesUsed_ = 0;
    Map odd_;
    Map wide_;
};

// The reader's back references: node number -> node, for complete nodes only.  Numbers are
// handed out one by one, so slots indexed from the first number of the table hold them; they
// sit in pages of kPageSlots that never move, so a table growing with a large DAG copies
// nothing.  As in the writer, the first node given a number stays (a later call without
// DAG_CONTINUE_COUNT numbers from 1 again), and the pages a call used are zeroed and kept when
// the table is cleared, so a large DAG read again and again does not fault its table in every
// time; the next smaller call gives back what it did not use.
class NumberedNodes {
public:
    Dag find(long number) const {
        if (number < base_) return nullptr;
        auto i = static_cast<std::size_t>(number - base_);
        if (i >= used_) return nullptr;
        return pages_[i >> kPageShift][i & (kPageSlots - 1)];
    }
    void enter(long number, Dag d) {
        if (number < base_) rebase(number);   // numbering started again below the table
        auto i = static_cast<std::size_t>(number - base_);
        if ((i >> kPageShift) >= pages_.size()) addPages(i >> kPageShift);
        Dag& slot = pages_[i >> kPageShift][i & (kPageSlots - 1)];
        if (!slot) slot = d;
        if (i >= used_) used_ = i + 1;
    }
    // Empties the table; the next number to be read becomes its first.
    void clear(long next) {
        std::size_t pagesUsed = (used_ + kPageSlots - 1) >> kPageShift;
        for (std::size_t p = 0; p < pagesUsed; ++p)
            std::fill_n(pages_[p].get(), std::min(kPageSlots, used_ - (p << kPageShift)), nullptr);
        std::size_t keep = std::max(kKeptPages, pagesUsed);
        if (pages_.size() > keep) pages_.resize(keep);
        used_ = 0;
        base_ = next;
    }

private:
    static constexpr int kPageShift = 12;
    static constexpr std::size_t kPageSlots = std::size_t(1) << kPageShift;   // 32 KB
    static constexpr std::size_t kKeptPages = 1;

    // Out of line, as the rest of the reader's rare steps, to keep the recursive frames small.
    [[gnu::noinline]] void addPages(std::size_t last) {
        while (pages_.size() <= last) pages_.push_back(std::make_unique<Dag[]>(kPageSlots));   // zeroed
    }
    // Moves the table's first number down to `number`, keeping every entry under its number.
    [[gnu::noinline]] void rebase(long number) {
        std::vector<std::pair<long, Dag>> entries;
        for (std::size_t i = 0; i < used_; ++i)
            if (Dag d = pages_[i >> kPageShift][i & (kPageSlots - 1)]) entries.emplace_back(base_ + long(i), d);
        clear(number);
        for (const auto& [n, d] : entries) enter(n, d);
    }

    std::vector<std::unique_ptr<Dag[]>> pages_;
    std::size_t used_ = 0;   // slots from the first up to the last one entered
    long base_ = 1;
};

// Both directions share one lifetime, as they share one table in the expression library: a
// call without DAG_KEEP_BACKREFS empties both, before and after it.  The nodes they name live in
// storage areas; once any area has freed blocks (storage_reset, storage_delete, storage_free)
// those nodes may be gone and a new node may sit at a freed one's address, so the references
// end with the storage generation they were made in.  Noting an address instead (of a table,
// say) is not enough: the allocator hands freed addresses out again.
struct BackReferences {
    std::uint64_t generation = 0;   // storage_generation() when these were last valid
    AddressNumbers written;
    NumberedNodes read;

    void clear() {
        written.clear();
        read.clear(readerNodes + 1);
    }
    // Called at the start of every write and read, after the counters are set.
    void begin(bool keep) {
        if (generation != storage_generation() || !keep) {
            generation = storage_generation();
            clear();
        }
    }
};
BackReferences backRefs;

class DepthGuard {
public:
    explicit DepthGuard(int& depth) : depth_(depth) {
        if (depth_ >= kMaxNesting) tovu_error("nesting too deep");
        ++depth_;
    }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    int& depth_;
};

// ---- writer -----------------------------------------------------------------------------------

void stdoutSink(void*, int ch) { std::putchar(ch); }
void stderrErrorSink(void*, const char* message) { std::fprintf(stderr, "Output Error: %s\n", message); }

class Writer {
public:
    Writer(DagSink sink, int lineWidth, unsigned flags, void* data)
        : sink_(sink), data_(data), lineWidth_(lineWidth), flags_(flags),
          text_(sink == sink_append_string ? static_cast<std::string*>(data) : nullptr) {}

    void node(const DagWord* d, bool top);

private:
    void put(int ch) {
        if (lineWidth_ > 0 && column_ >= lineWidth_) {
            emit('\n');
            column_ = 0;
        }
        emit(ch);
        ++column_;
    }
    // Text written for dag_to_text goes straight into its string; any other sink gets every
    // character through its callback, as it comes.
    void emit(int ch) {
        if (text_) text_->push_back(static_cast<char>(ch));
        else sink_(data_, ch);
    }
    // The type characters of node(): put out of line there, so that the recursive frames stay
    // small whatever the compiler inlines (a frame of the sanitizer build is several times as
    // large with put inlined at each of them).
    [[gnu::noinline]] void putMark(int ch) { put(ch); }
    void putShort(long v);
    [[gnu::noinline]] void putInteger(const DagWord* d);
    [[gnu::noinline]] void putText(const char* text);
    [[gnu::noinline]] void putDouble(double v);
    void need(const DagWord* d, std::size_t words) {
        if (dag_length(d) < words) failWith("invalid DAG length: %ld", long(dag_length(d)));
    }

    DagSink sink_;
    void* data_;
    int lineWidth_;
    unsigned flags_;
    int column_ = 0;
    int depth_ = 0;
    std::string* text_;                   // the string of sink_append_string, or null
    std::vector<unsigned char> digits_;   // putInteger's digits, kept to spare allocations
};

void Writer::putShort(long v) {
    unsigned long m = static_cast<unsigned long>(v);
    if (v < 0) {
        put('~');
        m = 0ul - m;
    }
    if (m <= 57) {
        put(static_cast<int>(33 + m));
        return;
    }
    while (m >= 16) {
        put(static_cast<int>(91 + (m & 15)));
        m >>= 4;
    }
    put(static_cast<int>(107 + m));
}

// Decimal digits from the least significant, paired into one character when the pair's value
// is below 80.  The digits are those of dag_integer_to_text: four for each lower base-10000
// word (taken modulo 10000), then every digit of the top word as it stands.
void Writer::putInteger(const DagWord* d) {
    std::size_t words = dag_length(d) - 1;
    DagWord top = d[words];
    std::size_t topDigits = 1;
    for (DagWord t = top; t >= 10; t /= 10) ++topDigits;
    std::size_t n = 4 * (words - 1) + topDigits;
    digits_.resize(n);
    unsigned char* out = digits_.data();
    for (std::size_t w = 1; w < words; ++w) {
        auto v = static_cast<unsigned>(d[w] % 10000);
        out[0] = static_cast<unsigned char>(v % 10);
        out[1] = static_cast<unsigned char>(v / 10 % 10);
        out[2] = static_cast<unsigned char>(v / 100 % 10);
        out[3] = static_cast<unsigned char>(v / 1000);
        out += 4;
    }
    for (std::size_t k = 0; k < topDigits; ++k, top /= 10) *out++ = static_cast<unsigned char>(top % 10);
    putShort(static_cast<long>(n));
    std::size_t i = 0;
    while (i < n) {
        int x = digits_[i];
        if (i + 1 < n) {
            int y = digits_[i + 1];
            if (10 * y + x < 80) {
                put(43 + 10 * y + x);
                i += 2;
                continue;
            }
        }
        put(33 + x);
        ++i;
    }
}

void Writer::putText(const char* text) {
    std::size_t n = std::strlen(text);
    putShort(static_cast<long>(n));
    for (std::size_t i = 0; i < n; ++i) {
        int c = static_cast<unsigned char>(text[i]);
        if (c >= '!' && c <= 'z') {
            put(c);
        } else if (c == ' ') {
            put('~');
        } else {
            put('|');
            putShort(c);
        }
    }
}

void Writer::putDouble(double v) {
    static const char kHex[] = "0123456789ABCDEF";
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int shift = 60; shift >= 0; shift -= 4) put(kHex[(bits >> shift) & 15]);
}

void Writer::node(const DagWord* d, bool top) {
    if (!d) {
        putMark('G');
        return;
    }
    if (!top) {
        if (long number = backRefs.written.find(d)) {
            putMark('F');
            putShort(number);
            return;
        }
    }
    DepthGuard depth(depth_);
    unsigned type = dag_type(d);
    std::size_t length = dag_length(d);
    if (type == 0 || type > DAG_TYPE_COUNT || kTypeChar[type] == 0)
        failWith("unexpected DAG type: %ld", long(type));
    backRefs.written.insert(d, ++writerNodes);

    switch (type) {
    case DAG_INTPOS:
    case DAG_INTNEG:
        need(d, 2);
        putMark(kTypeChar[type]);
        putInteger(d);
        return;
    case DAG_NAME:
        need(d, 4);
        putMark(top ? 'I' : '%');
        putText(dag_text(d));
        if (!top) {
            putMark('G');
            return;
        }
        node((flags_ & DAG_WRITE_NO_VALUES) ? nullptr : dag_op(d, 1), false);
        node(dag_op(d, 2), false);
        return;
    case DAG_STRING:
        need(d, 4);
        putMark('Q');
        putText(dag_text(d));
        node(dag_op(d, 2), false);
        return;
    case DAG_LIST:
    case DAG_SET: {
        need(d, 2);
        Dag items = dag_op(d, 1);
        if (!items || dag_type(items) != DAG_EXPSEQ)
            failWith("unexpected DAG type: %ld", items ? long(dag_type(items)) : 0L);
        bool attributes = length != 2;
        putMark(type == DAG_LIST ? (attributes ? 'L' : '7') : (attributes ? 'M' : '<'));
        putShort(static_cast<long>(dag_length(items)));
        for (std::size_t i = 1; i < dag_length(items); ++i) node(dag_op(items, i), false);
        if (attributes) node(dag_op(d, 2), false);
        return;
    }
    case DAG_SERIES:
        if (length < 2 || length % 2 != 0) failWith("invalid DAG length: %ld", long(length));
        putMark('+');
        putShort(static_cast<long>(length));
        node(dag_op(d, 1), false);
        for (std::size_t i = 2; i < length; i += 2) {
            node(dag_op(d, i), false);
            node(dag_of_int(static_cast<long>(dag_word(d, i + 1))), false);
        }
        return;
    case DAG_LOCAL:
    case DAG_PARAM:
        need(d, 2);
        putMark(kTypeChar[type]);
        putShort(dag_word(d, 1) + 2);
        return;
    case DAG_LEXICAL: {
        need(d, 2);
        long index = dag_word(d, 1);
        putMark('T');
        putShort(index >= 0 ? 2 * index : -2 * index + 1);
        return;
    }
    case DAG_PROC: {
        need(d, 9);
        putMark('R');
        for (std::size_t i = 1; i <= 8; ++i) node(dag_op(d, i), false);
        if (procIsBuiltin(d)) {
            int index = BUILTIN_FAIL;
            Dag number = dag_op(d, 5);
            if (number && dag_type(number) == DAG_INTPOS && dag_length(number) == 2 && number[1] >= 53 &&
                number[1] <= 216)
                index = static_cast<int>(number[1]);
            node(dag_builtins[index], false);
        }
        return;
    }
    case DAG_HFARRAY: {
        need(d, 3);
        putMark('W');
        putShort(static_cast<long>(length));
        for (std::size_t i = 2; i < length; ++i) putShort(dag_word(d, i));
        std::size_t count = d[2];
        const double* data = hfarray_data(d);
        if (count && !data) tovu_error("hfarray without data");
        for (std::size_t i = 0; i < count; ++i) putDouble(data[i]);
        return;
    }
    case DAG_HASHTAB: {
        putMark('E');
        putShort(static_cast<long>(length));
        putShort(static_cast<long>(hash_count(const_cast<Dag>(d))));
        for (std::size_t b = 1; b < length; ++b) {
            Dag bucket = dag_op(d, b);
            if (!bucket) continue;
            for (std::size_t i = 1; i + 1 < dag_length(bucket) && bucket[i] != 0; i += 2) {
                node(dag_op(bucket, i), false);
                node(dag_op(bucket, i + 1), false);
            }
        }
        return;
    }
    default:
        break;
    }

    if (isSequence(type)) {
        putMark(kTypeChar[type]);
        putShort(static_cast<long>(length));
        for (std::size_t i = 1; i < length; ++i) node(dag_op(d, i), false);
        return;
    }
    int nodes = fixedNodes(type);
    if ((type == DAG_FLOAT || type == DAG_TABLEREF || type == DAG_FUNCTION) && length != 3) {
        putMark(type == DAG_FLOAT ? 'H' : type == DAG_TABLEREF ? 'J' : 'K');
        nodes = 3;
    } else {
        putMark(kTypeChar[type]);
    }
    need(d, static_cast<std::size_t>(nodes) + 1);
    for (int i = 1; i <= nodes; ++i) node(dag_op(d, static_cast<std::size_t>(i)), false);
}

// ---- reader -------------------------------------------------------------------------------------

struct ReadEnd {};   // the input ended inside a DAG

int stdinSource(void*) { return std::getchar(); }
void stderrEnd(void*, long count) { std::fprintf(stderr, "Input Error at %ld: %s\n", count, "unexpected end of input"); }
void stderrError(void*, long count, const char* message) {
    std::fprintf(stderr, "Input Error at %ld: %s\n", count, message);
}

// The reader's stack of finished children.  A push sits inside the reader's recursion, so it
// keeps no locals in memory and grows out of line: the frames of the recursion stay small.
class WordStack {
public:
    void push_back(DagWord w) {
        if (size_ == capacity_) grow();
        words_[size_++] = w;
    }
    DagWord back() const { return words_[size_ - 1]; }
    DagWord operator[](std::size_t i) const { return words_[i]; }
    std::size_t size() const { return size_; }
    void resize(std::size_t n) { size_ = std::min(n, size_); }   // drops words from the top

private:
    [[gnu::noinline]] void grow() {
        std::size_t capacity = std::max<std::size_t>(64, 2 * capacity_);
        auto words = std::make_unique_for_overwrite<DagWord[]>(capacity);
        if (size_) std::memcpy(words.get(), words_.get(), size_ * sizeof(DagWord));
        words_ = std::move(words);
        capacity_ = capacity;
    }

    std::unique_ptr<DagWord[]> words_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Nodes are built after their children have been read: the children wait on one scratch stack
// that grows only with the input actually read, so an announced length never decides an
// allocation.  A node is numbered when it starts (before its children) but can be referred to
// only once it is complete, so a back reference can never make a cycle through a container.
// NAME and STRING nodes are complete as soon as their text is interned; a name's value may refer
// to the name itself, which is harmless since nothing descends into a name's value.
//
// Characters come from a range in memory or from a callback.  Both go through one range
// [at_, end_): a text in memory is that range and the end of the range is the end of the input,
// read without a call per character; for a callback the range stays empty and every character is
// one call (more()), so a stream is never read beyond the DAG.  The count of characters taken,
// skipped ones and the end or NUL included, is the same either way.
class Reader {
public:
    Reader(DagSource source, void* data) : source_(source), data_(data) {}
    Reader(const unsigned char* begin, const unsigned char* end) : at_(begin), end_(end), start_(begin) {}
    Dag node();
    // Characters taken so far, counting the call that found the end.
    long taken() const { return static_cast<long>(at_ - start_) + calls_; }

private:
    // The next significant character; -1 and NUL end the input, every other character at or
    // below 32 or at or above 127 is skipped.
    int next() {
        for (;;) {
            int c = at_ != end_ ? *at_++ : more();
            if (c > 32 && c < 127) return c;
            if (c == -1 || c == 0) throw ReadEnd{};
        }
    }
    // A character from the callback, or -1 past the end of a text in memory.
    [[gnu::noinline]] int more() {
        ++calls_;
        return source_ ? source_(data_) : -1;
    }
    [[gnu::noinline]] long readShort();
    long readLength(long low, long high);
    [[gnu::noinline]] const std::string& readText();
    [[gnu::noinline]] double readDouble();
    [[gnu::noinline]] Dag readInteger(unsigned type);
    [[gnu::noinline]] Dag readHfarray();
    [[gnu::noinline]] Dag unexpected(int c);
    [[gnu::noinline]] Dag readName(bool top, long number);
    [[gnu::noinline]] Dag readString(long number);
    Dag readNodes(unsigned type, std::size_t words);
    [[gnu::noinline]] Dag readSequence(unsigned type);
    [[gnu::noinline]] Dag readList(unsigned type, bool attributes);
    [[gnu::noinline]] Dag readSeries();
    [[gnu::noinline]] Dag readProc(bool old);
    [[gnu::noinline]] Dag readHashtab();
    [[gnu::noinline]] Dag readIndex(unsigned type, int form);

    // Reads n nodes onto the scratch stack.
    void push(std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) scratch_.push_back(reinterpret_cast<DagWord>(node()));
    }
    // Builds a DAG of the given length whose operands are the scratch words from mark on.
    Dag build(unsigned type, std::size_t length, std::size_t mark) {
        Dag d = dag_new(length, type);
        for (std::size_t i = 1; i < length && mark + i - 1 < scratch_.size(); ++i) d[i] = scratch_[mark + i - 1];
        scratch_.resize(mark);
        return d;
    }
    static void enter(Dag d, long number) { backRefs.read.enter(number, d); }

    DagSource source_ = nullptr;
    void* data_ = nullptr;
    const unsigned char* at_ = nullptr;     // the rest of a text in memory
    const unsigned char* end_ = nullptr;
    const unsigned char* start_ = nullptr;
    long calls_ = 0;                        // calls of more()
    int depth_ = 0;
    WordStack scratch_;
    std::vector<DagWord> words_;   // readInteger's base-10000 words
    std::string text_;             // readText's text
};

long Reader::readShort() {
    int c = next();
    bool negative = c == '~';
    if (negative) c = next();
    long value;
    if (c >= 33 && c <= 90) {
        value = c - 33;
    } else {
        unsigned long m = 0;
        int shift = 0;
        for (int groups = 1;; ++groups) {
            if (groups > kMaxShortGroups) tovu_error("short integer out of range");
            if (c >= 91 && c <= 106) {
                m |= static_cast<unsigned long>(c - 91) << shift;
            } else if (c >= 107 && c <= 122) {
                m |= static_cast<unsigned long>(c - 107) << shift;
                break;
            } else {
                tovu_error("invalid character in short integer encoding");
            }
            shift += 4;
            c = next();
        }
        value = static_cast<long>(m);
    }
    return negative ? -value : value;
}

long Reader::readLength(long low, long high) {
    long v = readShort();
    if (v < low || v > high) failWith("length out of range: %ld", v);
    return v;
}

// A character that stands for itself in a text: no blank, escape, brace or skipped byte.
bool isPlainTextChar(unsigned char c) { return c > 32 && c < 127 && c != '{' && c != '}' && c != '~' && c != '|'; }

// The text lands in text_, which the caller uses before reading further nodes.
const std::string& Reader::readText() {
    long n = readLength(0, kMaxText);
    std::string& text = text_;
    text.clear();
    // From a text in memory the leading run of plain characters is taken in one piece: next()
    // would hand out exactly those characters, one call each.
    long i = 0;
    long left = static_cast<long>(end_ - at_);
    while (i < n && i < left && isPlainTextChar(at_[i])) ++i;
    if (i > 0) {
        text.assign(reinterpret_cast<const char*>(at_), static_cast<std::size_t>(i));
        at_ += i;
    }
    for (; i < n; ++i) {
        int c = next();
        if (c == '{' || c == '}') continue;   // counted, not stored
        if (c == '~') {
            text += ' ';
        } else if (c == '|') {
            long byte = readShort();
            if (byte < 0 || byte > 255) tovu_error("invalid character code in text");
            text += static_cast<char>(byte);
        } else {
            text += static_cast<char>(c);
        }
    }
    return text;
}

double Reader::readDouble() {
    std::uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        int c = next();
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;   // never written; read as hexadecimal
        else tovu_error("expecting exactly 16 hexadecimal digits");
        bits = (bits << 4) | static_cast<std::uint64_t>(v);
    }
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// Digits arrive least significant first; they are stored in base-10000 words without leading
// zero words, whatever the text announced.
Dag Reader::readInteger(unsigned type) {
    long count = readLength(1, kMaxDigits);
    std::vector<DagWord>& words = words_;   // kept between integers to spare allocations
    words.clear();
    static const DagWord kPow[4] = {1, 10, 100, 1000};
    DagWord word = 0;   // the word being filled, with `filled` digits so far
    int filled = 0;
    auto store = [&](DagWord digit) {
        word += digit * kPow[filled];
        if (++filled == 4) {
            words.push_back(word);
            word = 0;
            filled = 0;
        }
    };
    for (long left = count; left > 0;) {
        int c = next();
        if (c >= 33 && c <= 42) {
            store(static_cast<DagWord>(c - 33));
            --left;
        } else if (c >= 43 && c <= 122) {
            if (left == 1) tovu_error("too many digits in digit encoding");
            store(static_cast<DagWord>((c - 43) % 10));
            store(static_cast<DagWord>((c - 43) / 10));
            left -= 2;
        } else {
            tovu_error("invalid character in digit encoding");
        }
    }
    if (filled) words.push_back(word);
    while (words.size() > 1 && words.back() == 0) words.pop_back();
    if (words.size() == 1 && words[0] == 0) type = DAG_INTPOS;   // there is no negative zero
    Dag d = dag_new(words.size() + 1, type);
    std::memcpy(d + 1, words.data(), words.size() * sizeof(DagWord));
    return d;
}

Dag Reader::readName(bool top, long number) {
    std::string& text = text_;
    readText();
    // The old ditto names: one to three double quotes.
    if (!text.empty() && text.size() <= 3 && text.find_first_not_of('"') == std::string::npos)
        text.assign(text.size(), '%');
    Dag name = dag_intern(text.c_str(), DAG_NAME);
    enter(name, number);
    if (Dag value = node()) dag_set_interned_field(name, 1, value);
    if (top) dag_set_interned_field(name, 2, node());
    return name;
}

Dag Reader::readString(long number) {
    Dag s = dag_intern(readText().c_str(), DAG_STRING);
    enter(s, number);
    dag_set_interned_field(s, 2, node());
    return s;
}

Dag Reader::readNodes(unsigned type, std::size_t words) {
    std::size_t mark = scratch_.size();
    push(words - 1);
    return build(type, words, mark);
}

Dag Reader::readSequence(unsigned type) {
    auto length = static_cast<std::size_t>(readLength(1, DAG_MAX_LENGTH));
    return readNodes(type, length);
}

Dag Reader::readList(unsigned type, bool attributes) {
    auto length = static_cast<std::size_t>(readLength(1, DAG_MAX_LENGTH));
    std::size_t mark = scratch_.size();
    push(length - 1);
    Dag attr = attributes ? node() : nullptr;
    Dag items = build(DAG_EXPSEQ, length, mark);
    return attributes ? dag_new2(type, items, attr) : dag_new1(type, items);
}

Dag Reader::readSeries() {
    auto length = static_cast<std::size_t>(readLength(2, DAG_MAX_LENGTH));
    if (length % 2 != 0) failWith("length out of range: %ld", long(length));
    std::size_t mark = scratch_.size();
    push(1);
    for (std::size_t i = 2; i < length; i += 2) {
        push(1);
        Dag exponent = node();
        if (!exponent || !dag_is_integer(exponent)) tovu_error("invalid series exponent");
        scratch_.push_back(static_cast<DagWord>(static_cast<std::intptr_t>(arith_to_int(exponent))));
    }
    return build(DAG_SERIES, length, mark);
}

Dag Reader::readProc(bool old) {
    std::size_t mark = scratch_.size();
    push(old ? 7 : 8);
    if (old) scratch_.push_back(reinterpret_cast<DagWord>(dag_NULL));
    Dag proc = build(DAG_PROC, 9, mark);
    if (!old && procIsBuiltin(proc)) node();   // the built-in's NAME, carried for older readers
    return proc;
}

Dag Reader::readHfarray() {
    auto length = static_cast<std::size_t>(readLength(3, DAG_MAX_LENGTH));
    std::vector<DagWord> words;
    for (std::size_t i = 2; i < length; ++i) words.push_back(static_cast<DagWord>(readShort()));
    auto count = static_cast<long>(words[0]);
    if (count < 0 || count > (1L << 28)) failWith("length out of range: %ld", count);
    std::vector<double> values;
    for (long i = 0; i < count; ++i) values.push_back(readDouble());
    Dag d = dag_new(length, DAG_HFARRAY);
    for (std::size_t i = 2; i < length; ++i) d[i] = words[i - 2];
    hfarray_alloc(d, static_cast<std::size_t>(count));
    if (count) std::memcpy(hfarray_data(d), values.data(), values.size() * sizeof(double));
    return d;
}

Dag Reader::readHashtab() {
    auto length = static_cast<std::size_t>(readLength(2, DAG_MAX_LENGTH));
    std::size_t buckets = length - 1;
    if ((buckets & (buckets - 1)) != 0) failWith("length out of range: %ld", long(length));
    long pairs = readLength(0, 1L << 30);
    std::size_t mark = scratch_.size();
    for (long i = 0; i < pairs; ++i) {
        push(1);
        if (scratch_.back() == 0) tovu_error("invalid table key");
        push(1);
    }
    Dag table = hash_new(buckets);
    for (std::size_t i = mark; i < scratch_.size(); i += 2) hash_insert(scratch_[i], scratch_[i + 1], table);
    scratch_.resize(mark);
    return table;
}

// form 0: index + 2; form 1: 2 x index, or -2 x index + 1 for a negative index.
Dag Reader::readIndex(unsigned type, int form) {
    long v = readShort();
    long index = form == 0 ? v - 2 : (v % 2 == 0 ? v / 2 : -(v - 1) / 2);
    Dag d = dag_new(2, type);
    d[1] = static_cast<DagWord>(index);
    return d;
}

Dag Reader::unexpected(int c) {
    char message[64];
    std::snprintf(message, sizeof message, "unexpected DAG type: %ld,%d", 0L, c);
    tovu_error(message);
}

Dag Reader::node() {
    int c = next();
    if (c == 'G') return nullptr;
    if (c == 'F') {
        Dag d = backRefs.read.find(readShort());
        if (!d) tovu_error("invalid back reference");
        return d;
    }
    DepthGuard depth(depth_);
    long number = ++readerNodes;
    Dag d;
    switch (c) {
    case '!': d = readInteger(DAG_INTNEG); break;
    case '"': d = readInteger(DAG_INTPOS); break;
    case 'Q': return readString(number);
    case '%': return readName(false, number);
    case 'I': return readName(true, number);
    case '#': d = readNodes(DAG_RATIONAL, 3); break;
    case '$': d = readNodes(DAG_FLOAT, 3); break;
    case 'H': d = readNodes(DAG_FLOAT, 4); break;
    case '&': d = readNodes(DAG_TABLEREF, 3); break;
    case 'J': d = readNodes(DAG_TABLEREF, 4); break;
    case '\'': d = readNodes(DAG_DCOLON, 3); break;
    case '(': d = readNodes(DAG_CATENATE, 3); break;
    case ')': d = readNodes(DAG_POWER, 3); break;
    case '*': d = readSequence(DAG_PROD); break;
    case '+': d = readSeries(); break;
    case ',': d = readSequence(DAG_SUM); break;
    case '-': d = readNodes(DAG_FUNCTION, 3); break;
    case 'K': d = readNodes(DAG_FUNCTION, 4); break;
    case '.': d = readNodes(DAG_UNEVAL, 2); break;
    case '/': d = readNodes(DAG_EQUATION, 3); break;
    case '0': d = readNodes(DAG_INEQUAT, 3); break;
    case '1': d = readNodes(DAG_LESSEQ, 3); break;
    case '2': d = readNodes(DAG_LESSTHAN, 3); break;
    case '3': d = readNodes(DAG_AND, 3); break;
    case '4': d = readNodes(DAG_NOT, 2); break;
    case '5': d = readNodes(DAG_OR, 3); break;
    case '6': d = readSequence(DAG_EXPSEQ); break;
    case '7': d = readList(DAG_LIST, false); break;
    case 'L': d = readList(DAG_LIST, true); break;
    case '8': d = readIndex(DAG_LOCAL, 0); break;
    case '9': d = readIndex(DAG_PARAM, 0); break;
    case 'T': d = readIndex(DAG_LEXICAL, 1); break;
    case 'S': d = readIndex(DAG_LEXICAL, 0); break;
    case 'U': d = readIndex(DAG_LOCAL, 1); break;
    case 'V': d = readIndex(DAG_PARAM, 1); break;
    case 'R': d = readProc(false); break;
    case ':': d = readProc(true); break;
    case ';': d = readNodes(DAG_RANGE, 3); break;
    case '<': d = readList(DAG_SET, false); break;
    case 'M': d = readList(DAG_SET, true); break;
    case '=': d = readNodes(DAG_TABLE, 4); break;
    case 'W': d = readHfarray(); break;
    case '>': d = readNodes(DAG_ASSIGN, 3); break;
    case '?': d = readSequence(DAG_FOR); break;
    case '@': d = readSequence(DAG_IF); break;
    case 'A': d = readNodes(DAG_READ, 2); break;
    case 'B': d = readNodes(DAG_SAVE, 2); break;
    case 'C': d = readSequence(DAG_STATSEQ); break;
    case 'D': d = readNodes(DAG_STOP, 1); break;
    case 'E': d = readHashtab(); break;
    case 'N': d = readNodes(DAG_CONTROL, 2); break;
    case 'O': d = readNodes(DAG_PROMPT, 1); break;
    case 'P': d = readSequence(DAG_DEBUG); break;
    default: d = unexpected(c); break;
    }
    enter(d, number);
    return d;
}

// ---- byte packer ------------------------------------------------------------------------------------

constexpr std::size_t kPredictSize = 4096;

class BitWriter {
public:
    BitWriter(ByteSink sink, void* data) : sink_(sink), data_(data) {}
    void bit(unsigned b) {
        group_ |= (b & 1u) << bits_;
        if (++bits_ == 6) {
            sink_(data_, 58 + static_cast<int>(group_));
            group_ = 0;
            bits_ = 0;
        }
    }
    void finish() {
        sink_(data_, '1' + static_cast<int>(bits_));
        sink_(data_, 58 + static_cast<int>(group_));
    }

private:
    ByteSink sink_;
    void* data_;
    unsigned group_ = 0;
    unsigned bits_ = 0;
};

}  // namespace

bool dag_write(const DagWord* dag, DagSink sink, DagErrorSink errorSink, int lineWidth,
               unsigned flags, void* data) {
    if (!sink) sink = stdoutSink;
    if (!errorSink) errorSink = stderrErrorSink;
    bool keep = (flags & DAG_KEEP_BACKREFS) != 0;
    if (!(flags & DAG_CONTINUE_COUNT)) writerNodes = 0;
    backRefs.begin(keep);
    bool ok = true;
    try {
        TovuHandlerGuard guard;
        Writer writer(sink, lineWidth, flags, data);
        writer.node(dag, true);
    } catch (const TovuError& e) {
        errorSink(data, e.message.c_str());
        ok = false;
    }
    if (!keep) backRefs.clear();
    return ok;
}

namespace {

// Reads one DAG with the reader given and reports its end or error with the character count.
Dag readOne(Reader& reader, DagEndCallback end, DagErrorCallback error, unsigned flags, void* data) {
    if (!end) end = stderrEnd;
    if (!error) error = stderrError;
    bool keep = (flags & DAG_KEEP_BACKREFS) != 0;
    if (!(flags & DAG_CONTINUE_COUNT)) {
        readerNodes = 0;
        readerChars = 0;
    }
    backRefs.begin(keep);
    Dag result = nullptr;
    try {
        TovuHandlerGuard guard;
        result = reader.node();
        readerChars += reader.taken();
    } catch (const TovuError& e) {
        readerChars += reader.taken();
        error(data, readerChars, e.message.c_str());
        result = nullptr;
    } catch (const ReadEnd&) {
        readerChars += reader.taken();
        end(data, readerChars);
        result = nullptr;
    }
    if (!keep) backRefs.clear();
    return result;
}

}  // namespace

Dag dag_read(DagSource source, DagEndCallback end, DagErrorCallback error, DagErrorCallback,
             unsigned flags, void* data) {
    Reader reader(source ? source : stdinSource, data);
    return readOne(reader, end, error, flags, data);
}

Dag dag_read_text(std::string_view text, DagEndCallback end, DagErrorCallback error, DagErrorCallback,
                  unsigned flags, void* data) {
    const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
    Reader reader(begin, begin + text.size());
    return readOne(reader, end, error, flags, data);
}

void enc_pack_bytes(ByteSource source, ByteSink sink, void* data) {
    std::vector<unsigned char> predict(kPredictSize, 0);
    std::size_t h = 0;
    BitWriter out(sink, data);
    for (int c; (c = source(data)) != -1;) {
        auto b = static_cast<unsigned char>(c);
        if (predict[h] == b) {
            out.bit(0);
        } else {
            predict[h] = b;
            out.bit(1);
            for (int i = 0; i < 8; ++i) out.bit((b >> i) & 1u);
        }
        h = (16 * h + b) % kPredictSize;
    }
    out.finish();
}

const char* enc_unpack_bytes(ByteSource source, ByteSink sink, void* data) {
    std::vector<unsigned char> predict(kPredictSize, 0);
    std::size_t h = 0;
    int literalBits = -1;   // -1: expecting a flag bit; else bits of the literal so far
    unsigned literal = 0;
    auto emit = [&](unsigned char b) {
        sink(data, b);
        h = (16 * h + b) % kPredictSize;
    };
    auto takeBit = [&](unsigned bit) {
        if (literalBits < 0) {
            if (bit) {
                literalBits = 0;
                literal = 0;
            } else {
                emit(predict[h]);
            }
            return;
        }
        literal |= bit << literalBits;
        if (++literalBits == 8) {
            auto b = static_cast<unsigned char>(literal);
            predict[h] = b;
            emit(b);
            literalBits = -1;
        }
    };
    auto nextChar = [&]() {
        for (;;) {
            int c = source(data);
            if (c == -1 || c > 32) return c;   // line breaks and spaces carry nothing
        }
    };
    for (;;) {
        int c = nextChar();
        if (c == -1) return "unexpected EOF";
        int dataBits = 6;
        if (c >= '0' && c <= '9') {
            if (c < '1' || c > '6') return "invalid character in packed data";
            dataBits = c - '1';
            c = nextChar();
            if (c == -1) return "unexpected EOF";
            if (c < 58 || c > 121) return "invalid character in packed data";
            for (int i = 0; i < dataBits; ++i) takeBit((static_cast<unsigned>(c - 58) >> i) & 1u);
            if (literalBits >= 0) return "ran out of bits in the middle of a byte";
            return nullptr;
        }
        if (c < 58 || c > 121) return "invalid character in packed data";
        for (int i = 0; i < 6; ++i) takeBit((static_cast<unsigned>(c - 58) >> i) & 1u);
    }
}

// ---- conveniences over whole texts ------------------------------------------------------------------

namespace {

void textEnd(void* data, long) {
    if (auto* error = static_cast<std::string*>(data)) *error = "unexpected end of input";
}

void textError(void* data, long, const char* message) {
    if (auto* error = static_cast<std::string*>(data)) *error = message;
}

}  // namespace

std::string dag_to_text(const DagWord* dag, unsigned flags, int lineWidth) {
    std::string out;
    if (!dag_write(dag, sink_append_string, sink_ignore_error, lineWidth, flags, &out)) return {};
    return out;
}

Dag dag_from_text(std::string_view text, std::string* error, unsigned flags) {
    return dag_read_text(text, textEnd, textError, nullptr, flags, error);
}

std::string enc_pack(std::string_view bytes) {
    struct State {
        std::string_view in;
        std::size_t at;
        std::string out;
    } state{bytes, 0, {}};
    enc_pack_bytes(
        [](void* d) {
            auto* s = static_cast<State*>(d);
            return s->at < s->in.size() ? static_cast<int>(static_cast<unsigned char>(s->in[s->at++])) : -1;
        },
        [](void* d, int ch) { static_cast<State*>(d)->out.push_back(static_cast<char>(ch)); }, &state);
    return state.out;
}

bool enc_unpack(std::string_view text, std::string* bytes, std::string* error) {
    struct State {
        std::string_view in;
        std::size_t at;
        std::string out;
    } state{text, 0, {}};
    const char* message = enc_unpack_bytes(
        [](void* d) {
            auto* s = static_cast<State*>(d);
            return s->at < s->in.size() ? static_cast<int>(static_cast<unsigned char>(s->in[s->at++])) : -1;
        },
        [](void* d, int ch) { static_cast<State*>(d)->out.push_back(static_cast<char>(ch)); }, &state);
    if (message) {
        if (error) *error = message;
        return false;
    }
    if (bytes) *bytes = std::move(state.out);
    return true;
}
