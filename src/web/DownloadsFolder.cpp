#include "web/DownloadsFolder.hpp"

#include <glib.h>

namespace quillbay {

std::string downloadsFolder()
{
    const char* downloads = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
    if (downloads && g_file_test(downloads, G_FILE_TEST_IS_DIR))
        return downloads;
    return g_get_home_dir();
}

} // namespace quillbay
