#include "app/diagnostics/ZipArchive.hpp"

#include <zlib.h>

#include <ctime>

namespace quillbay {

namespace {

constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kUtf8Names = 1 << 11;
constexpr std::uint16_t kVersion = 20;  // 2.0: deflate

void put16(std::string& out, std::uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>(value >> 8));
}

void put32(std::string& out, std::uint32_t value)
{
    put16(out, static_cast<std::uint16_t>(value & 0xffff));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

// Raw deflate (no zlib header), as zip wants it; empty when it fails.
std::string deflated(const std::string& bytes)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END ? out : std::string();
}

// The MS-DOS date and time of now, local time.
std::pair<std::uint16_t, std::uint16_t> dosNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const auto time = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    const auto date = static_cast<std::uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    return {time, date};
}

} // namespace

void ZipArchive::add(const std::string& name, const std::string& bytes)
{
    Entry entry{name, deflated(bytes), kDeflated, 0, static_cast<std::uint32_t>(bytes.size())};
    entry.crc = static_cast<std::uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
    if (entry.data.empty() || entry.data.size() >= bytes.size()) {
        entry.data = bytes;
        entry.method = kStored;
    }
    entries_.push_back(std::move(entry));
}

std::string ZipArchive::bytes() const
{
    const auto [time, date] = dosNow();
    std::string out;
    std::string directory;
    for (const Entry& entry : entries_) {
        const auto offset = static_cast<std::uint32_t>(out.size());
        auto header = [&](std::string& to, bool central) {
            put32(to, central ? 0x02014b50 : 0x04034b50);
            if (central)
                put16(to, (3 << 8) | kVersion);  // made by Unix, for the file mode below
            put16(to, kVersion);      // needed to extract
            put16(to, kUtf8Names);
            put16(to, entry.method);
            put16(to, time);
            put16(to, date);
            put32(to, entry.crc);
            put32(to, static_cast<std::uint32_t>(entry.data.size()));
            put32(to, entry.size);
            put16(to, static_cast<std::uint16_t>(entry.name.size()));
            put16(to, 0);  // extra field
            if (central) {
                put16(to, 0);       // comment
                put16(to, 0);       // disk
                put16(to, 0);       // internal attributes
                put32(to, 0100644u << 16);  // external: a regular file, rw-r--r--
                put32(to, offset);
            }
            to += entry.name;
        };
        header(out, false);
        out += entry.data;
        header(directory, true);
    }
    const auto directoryOffset = static_cast<std::uint32_t>(out.size());
    out += directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<std::uint16_t>(entries_.size()));
    put16(out, static_cast<std::uint16_t>(entries_.size()));
    put32(out, static_cast<std::uint32_t>(directory.size()));
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

} // namespace quillbay
