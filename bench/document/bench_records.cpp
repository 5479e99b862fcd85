// Writing and reading a worksheet-sized record stream of about 50 MB: nested records of
// integers, doubles, escaped strings and blobs, as element records carry them.  Reports MB/s.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "document/records/KWorksheetReader.h"
#include "document/records/KWorksheetWriter.h"

namespace {

constexpr std::size_t TARGET_BYTES = 50u << 20;

// One seeded paragraph-like record: a head, numbers, a text with escapes, sometimes a blob.
void writeRecord(KWorksheetWriter& w, std::mt19937& random, const std::string& blob) {
    static const char* const words[] = {"The ", "quick ", "{brown} ", "fox\n", "\"jumps\" ",
                                        "over\\ ", "the\t", "lazy ", "dog. "};
    std::string text;
    int n = int(random() % 40) + 5;
    for (int i = 0; i < n; ++i) text += words[random() % 9];
    w.writeRaw("{PARA ").writeInt(int(random() % 300)).writeInt(-1).writeDouble(1.5 * (random() % 1000));
    w.writeRaw("{TEXT ").writeInt(int(random() % 33)).writeQuotedString(text).writeRaw("}");
    if (random() % 16 == 0) w.writeRaw("{BITMAP ").writeBlob(blob).writeRaw("}");
    w.writeRaw("}");
}

std::string makeStream() {
    std::mt19937 random(1234);
    std::string blob;
    for (int i = 0; i < 4096; ++i) blob.push_back(char(random() % 16 == 0 ? random() : i / 64));
    KWorksheetWriter w;
    w.writeRaw("{SECT ");
    while (w.bytesWritten() < TARGET_BYTES) writeRecord(w, random, blob);
    w.writeRaw("}\n");
    return w.getBuffer();
}

const std::string& stream() {
    static const std::string text = makeStream();
    return text;
}

void BM_records_write_50mb(benchmark::State& state) {
    std::string blob(4096, 'x');
    for (auto _ : state) {
        std::mt19937 random(1234);
        KWorksheetWriter w;
        while (w.bytesWritten() < TARGET_BYTES) writeRecord(w, random, blob);
        std::size_t bytes = w.bytesWritten();
        benchmark::DoNotOptimize(bytes);
        state.SetBytesProcessed(state.bytes_processed() + std::int64_t(bytes));
    }
}

// Reads the stream as a reader of these records would: heads, numbers, strings, blobs.
void BM_records_read_50mb(benchmark::State& state) {
    const std::string& text = stream();
    for (auto _ : state) {
        KWorksheetReader r;
        r.openMemory(text);
        std::string token, s, blob;
        int v = 0;
        double d = 0;
        long records = 0;
        r.readToken(token);   // {SECT
        for (;;) {
            r.readToken(token);
            if (token != "{PARA") break;
            r.readInt(v);
            r.readInt(v);
            r.readDouble(d);
            r.readToken(token);   // {TEXT
            r.readInt(v);
            r.readString(s, false);
            r.skipRecord();
            r.readToken(token);
            if (token == "{BITMAP") {
                r.readBlob(blob);
                r.skipRecord();
                r.readToken(token);
            }
            ++records;
        }
        benchmark::DoNotOptimize(records);
        state.SetBytesProcessed(state.bytes_processed() + std::int64_t(text.size()));
    }
}

BENCHMARK(BM_records_write_50mb)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_records_read_50mb)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
