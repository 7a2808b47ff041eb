#include "bench/bench_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#define ZLIB_CONST
#include <zlib.h>

namespace morvane::bench {

void Defaults(benchmark::internal::Benchmark* b) {
    b->UseRealTime()->Unit(benchmark::kMicrosecond);
}

gen::StateOptions FaceState(int faces, int others) {
    gen::StateOptions options;
    options.faces = faces;
    options.others = others;
    return options;
}

ScratchFolder::ScratchFolder() {
    std::error_code error;
    std::string pattern =
        (std::filesystem::temp_directory_path(error) / "morvane-bench-XXXXXX").string();
    if (!error && ::mkdtemp(pattern.data()) != nullptr) {
        m_path = pattern;
    }
}

ScratchFolder::~ScratchFolder() {
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

bool WriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    return WriteWithFwrite(path, bytes, false);
}

std::vector<uint8_t> ReadWithRead(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0) {
        return {};
    }
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return {};
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    bytes.resize(done);
    return bytes;
}

bool WriteWithFwrite(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                     bool flush) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(bytes.data(), bytes.size(), 1, file) == 1;
    if (flush) {
        ok = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0 && ok;
    }
    return std::fclose(file) == 0 && ok;
}

std::vector<uint8_t> Deflate(std::span<const uint8_t> bytes, int level) {
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(bytes.size())));
    stream.next_in = bytes.data();
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(out.size() - stream.avail_out);
    deflateEnd(&stream);
    return out;
}

std::vector<uint8_t> Inflate(std::span<const uint8_t> compressed, size_t size) {
    z_stream stream{};
    inflateInit2(&stream, 16 + MAX_WBITS);
    std::vector<uint8_t> out(size);
    stream.next_in = compressed.data();
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    return out;
}

}  // namespace morvane::bench
