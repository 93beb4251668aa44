#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillbay {

// A small zip archive built in memory: each entry deflated, or stored when
// deflating would not make it smaller. Meant for reports of a few megabytes
// (no zip64).
class ZipArchive {
public:
    // `name` is the path inside the archive (UTF-8, "/" separated).
    void add(const std::string& name, const std::string& bytes);

    // The whole archive: the entries, the central directory and its end record.
    std::string bytes() const;

    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::string name;
        std::string data;     // as stored in the archive
        std::uint16_t method; // 0 stored, 8 deflated
        std::uint32_t crc;
        std::uint32_t size;   // uncompressed
    };
    std::vector<Entry> entries_;
};

} // namespace quillbay
