// Shared helpers and the test environment of the kernel link tests.

#include "kl_test_util.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "tovu/encode.h"
#include "tovu/parse_driver.h"
#include "tovu/print.h"
#include "tovu/storage.h"

// CLN and GiNaC (behind the real kernel library) keep start-up blocks they never release.
extern "C" const char* __lsan_default_suppressions() { return "leak:libcln.so\nleak:libginac.so\n"; }

namespace {

class KernelLinkEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        storage_init_default();
        dag_init();
        // Only the servers started by the tests read this; this process has read its options.
        std::string supp = std::string("suppressions=") + KELVO_TEST_DATA + "/kernsrv/lsan.supp";
        ::setenv("LSAN_OPTIONS", supp.c_str(), 1);
        ::unsetenv("KELVO_KERNSRV_LOG");
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new KernelLinkEnvironment);

}  // namespace

Dag kl_parse(const char* text) {
    const char* err = nullptr;
    Dag d = parse_text_full(text, &err, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, false);
    EXPECT_NE(d, nullptr) << text << ": " << (err ? err : "");
    return d;
}

std::string kl_printed(const DagWord* dag) { return dag ? print_to_text(dag) : "<null>"; }

std::string kl_frame(const DagWord* dag) { return dag_to_text(dag, DAG_WRITE_NO_VALUES) + '\x01'; }

std::string kl_options_message(std::initializer_list<const char*> texts) {
    std::string m;
    for (const char* t : texts) {
        m += t;
        m.push_back('\0');
    }
    return m + '\x01';
}

Dag kl_reply(const char* stream, std::initializer_list<Dag> args) {
    Dag s = dag_new(args.size() + 1, DAG_EXPSEQ);
    std::size_t i = 1;
    for (Dag a : args) dag_set_op(s, i++, a);
    std::string name = std::string("INTERFACE_") + stream;
    return dag_new2(DAG_FUNCTION, dag_name(name.c_str()), s);
}

std::string kl_read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string kl_temp_name(const char* tag) {
    static int counter = 0;
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/kl_" + tag + "_" + std::to_string(getpid()) + "_" +
           std::to_string(++counter);
}

bool kl_wait_for_file(const std::string& path) {
    for (int i = 0; i < 600; ++i) {
        if (::access(path.c_str(), F_OK) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}
