#include "server/market/bar_store.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vq::market {

namespace {

constexpr size_t kHeader = 16;

bool readHeader(std::ifstream& in, BarFileKind kind, uint64_t& count) {
    char head[kHeader];
    if (!in.read(head, kHeader) || std::memcmp(head, "VQB1", 4) != 0)
        return false;
    uint32_t k = 0;
    std::memcpy(&k, head + 4, 4);
    std::memcpy(&count, head + 8, 8);
    if (k != uint32_t(kind))
        return false;
    in.seekg(0, std::ios::end);
    const auto size = uint64_t(in.tellg());
    return size == kHeader + count * sizeof(Bar);
}

}  // namespace

std::string encodeBars(BarFileKind kind, const std::vector<Bar>& bars) {
    std::string bytes("VQB1", 4);
    const uint32_t k = uint32_t(kind);
    const uint64_t n = bars.size();
    bytes.append(reinterpret_cast<const char*>(&k), 4);
    bytes.append(reinterpret_cast<const char*>(&n), 8);
    bytes.append(reinterpret_cast<const char*>(bars.data()), bars.size() * sizeof(Bar));
    return bytes;
}

bool readBarFile(const std::string& path, BarFileKind kind, std::vector<Bar>& out) {
    return readLastBars(path, kind, SIZE_MAX, out);
}

bool readLastBars(const std::string& path, BarFileKind kind, size_t n, std::vector<Bar>& out) {
    out.clear();
    std::ifstream in(path, std::ios::binary);
    uint64_t count = 0;
    if (!in || !readHeader(in, kind, count))
        return false;
    const uint64_t take = std::min<uint64_t>(count, n);
    out.resize(size_t(take));
    in.seekg(std::streamoff(kHeader + (count - take) * sizeof(Bar)));
    return bool(in.read(reinterpret_cast<char*>(out.data()), std::streamsize(take * sizeof(Bar))));
}

bool writeFileAtomically(const std::string& path, const std::string& bytes) {
    const std::string tmp = path + ".part";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        out.flush();
        if (!out.good())
            return false;
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    return !ec;
}

std::string readWholeFile(const std::string& path, bool* ok) {
    std::ifstream in(path, std::ios::binary);
    if (ok)
        *ok = bool(in);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace vq::market
