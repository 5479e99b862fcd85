#pragma once
// The link framing, written once for both ends of a kernel link (KL_Link on the worksheet's
// side, KL_Stream on the kernel server's).  KL_Link.h draws the frames; here are the operations
// over the two byte primitives each end supplies:
//
//   readByte(end)            the next byte 0..255, or -1 when no more will come
//   write(end, bytes, n)     0 when all n bytes were taken, anything else on failure
//
// After a failed write nothing more of that message is written: a frame is either written up
// to its end byte or cut at the failed write, never followed by an end byte that would make a
// cut frame look whole to the reader.  Every operation then answers failure.

#include "tovu/dag.h"

struct KL_FrameEnd {
    int (*readByte)(void* end) = nullptr;
    int (*write)(void* end, const unsigned char* bytes, long count) = nullptr;
    void* end = nullptr;
};

// A frame end over any object with readByte() and write(bytes, count).
template <class End>
KL_FrameEnd kl_frame_end(End* end) {
    KL_FrameEnd e;
    e.readByte = [](void* p) { return static_cast<End*>(p)->readByte(); };
    e.write = [](void* p, const unsigned char* bytes, long count) {
        return static_cast<End*>(p)->write(bytes, count) == 0 ? 0 : -1;
    };
    e.end = end;
    return e;
}

// The text and its NUL: 0, or -1.
int kl_frame_send_string(const KL_FrameEnd& end, const char* text);
// Reads up to `size` bytes: 0 when a NUL was stored, `size` when size bytes came without one,
// -1 at the end of the input.
int kl_frame_read_string(const KL_FrameEnd& end, char* buffer, int size);
// The end byte 0x01: 0, or -1.
int kl_frame_send_end(const KL_FrameEnd& end);
// 0 when the next byte is the end byte, else -1.
int kl_frame_expect_end(const KL_FrameEnd& end);
// The DAG's text and the end byte: 0; 1 when the DAG cannot be encoded (nothing is written);
// -1 when a write failed (the frame is cut there).
int kl_frame_send_dag(const KL_FrameEnd& end, Dag dag);
// One DAG and its end byte; null when the text cannot be read or the end byte is missing.
Dag kl_frame_read_dag(const KL_FrameEnd& end);
