#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "lv_licenses.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

const std::string kBinary = LUMOVOX_BINARY_DIR;
const std::string kSource = LUMOVOX_SOURCE_DIR;

std::string Capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return out;
    }
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, count);
    }
    pclose(pipe);
    return out;
}

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string TrimNewlines(std::string text) {
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

// The shared objects ldd lists for a program, the loader included.
std::set<std::string> LddObjects(const std::string& program) {
    std::set<std::string> objects;
    for (const std::string& line : Lines(Capture("ldd " + Quote(program) + " 2>&1"))) {
        EXPECT_EQ(line.find("not found"), std::string::npos) << line;
        size_t arrow = line.find("=> ");
        size_t start = line.find('/', arrow == std::string::npos ? 0 : arrow);
        if (start != std::string::npos) {
            objects.insert(line.substr(start, line.find(" (", start) - start));
        }
    }
    return objects;
}

// The names dpkg may list a file under: with merged /usr, /lib is /usr/lib, and packages
// list either a library's symbolic link or its target.
std::vector<std::string> PathVariants(const std::string& path) {
    std::error_code ignored;
    std::vector<std::string> variants;
    for (const std::string& name : {path, fs::canonical(path, ignored).string()}) {
        for (const std::string& form :
             {name, name.rfind("/usr/", 0) == 0 ? name.substr(4) : "/usr" + name}) {
            if (!form.empty() &&
                std::find(variants.begin(), variants.end(), form) == variants.end()) {
                variants.push_back(form);
            }
        }
    }
    return variants;
}

// Maps every object to its Debian package; objects no package owns map to "".
std::map<std::string, std::string> PackagesOf(const std::set<std::string>& objects) {
    std::string command = "dpkg -S";
    for (const std::string& object : objects) {
        for (const std::string& variant : PathVariants(object)) {
            command += " " + Quote(variant);
        }
    }
    std::map<std::string, std::string> owner;
    for (const std::string& line : Lines(Capture(command + " 2>/dev/null"))) {
        size_t colon = line.find(": ");
        if (line.rfind("diversion by", 0) == 0 || colon == std::string::npos) {
            continue;
        }
        std::string package = line.substr(0, line.find_first_of(":,"));
        owner.emplace(line.substr(colon + 2), package);
    }
    std::map<std::string, std::string> packages;
    for (const std::string& object : objects) {
        packages[object] = "";
        for (const std::string& variant : PathVariants(object)) {
            if (owner.count(variant)) {
                packages[object] = owner[variant];
                break;
            }
        }
    }
    return packages;
}

// The packages named by the "Debian package(s): a, b" line of a section: a "[name]" line,
// then its "License: " line.
std::set<std::string> PackagesWithSections() {
    std::set<std::string> sections;
    std::vector<std::string> lines = Lines(LV_LicenseText());
    for (size_t i = 2; i < lines.size(); ++i) {
        const std::string& heading = lines[i - 2];
        if (heading.size() < 3 || heading.front() != '[' || heading.back() != ']' ||
            lines[i - 1].rfind("License: ", 0) != 0) {
            continue;
        }
        for (const std::string label : {"Debian package: ", "Debian packages: "}) {
            if (lines[i].rfind(label, 0) != 0) {
                continue;
            }
            std::string list = lines[i].substr(label.size());
            for (size_t start = 0; start < list.size();) {
                size_t comma = list.find(", ", start);
                sections.insert(list.substr(start, comma - start));
                start = comma == std::string::npos ? list.size() : comma + 2;
            }
        }
    }
    return sections;
}

// Fails naming every object without a Debian package, every package without a section and
// every package whose copyright file the text does not hold verbatim.
void ExpectSectionsFor(const std::set<std::string>& objects, const std::string& what) {
    std::set<std::string> sections = PackagesWithSections();
    const std::string text = LV_LicenseText();
    std::set<std::string> unowned, missing, notCopied;
    for (const auto& [object, package] : PackagesOf(objects)) {
        if (package.empty()) {
            unowned.insert(object);
        } else if (!sections.count(package)) {
            missing.insert(package);
        } else {
            // Packages that share a copyright file refer to the one section printing it.
            std::string copyright =
                TrimNewlines(ReadFile("/usr/share/doc/" + package + "/copyright"));
            if (copyright.empty() || text.find(copyright) == std::string::npos) {
                notCopied.insert(package);
            }
        }
    }
    auto join = [](const std::set<std::string>& names) {
        std::string joined;
        for (const std::string& name : names) {
            joined += " " + name;
        }
        return joined;
    };
    EXPECT_TRUE(unowned.empty()) << what << ": no Debian package owns" << join(unowned);
    EXPECT_TRUE(missing.empty()) << what << ": no licence section for" << join(missing);
    EXPECT_TRUE(notCopied.empty()) << what << ": copyright file not copied for" << join(notCopied);
}

TEST(Licenses, OurLicenceOpensAWellFormedText) {
    const std::string text = LV_LicenseText();
    ASSERT_EQ(text.size(), LV_LicenseTextSize());  // one terminating zero, none inside
    std::string ours = ReadFile(kSource + "/LICENSE");
    ASSERT_NE(ours.find("Copyright (c) 2026 The LumoVox developers"), std::string::npos);
    EXPECT_EQ(text.substr(0, ours.size() + 24), "[LumoVox]\nLicense: MIT\n\n" + ours);

    // The common licences come after the sections naming them; a section whose copyright
    // file was printed before names a section above it.
    std::map<std::string, size_t> headings;
    size_t offset = 0;
    for (const std::string& line : Lines(text)) {
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            headings.emplace(line, offset);
        }
        offset += line.size() + 1;
    }
    auto headingAt = [&](size_t open) {
        return text.substr(open, text.find(']', open) - open + 1);
    };
    const std::string common = " [Common licence ", above = "printed above under ";
    for (size_t at = text.find(common); at != std::string::npos; at = text.find(common, at + 1)) {
        std::string heading = headingAt(at + 1);
        EXPECT_TRUE(headings.count(heading) && headings[heading] > at) << heading;
    }
    for (size_t at = text.find(above); at != std::string::npos; at = text.find(above, at + 1)) {
        std::string heading = headingAt(at + above.size());
        EXPECT_TRUE(headings.count(heading) && headings[heading] < at) << heading;
    }
}

