// A folder of a test's own, made afresh under the system's temporary folder
// (TMPDIR, or /tmp) and removed with all it holds, so that tests can run
// side by side.
//
// When no folder can be made there (a full or read-only TMPDIR), the
// constructor throws, and GoogleTest fails the test at once: no test ever
// gets an empty or relative path, and the destructor removes only the
// folder that was made.
#ifndef SCRATCH_DIR_H
#define SCRATCH_DIR_H

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

struct scratch_dir {
    std::string path; // absolute, and made by this object

    scratch_dir()
    {
        std::error_code error;
        std::filesystem::path folder = std::filesystem::temp_directory_path(error);
        std::string name = std::filesystem::absolute(folder / "main_llist_test_XXXXXX", error).string();
        if (error || mkdtemp(&name[0]) == nullptr)
            throw std::runtime_error("cannot make a scratch folder under " + folder.string() + ": " +
                                     (error ? error.message() : std::strerror(errno)));
        path = name;
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
