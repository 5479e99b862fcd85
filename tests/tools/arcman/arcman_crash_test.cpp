// Crash sweep of the archive tool: each command that changes an archive is killed at every
// write, sync, rename and unlink it makes (tests/support/kill_sweep.h).  After each kill the
// archive must be in an allowed state -- the state before the command, the state after it, or
// for a command over several names the state after a prefix of them -- with every listed member
// extracting byte for byte, no temporaries left once the next command ran, and the next -l, -a
// and -p working.
#include "arcman_fixture.h"
#include "tests/support/kill_sweep.h"
#include "tests/support/named_rows.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

using namespace arcman_test;
namespace fs = std::filesystem;

namespace {

// An archive's contents as its users see them: member name -> bytes.
using Contents = std::map<std::string, Bytes>;

std::string describe(const Contents& c) {
    std::ostringstream s;
    s << "{";
    for (const auto& [name, bytes] : c) s << " " << name << ":" << bytes.size();
    s << " }";
    return s.str();
}

Bytes pattern(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(size);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

using kelvo_test::PrintTo;

struct SweepCase {
    const char* name;
    // The command's words after the archive directory, in groups: the allowed states are those
    // after the first k groups, k = 0 .. all (a command over one name has one group).
    std::vector<std::vector<std::string>> groups;
    const char* letter;   // "-a", "-u", "-d", "-p", "-r"
};


// Members of the archive every case starts from; sizes cross the 64 KB copy buffer so that
// one member takes several writes.
const std::vector<std::pair<std::string, std::size_t>> kMembers = {
    {"m0", 1}, {"m1", 100}, {"m2", 70000}, {"b0", 150000}, {"gone", 500},
};

class ArcmanCrashSweep : public ScratchTest, public ::testing::WithParamInterface<SweepCase> {
protected:
    void SetUp() override {
        ScratchTest::SetUp();
        ASSERT_FALSE(kill_sweep::strace_path().empty())
            << "strace is needed (scripts/packages.txt installs it)";
        make_archive(10);
        std::vector<std::string> add = {"-a", arc()};
        for (std::size_t i = 0; i < kMembers.size(); ++i) {
            write_bytes(path(kMembers[i].first), pattern(kMembers[i].second, unsigned(i + 1)));
            add.push_back(path(kMembers[i].first).string());
            add.push_back(kMembers[i].first);
        }
        ASSERT_EQ(run(add).status, 0);
        // Dead space for -p: a deleted member and a replaced one.
        write_bytes(path("m1v2"), pattern(90, 77));
        ASSERT_EQ(run({"-d", arc(), "gone"}).status, 0);
        ASSERT_EQ(run({"-u", arc(), path("m1v2").string(), "m1"}).status, 0);
        // Files the cases store.
        write_bytes(path("n1"), pattern(70000, 11));
        write_bytes(path("n2"), pattern(10, 12));
        write_bytes(path("n3"), pattern(1, 13));
        write_bytes(path("s3"), pattern(103000, 14));         // shorter than b0
        write_bytes(path("eq"), pattern(150000, 15));         // as long as b0
        write_bytes(path("long"), pattern(140000, 16));       // longer than m1
        write_bytes(path("zz"), pattern(33, 17));
        fs::copy(arc(), path("base"), fs::copy_options::recursive);
    }

    void restore(const std::string& from) const {
        fs::remove_all(arc());
        fs::copy(path(from), arc(), fs::copy_options::recursive);
    }

    // The command with its first `groups` groups; the file of an -a or -u pair is named by its
    // place in the scratch directory.
    std::vector<std::string> command(const SweepCase& c, std::size_t groups) const {
        const bool pairs = std::string(c.letter) == "-a" || std::string(c.letter) == "-u";
        std::vector<std::string> argv = {c.letter, arc()};
        for (std::size_t g = 0; g < groups; ++g)
            for (std::size_t i = 0; i < c.groups[g].size(); ++i)
                argv.push_back(pairs && i == 0 ? path(c.groups[g][i]).string() : c.groups[g][i]);
        return argv;
    }

    // Lists the archive and extracts every member (reading leaves an unfinished rebuild as it is).
    Contents contents() const {
        Contents c;
        const RunResult list = run({"-l", arc()});
        EXPECT_EQ(list.status, 0) << list.err;
        std::istringstream lines(list.out);
        std::string line;
        std::vector<std::string> extract = {"-x", arc()};
        fs::create_directories(path("x"));
        while (std::getline(lines, line)) {
            const std::string name = line.substr(0, line.find(' '));
            extract.push_back(name);
            extract.push_back(path("x/" + name).string());
            c[name];
        }
        if (extract.size() > 2) {
            const RunResult x = run(extract);
            EXPECT_EQ(x.status, 0) << x.err;
        }
        for (auto& [name, bytes] : c) bytes = read_bytes(path("x/" + name));
        fs::remove_all(path("x"));
        return c;
    }
};

TEST_P(ArcmanCrashSweep, EveryKillLeavesAnAllowedState) {
    const SweepCase& c = GetParam();
    // The allowed states: after the first k groups, k = 0 .. all, each made by an uninterrupted run.
    std::vector<Contents> allowed;
    restore("base");
    allowed.push_back(contents());
    for (std::size_t k = c.groups.empty() ? 0 : 1; k <= c.groups.size(); ++k) {
        restore("base");
        const RunResult r = run(command(c, k));
        ASSERT_EQ(r.status, 0) << r.err;
        allowed.push_back(contents());
    }
    const Contents& after = allowed.back();

    const std::string output = path("strace.out").string();
    const Bytes zz = read_bytes(path("zz"));
    int killPoints = 0;
    for (const char* call : {"pwrite64", "write", "fdatasync", "fsync", "rename", "unlink"}) {
        killPoints += kill_sweep::sweep(
            call, [&] {
                std::vector<std::string> argv = command(c, c.groups.size());
                argv.insert(argv.begin(), ARCMAN_BINARY);
                return argv;
            }(),
            output, [&] { restore("base"); },
            [&](int n, const kill_sweep::Run& r) {
                const std::string where = std::string(call) + " #" + std::to_string(n);
                if (r.ending == kill_sweep::Ending::exited) {
                    ASSERT_EQ(r.status, 0) << where << ": " << read_text(output);
                }
                const Contents now = contents();
                std::size_t match = allowed.size();
                for (std::size_t k = 0; k < allowed.size(); ++k)
                    if (now == allowed[k]) match = k;
                if (r.ending == kill_sweep::Ending::exited) {
                    EXPECT_EQ(now, after) << where;
                } else {
                    ASSERT_LT(match, allowed.size())
                        << where << ": the archive holds " << describe(now)
                        << ", neither the state before, after nor after a prefix";
                }
                // The next commands work on what the kill left.
                // A change settles an unfinished rebuild first.
                RunResult next = run({"-a", arc(), path("zz").string(), "zz"});
                EXPECT_EQ(next.status, 0) << where << ": " << next.err;
                EXPECT_FALSE(fs::exists(path("lib/ovlek.ind"))) << where;
                EXPECT_FALSE(fs::exists(path("lib/ovlek.lib"))) << where;
                next = run({"-p", arc()});
                EXPECT_EQ(next.status, 0) << where << ": " << next.err;
                Contents expected = now;
                expected["zz"] = zz;
                EXPECT_EQ(contents(), expected) << where;
            });
        if (HasFatalFailure()) return;
    }
    std::cout << "[ sweep ] " << c.name << ": " << killPoints << " kill points\n";
    RecordProperty("kill_points", killPoints);
    EXPECT_GT(killPoints, 0);
}

const SweepCase kCases[] = {
    {"add_one", {{"n1", "n1"}}, "-a"},
    {"add_several", {{"n1", "n1"}, {"n2", "n2"}, {"n3", "n3"}}, "-a"},
    {"update_shorter", {{"s3", "b0"}}, "-u"},
    {"update_equal", {{"eq", "b0"}}, "-u"},
    {"update_longer", {{"long", "m1"}}, "-u"},
    {"delete_several", {{"m0"}, {"b0"}, {"m2"}}, "-d"},
    {"pack", {}, "-p"},
    {"rehash", {}, "-r"},
};

INSTANTIATE_TEST_SUITE_P(Commands, ArcmanCrashSweep, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SweepCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