TEST(Licenses, EveryLibraryTheProgramsLinkHasASection) {
    for (const char* program : {"/app/lumovox", "/app/lumovox-check"}) {
        std::set<std::string> objects = LddObjects(kBinary + program);
        ASSERT_GT(objects.size(), 10u) << program;
        ExpectSectionsFor(objects, program);
    }
}

// Plugins are opened at run time, so no ldd listing names them: the loader reports every
// object it initialises while lumovox-check opens a WAV, an MP3 and an M4A clip the way the
// program does (GCC gives every shared object an initialiser, so none is left out).
TEST(Licenses, EveryLibraryLoadedToPlayWavMp3AndM4aHasASection) {
    TempFolder temp;
    const std::string tool = kBinary + "/app/lumovox-check";
    const std::string voice = kSource + "/samples/hikari/voice/";
    pid_t child = fork();
    if (child == 0) {
        int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        setenv("LD_DEBUG", "files", 1);
        setenv("LD_DEBUG_OUTPUT", (temp / "ld").c_str(), 1);
        execl(tool.c_str(), tool.c_str(), "--probe-audio", (voice + "greet_01.wav").c_str(),
              (voice + "greet_02.mp3").c_str(), (voice + "joy_01.m4a").c_str(), nullptr);
        _exit(127);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    // Only the tool's own report: GStreamer's plugin scanner writes one of its own.
    std::set<std::string> objects;
    const std::string marker = "calling init: ";
    for (const std::string& line : Lines(ReadFile(temp / ("ld." + std::to_string(child))))) {
        size_t at = line.find(marker);
        if (at != std::string::npos && line.find(tool) == std::string::npos) {
            objects.insert(line.substr(at + marker.size()));
        }
    }
    std::set<std::string> plugins;
    for (const std::string& object : objects) {
        if (object.find("/gstreamer-1.0/") != std::string::npos) {
            plugins.insert(fs::path(object).filename());
        }
    }
    for (const char* plugin : {"libgstplayback.so", "libgstwavparse.so", "libgstisomp4.so"}) {
        EXPECT_TRUE(plugins.count(plugin)) << plugin << " was not loaded";
    }
    ExpectSectionsFor(objects, "playback");
}

}  // namespace
