// Argument lists, the option scanner, the kernel-option split and connection descriptors.

#include "kernel_link/KL_ArgList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel_link/KL_ConnectInfo.h"

namespace {

using Words = std::vector<std::string>;

KL_ArgList make(const Words& w) {
    std::vector<const char*> v;
    for (const auto& s : w) v.push_back(s.c_str());
    return KL_ArgList(int(v.size()), v.data());
}

Words words_of(const KL_ArgList& l) {
    Words w;
    for (int i = 0; i < l.count(); ++i) w.push_back(l.word(i));
    return w;
}

TEST(KLArgList, CopiesAndTerminates) {
    KL_ArgList empty;
    EXPECT_EQ(empty.count(), 0);
    EXPECT_EQ(empty.words(), nullptr);

    KL_ArgList a = make({"prog", "-q"});
    ASSERT_NE(a.words(), nullptr);
    EXPECT_EQ(a.words()[2], nullptr);
    KL_ArgList copy(a);
    EXPECT_EQ(words_of(copy), Words({"prog", "-q"}));
    EXPECT_NE(copy.words()[0], a.words()[0]);   // own copies
    EXPECT_EQ(copy.words()[2], nullptr);
}

TEST(KLArgList, AppendNullOnlyTerminates) {
    KL_ArgList l;
    l.append(nullptr);
    ASSERT_NE(l.words(), nullptr);
    EXPECT_EQ(l.count(), 0);
    EXPECT_EQ(l.words()[0], nullptr);
    l.append("a");
    l.append("b");
    l.append(nullptr);
    EXPECT_EQ(words_of(l), Words({"a", "b"}));
    EXPECT_EQ(l.words()[2], nullptr);
}

struct SplitCase {
    const char* name;
    Words in, kernel, others;
};

TEST(KLArgList, SplitTable) {
    const SplitCase cases[] = {
        {"value as next word", {"prog", "-b", "100", "file", "-q"}, {"prog", "-b", "100", "-q"}, {"prog", "file"}},
        {"value attached", {"prog", "-b100"}, {"prog", "-b100"}, {"prog"}},
        {"flags ignore the rest", {"prog", "-qxyz", "-I", "-a", "-f", "-s", "-t"},
         {"prog", "-qxyz", "-I", "-a", "-f", "-s", "-t"}, {"prog"}},
        {"value taken whatever it is", {"prog", "-T", "-q"}, {"prog", "-T", "-q"}, {"prog"}},
        {"every valued letter", {"prog", "-L", "1", "-T2", "-e", "3", "-g4", "-p", "5", "-w6"},
         {"prog", "-L", "1", "-T2", "-e", "3", "-g4", "-p", "5", "-w6"}, {"prog"}},
        {"slash words and others", {"prog", "/q", "-x", "w.kws", "-"}, {"prog"}, {"prog", "/q", "-x", "w.kws", "-"}},
        {"valued option at the end", {"prog", "-b"}, {"prog", "-b"}, {"prog"}},
        {"program name only", {"prog"}, {"prog"}, {"prog"}},
    };
    for (const auto& c : cases) {
        KL_ArgList list = make(c.in);
        KL_ArgList others, kernel;
        KL_ArgList::split(list, others, kernel);
        EXPECT_EQ(words_of(kernel), c.kernel) << c.name;
        EXPECT_EQ(words_of(others), c.others) << c.name;
        EXPECT_EQ(kernel.words()[kernel.count()], nullptr) << c.name;
        EXPECT_EQ(others.words()[others.count()], nullptr) << c.name;
        KL_ArgList out;
        EXPECT_EQ(KL_ArgList::kernelArgs(list, out), int(c.kernel.size())) << c.name;
        EXPECT_EQ(KL_ArgList::otherArgs(list, out), int(c.others.size())) << c.name;
    }
}

TEST(KLArgList, SplitOfEmptyListGivesTerminatedEmptyLists) {
    KL_ArgList empty, others, kernel;
    KL_ArgList::split(empty, others, kernel);
    EXPECT_EQ(kernel.count(), 0);
    ASSERT_NE(kernel.words(), nullptr);
    EXPECT_EQ(kernel.words()[0], nullptr);
}

TEST(KLArgScanner, Options) {
    KL_ArgList l = make({"-a", "x", "-b", "-c", "plain", "/d"});
    KL_ArgScanner s(l);
    KL_ArgOption o;
    struct Expect {
        const char* name;
        const char* value;
    };
    const Expect expected[] = {{"a", "x"}, {"b", nullptr}, {"c", "plain"}, {"d", nullptr}};
    for (const auto& e : expected) {
        ASSERT_TRUE(s.nextOption(o));
        EXPECT_STREQ(o.name, e.name);
        if (e.value) EXPECT_STREQ(o.value, e.value);
        else EXPECT_EQ(o.value, nullptr) << e.name;
    }
    EXPECT_FALSE(s.nextOption(o));
    EXPECT_EQ(o.name, nullptr);

    KL_ArgList p = make({"word"});
    KL_ArgScanner t(p);
    ASSERT_TRUE(t.nextOption(o));
    EXPECT_EQ(o.name, nullptr);
    EXPECT_STREQ(o.value, "word");
    EXPECT_EQ(t.nextWord(), nullptr);
}

TEST(KLConnectInfo, ConstructorsAndCopy) {
    KL_ConnectInfo d;
    EXPECT_EQ(d.linkType, KL_LINK_DIRECT);
    EXPECT_FALSE(d.serverCommand.has_value());

    KL_ConnectInfo p(KL_TRANSPORT_PIPES, "kernsrv -x");
    EXPECT_EQ(p.linkType, KL_LINK_SERVER);
    EXPECT_EQ(*p.serverCommand, "kernsrv -x");
    p.args = make({"prog", "-q"});

    KL_ConnectInfo n(KL_TRANSPORT_NETWORK, nullptr, "host", 99);
    EXPECT_FALSE(n.serverCommand.has_value());
    EXPECT_EQ(*n.host, "host");
    EXPECT_EQ(n.port, 99);

    KL_ConnectInfo c(p);
    EXPECT_EQ(*c.serverCommand, "kernsrv -x");
    EXPECT_EQ(words_of(c.args), Words({"prog", "-q"}));
}

}  // namespace
