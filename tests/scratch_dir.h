// A folder of a test's own, made afresh under the system's temporary folder
// and removed with all it holds, so that tests can run side by side.
#ifndef SCRATCH_DIR_H
#define SCRATCH_DIR_H

#include <cstdlib>
#include <filesystem>
#include <string>

struct scratch_dir {
    std::string path;

    scratch_dir()
    {
        std::string name = (std::filesystem::temp_directory_path() / "main_llist_test_XXXXXX").string();
        path = mkdtemp(&name[0]) != nullptr ? name : "";
    }
    ~scratch_dir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    scratch_dir(const scratch_dir &) = delete;
    scratch_dir &operator=(const scratch_dir &) = delete;

    std::string operator/(const std::string &name) const { return path + "/" + name; }
};

#endif
