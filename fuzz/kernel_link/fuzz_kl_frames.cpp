// Feeds arbitrary bytes to the frame readers of the worksheet's link (replies) and to the
// transfer-variable parser of the server's end, as a server or a parent could send them.

#include <cstddef>
#include <cstdint>
#include <string>

#include "kernel_link/KL_Link.h"
#include "kernel_link/KL_PipeClient.h"
#include "tovu/storage.h"

namespace {

class BytesLink : public KL_Link {
public:
    BytesLink(const std::uint8_t* d, std::size_t n) : KL_Link(KL_ConnectInfo()), data_(d), size_(n) { setState(KL_BUSY); }
    int interrupt() override { return 0; }
    int getServerStatus() override { return pos_ < size_ ? 1 : 0; }
    int readByte() override {
        if (pos_ >= size_) {
            setState(KL_DEAD);
            return -1;
        }
        return data_[pos_++];
    }
    int write(const unsigned char*, int) override { return 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool ready = false;
    if (!ready) {
        storage_init_default();
        dag_init();
        ready = true;
    }
    static OwnedArea area(0, "fuzz-kl");
    {
        StoragePush push(area.get());
        BytesLink link(data, size);
        char buffer[KL_BUFFER_SIZE];
        link.readString(buffer, sizeof buffer);
        for (int i = 0; i < 64 && link.state() != KL_DEAD; ++i) link.getResult(1);
    }
    // As a long-running reader does: what was read goes with its area, the names stay.
    storage_free(area.get());
    std::string text(reinterpret_cast<const char*>(data), size);
    KL_PipeHandles h;
    KL_PipeHandles::parse(text.c_str(), &h);
    return 0;
}
