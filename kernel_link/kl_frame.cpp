// The link framing of both link ends.

#include "kernel_link/kl_frame.h"

#include <cstring>
#include <string>

#include "kernel_link/KL_ByteBuffer.h"
#include "tovu/encode.h"
#include "tovu/sinks.h"

namespace {

int frame_source(void* data) {
    const auto* end = static_cast<const KL_FrameEnd*>(data);
    return end->readByte(end->end);
}

}  // namespace

int kl_frame_send_string(const KL_FrameEnd& end, const char* text) {
    return end.write(end.end, reinterpret_cast<const unsigned char*>(text), long(std::strlen(text)) + 1) == 0 ? 0 : -1;
}

int kl_frame_read_string(const KL_FrameEnd& end, char* buffer, int size) {
    for (int i = 0; i < size; ++i) {
        int c = end.readByte(end.end);
        if (c == -1) return -1;
        buffer[i] = char(c);
        if (c == 0) return 0;
    }
    return size;
}

int kl_frame_send_end(const KL_FrameEnd& end) {
    unsigned char byte = KL_END_BYTE;
    return end.write(end.end, &byte, 1) == 0 ? 0 : -1;
}

int kl_frame_expect_end(const KL_FrameEnd& end) { return end.readByte(end.end) == KL_END_BYTE ? 0 : -1; }

int kl_frame_send_dag(const KL_FrameEnd& end, Dag dag) {
    // The text is made whole first: a DAG that cannot be encoded sends nothing, rather than a
    // broken frame that would leave the two ends out of step.  The bytes go one at a time, as
    // the frame writer (KL_ByteBuffer.h) expects them.
    std::string text;
    if (!dag_write(dag, sink_append_string, sink_ignore_error, 0, DAG_WRITE_NO_VALUES, &text)) return 1;
    for (unsigned char c : text)
        if (end.write(end.end, &c, 1) != 0) return -1;
    return kl_frame_send_end(end);
}

Dag kl_frame_read_dag(const KL_FrameEnd& end) {
    Dag dag = dag_read(frame_source, sink_ignore_read_end, sink_ignore_read_error, nullptr, 0,
                       const_cast<KL_FrameEnd*>(&end));
    if (dag == nullptr) return nullptr;
    return kl_frame_expect_end(end) == 0 ? dag : nullptr;
}
