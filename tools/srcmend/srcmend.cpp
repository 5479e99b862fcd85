// The source update tool (see srcmend.h).
#include "tools/srcmend/srcmend.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/console/osl.h"
#include "tovu/errors.h"
#include "tovu/storage.h"
#include "update/update.h"
#include "util/errjump.h"

const char* const srcmend_version = "Kelvo V R4 to R5 Source Update Facility";

namespace {

constexpr long kMinimumBuffer = 2 * 2048;
constexpr long kGrowth = 4096;
// The facility counts in signed 32-bit: the buffer with its NUL must stay below that.
constexpr long kLargestBuffer = INT32_MAX - 1;

// Formats one message whole and writes it with one call.
void message(std::FILE* err, const char* format, ...) __attribute__((format(printf, 2, 3)));
void message(std::FILE* err, const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::fputs(buffer, err);
    std::fflush(err);
}

void warn(void* context, std::int32_t, const char* text) {
    message(static_cast<std::FILE*>(context), "%s\n", text);
}

void library_init() {
    static bool ready = false;
    if (ready) return;
    tovu_start();
    ready = true;
}

// The buffer of the text, freed when the run ends.
struct Buffer {
    char* data = nullptr;
    long size = 0;   // capacity handed to the facility; data holds size + 1 bytes
    ~Buffer() { os_free(data); }
};

// Reads the whole input; false after its message.
bool read_input(std::FILE* in, const char* program, const char* name, Buffer& buffer,
                std::FILE* err) {
    long count = 0;
    for (;;) {
        int c = getc_unlocked(in);
        if (c == EOF) break;
        if (c == 0) {
            message(err, "%s: \"%s\" is not a text file (NUL byte at offset %ld)\n", program, name,
                    count);
            return false;
        }
        buffer.data[count++] = char(c);
        if (count > buffer.size / 2) {
            long grown = buffer.size + kGrowth;
            char* bigger = grown <= kLargestBuffer
                               ? static_cast<char*>(os_realloc(buffer.data, std::size_t(grown) + 1))
                               : nullptr;
            if (bigger == nullptr) {
                message(err, "%s: could not allocate %ld byte buffer\n", program, grown + 1);
                return false;
            }
            buffer.data = bigger;
            buffer.size = grown;
        }
    }
    if (std::ferror(in)) {
        message(err, "%s: could not read \"%s\"\n", program, name);
        return false;
    }
    buffer.data[count] = '\0';
    return true;
}

bool write_all(std::FILE* out, const char* text) {
    std::size_t n = std::strlen(text);
    return std::fwrite(text, 1, n, out) == n && std::fflush(out) == 0;
}

// Writes the text to `path` through a temporary file beside it; false after its message.
bool write_output(const char* program, const char* path, const char* text, std::FILE* err) {
    // Write where a symbolic link points, and keep an existing file's permissions.
    std::string target = path;
    mode_t mode = 0;
    struct stat st{};
    if (stat(path, &st) == 0) {
        if (S_ISDIR(st.st_mode) || access(path, W_OK) != 0) {
            message(err, "%s: could not open \"%s\" for writing\n", program, path);
            return false;
        }
        if (char* real = realpath(path, nullptr)) {
            target = real;
            std::free(real);
        }
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    std::string temp;
    int fd = os_temp_file_beside(target, &temp);
    if (fd < 0) {
        message(err, "%s: could not open \"%s\" for writing\n", program, path);
        return false;
    }
    std::FILE* out = fdopen(fd, "w");
    if (out == nullptr) {
        close(fd);
        unlink(temp.c_str());
        message(err, "%s: could not open \"%s\" for writing\n", program, path);
        return false;
    }
    bool ok = write_all(out, text) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        unlink(temp.c_str());
        message(err, "%s: could not write \"%s\"\n", program, path);
        return false;
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        unlink(temp.c_str());
        message(err, "%s: could not open \"%s\" for writing\n", program, path);
        return false;
    }
    return true;
}

}  // namespace

int srcmend_main(int argc, const char* const* argv, std::FILE* in, std::FILE* out, std::FILE* err) {
    const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "srcmend";
    if (argc > 3 || (argc >= 2 && argv[1][0] == '-')) {
        message(err, "Usage: %s [infile [outfile]]\n", program);
        return 1;
    }
    const char* inName = argc >= 2 ? argv[1] : nullptr;
    const char* outName = argc >= 3 ? argv[2] : nullptr;

    // Input and the size of its buffer.
    std::FILE* input = in;
    long size = kGrowth;
    if (inName != nullptr) {
        input = std::fopen(inName, "r");
        struct stat st{};
        if (input != nullptr && (fstat(fileno(input), &st) != 0 || S_ISDIR(st.st_mode))) {
            std::fclose(input);
            input = nullptr;
        }
        if (input == nullptr) {
            message(err, "%s: could not open \"%s\" for reading\n", program, inName);
            return 1;
        }
        // A file that cannot seek (a pipe) starts with the default size and grows.
        if (std::fseek(input, 0, SEEK_END) == 0) {
            long length = std::ftell(input);
            if (length > 0) size = length > kLargestBuffer / 2 ? kLargestBuffer + 1 : 2 * length;
            if (size < kMinimumBuffer) size = kMinimumBuffer;
            std::rewind(input);
        }
    }
    struct CloseInput {
        std::FILE* f;
        ~CloseInput() { if (f != nullptr) std::fclose(f); }
    } closeInput{inName != nullptr ? input : nullptr};

    Buffer buffer;
    buffer.size = size;
    if (size <= kLargestBuffer) buffer.data = static_cast<char*>(os_alloc(std::size_t(size) + 1));
    if (buffer.data == nullptr) {
        message(err, "%s: could not allocate %ld byte buffer\n", program, size + 1);
        return 1;
    }
    if (!read_input(input, program, inName != nullptr ? inName : "standard input", buffer, err))
        return 1;

    // The update, with every library error ending the run.
    library_init();
    int status = 0;
    try {
        ErrorGuard memoryGuard;
        try {
            TovuHandlerGuard guard;
            update_source(buffer.data, std::int32_t(buffer.size), warn, err);
        } catch (const TovuError& e) {
            message(err, "srcmend: %s\n", e.message.c_str());
            status = 1;
        }
    } catch (const ErrorJump&) {
        message(err, "srcmend: out of memory\n");
        status = 1;
    }
    storage_reset();
    if (status != 0) return status;

    if (outName == nullptr) {
        if (!write_all(out, buffer.data)) {
            message(err, "%s: could not write \"%s\"\n", program, "standard output");
            return 1;
        }
        return 0;
    }
    return write_output(program, outName, buffer.data, err) ? 0 : 1;
}
