#pragma once
// A private temporary folder for a test, removed with everything in it.

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <cstdlib>
#include <sys/stat.h>

namespace dimwell::test {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "dimwell-test-XXXXXX").string();
        if (mkdtemp(pattern.data())) {
            path_ = pattern;
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    /// Writes `text` to `name` (folders made as needed); `mode` as given.
    std::string write(const std::string& name, const std::string& text, unsigned mode = 0644) const {
        const std::string file = *this / name;
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        std::ofstream(file, std::ios::binary) << text;
        chmod(file.c_str(), mode);
        return file;
    }

private:
    std::string path_;
};

} // namespace dimwell::test
