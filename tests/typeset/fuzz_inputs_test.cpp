// Every input the layout fuzzer once failed on (tests/data/typeset/fuzz_typeset/, one file per
// fault) goes through the fuzzer's own path again: the DAG reader, the character-cell device at
// two page widths and the fixed-metric fake device.  A run may fail with a code, but never reads
// outside a DAG (the sanitizer build reports that).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fake_device.h"
#include "tovu/encode.h"
#include "typeset/devices/charcell.h"
#include "typeset/typeset.h"

namespace {

std::vector<std::filesystem::path> saved_inputs() {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(KELVO_TEST_DATA "/typeset/fuzz_typeset"))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(SavedFuzzInputs, LayOutWithoutReadingOutsideADag) {
    auto files = saved_inputs();
    ASSERT_FALSE(files.empty());
    int read = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        std::ifstream in(file, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Dag dag = dag_from_text(text);
        if (!dag) continue;
        ++read;
        for (int width : {80, 20}) {
            LayoutOptions o;
            layout_options_init(1, &o, nullptr);
            o.pageWidth = width;
            int code = -1;
            render_text_2d_string(dag, &o, &code);
            EXPECT_TRUE(code == 0 || code == 3) << code;
        }
        FakeDevice fake;
        EXPECT_EQ(fake.run(dag, 200), 0);
        fake.run(dag, 60, 1);
    }
    // The fault inputs are DAGs the reader accepts: a reader that rejects them all tests nothing.
    EXPECT_GT(read, 0);
}

}  // namespace
