#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tb_error.h"

namespace fs = std::filesystem;

namespace LV_Fuzz {

namespace {

class Scratch {
public:
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/lumovox-fuzz-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back(0);
        if (!mkdtemp(buffer.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        Path = buffer.data();
        std::string data = Path + "/data";
        fs::create_directories(data);
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        setenv("HOME", Path.c_str(), 1);
        TB_Error::Init();
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(Path, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string Path;
};

}  // namespace

const std::string& ScratchFolder() {
    static Scratch g_scratch;
    return g_scratch.Path;
}

std::string ScratchPath(const std::string& name) {
    return ScratchFolder() + "/" + name;
}

std::string DataFolder() {
    std::string folder = ScratchPath("data/LumoVox");
    fs::create_directories(folder);
    return folder;
}

TB_Uri ToUri(const std::string& path) {
    return TB_Uri(TB_String(path.c_str(), static_cast<tb_int64>(path.size())));
}

void WriteFile(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) {
        Fail("cannot write the input file");
    }
}

void EmptyFolder(const std::string& folder) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        fs::remove_all(entry.path(), error);
    }
}

void CopySample(const std::string& name, const std::string& to) {
    fs::path from = fs::path(LUMOVOX_SOURCE_DIR) / "samples" / name;
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        fs::path target = fs::path(to) / fs::relative(entry.path(), from);
        if (entry.is_directory()) {
            fs::create_directories(target);
            continue;
        }
        fs::create_directories(target.parent_path());
        std::string extension = entry.path().extension().string();
        if (extension == ".wav" || extension == ".mp3" || extension == ".m4a") {
            std::ofstream(target, std::ios::binary | std::ios::trunc);
        } else {
            fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
        }
    }
}

void ForgetErrors() {
    TB_Error::Shutdown();
    TB_Error::Init();
}

void Fail(const char* reason) {
    std::fprintf(stderr, "fuzz finding: %s\n", reason);
    std::fflush(stderr);
    std::abort();
}

}  // namespace LV_Fuzz
