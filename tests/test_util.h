#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

// A fresh folder under the system temporary folder, removed with the object.
class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lumovox-test-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back(0);
        char* made = mkdtemp(buffer.data());
        m_path = made ? made : "";
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A 16-bit PCM WAV file's bytes: `frames` frames of `channels` equal samples from `sample`,
// with an unread chunk of `padding` bytes before the sound when asked.
inline std::string PcmWav(uint32_t rate, uint16_t channels, uint32_t frames,
                          const std::function<int16_t(uint32_t frame)>& sample,
                          size_t padding = 0) {
    std::string bytes;
    auto put = [&bytes](uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
    };
    uint32_t data = frames * channels * 2;
    bytes += "RIFF";
    put(static_cast<uint32_t>(36 + (padding ? 8 + padding : 0) + data), 4);
    bytes += "WAVEfmt ";
    put(16, 4);
    put(1, 2);  // PCM
    put(channels, 2);
    put(rate, 4);
    put(rate * channels * 2, 4);
    put(channels * 2, 2);
    put(16, 2);
    if (padding) {
        bytes += "LIST";
        put(static_cast<uint32_t>(padding), 4);
        bytes.append(padding, 'x');
    }
    bytes += "data";
    put(data, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        auto value = static_cast<uint16_t>(sample(i));
        for (uint16_t c = 0; c < channels; ++c) {
            put(value, 2);
        }
    }
    return bytes;
}
