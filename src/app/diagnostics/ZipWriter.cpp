#include "app/diagnostics/ZipWriter.hpp"

#include <archive.h>
#include <archive_entry.h>
#include <glib.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace quillbay {

namespace {

struct ArchiveFree {
    void operator()(archive* zip) const { archive_write_free(zip); }
};
struct EntryFree {
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};

std::optional<std::string> archiveFailure(archive* zip)
{
    const char* text = archive_error_string(zip);
    return std::string(text ? text : "the archive could not be written");
}

std::optional<std::string> writeEntries(int fd, const std::vector<ZipEntry>& entries)
{
    std::unique_ptr<archive, ArchiveFree> zip(archive_write_new());
    if (archive_write_set_format_zip(zip.get()) != ARCHIVE_OK || archive_write_zip_set_compression_deflate(zip.get()) != ARCHIVE_OK ||
        archive_write_open_fd(zip.get(), fd) != ARCHIVE_OK)
        return archiveFailure(zip.get());
    const time_t now = std::time(nullptr);
    for (const auto& [name, bytes] : entries) {
        std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
        archive_entry_set_pathname_utf8(entry.get(), name.c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0600);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(bytes.size()));
        archive_entry_set_mtime(entry.get(), now, 0);
        if (archive_write_header(zip.get(), entry.get()) != ARCHIVE_OK ||
            archive_write_data(zip.get(), bytes.data(), bytes.size()) != static_cast<la_ssize_t>(bytes.size()))
            return archiveFailure(zip.get());
    }
    if (archive_write_close(zip.get()) != ARCHIVE_OK)
        return archiveFailure(zip.get());
    return std::nullopt;
}

} // namespace

std::optional<std::string> writeZip(const std::string& path, const std::vector<ZipEntry>& entries)
{
    g_autofree gchar* folder = g_path_get_dirname(path.c_str());
    g_autofree gchar* temporary = g_build_filename(folder, ".quillbay-diagnostics-XXXXXX", nullptr);
    const int fd = g_mkstemp_full(temporary, O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0)
        return std::string(std::strerror(errno));
    auto failure = writeEntries(fd, entries);
    if (!failure && ::fsync(fd) != 0)
        failure = std::strerror(errno);
    if (::close(fd) != 0 && !failure)
        failure = std::strerror(errno);
    if (!failure && ::rename(temporary, path.c_str()) != 0)
        failure = std::strerror(errno);
    if (failure)
        ::unlink(temporary);
    return failure;
}

} // namespace quillbay
