// Arbitrary bytes as an archive index: size checks, every slot decoded, lookups and insertion
// probes of names taken from the input, and the member bounds check against a small data file.
// Errors are ArchiveErrors; anything else (a crash, a read past a slot, a hang) is a finding.
#include "tools/arcman/archive.h"

#include <cstdint>
#include <cstring>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

using namespace archive;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("index", 0);
    if (fd < 0) return 0;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    try {
        const ArchiveIndex index(fd);
        SlotBytes slot;
        for (std::uint64_t s = 0; s < index.slotCount(); ++s) {
            index.readSlot(s, slot);
            try {
                const SlotEntry e = slot_decode(slot, s);
                if (e.kind == SlotKind::live) {
                    try {
                        check_member_in_data(e, 1000);
                    } catch (const ArchiveError&) {
                    }
                    index.lookup(e.name);
                }
            } catch (const ArchiveError&) {
            }
        }
        // Names from the first bytes of the input.
        for (std::size_t len = 1; len <= 8 && len <= size; ++len) {
            const std::string name(reinterpret_cast<const char*>(data), len);
            if (name_problem(name) != NameProblem::none) continue;
            try {
                index.lookup(name);
                index.insertion(name);
            } catch (const ArchiveError&) {
            }
        }
    } catch (const ArchiveError&) {
    }
    ::close(fd);
    return 0;
}
