#pragma once

// What the fuzz targets share: a check that ends the run on a broken
// property, a reader that takes the input apart from its front, and the
// character starts of a text in code page 932.

#include "common/dbcs.h"

#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, \
                         #condition);                                                  \
            std::abort();                                                              \
        }                                                                              \
    } while (0)

// Numbers from the front of the input, zero once it is used up; the rest
// as bytes.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

    std::int32_t Int32()
    {
        std::uint32_t value = 0;
        for (int k = 0; k < 4; ++k)
            value |= static_cast<std::uint32_t>(Byte()) << (8 * k);
        return static_cast<std::int32_t>(value);
    }

    // Up to the next NUL (taken too) or the end.
    std::string Text()
    {
        std::string text;
        while (at_ < size_ && data_[at_] != 0)
            text += static_cast<char>(data_[at_++]);
        if (at_ < size_)
            ++at_;
        return text;
    }

    bool AtEnd() const { return at_ >= size_; }

    std::string Rest()
    {
        std::string rest(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
        at_ = size_;
        return rest;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Whether each offset of text (its terminating NUL included) starts a
// character: a lead byte and the byte after it are one character, unless
// that byte ends the text.
inline std::vector<bool> CharacterStarts(const std::string& text)
{
    std::vector<bool> starts(text.size() + 1, false);
    for (std::size_t at = 0; at <= text.size();) {
        starts[at] = true;
        at += at + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
    }
    return starts;
}

// The C runtime's atol: blanks, a sign, decimal digits, 32-bit saturation.
inline std::int32_t Atol(const std::string& text)
{
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

// The bytes of a file; "" when it cannot be read.
inline std::string FileBytes(const char* path)
{
    std::string bytes;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return bytes;
    char block[4096];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0)
        bytes.append(block, got);
    std::fclose(file);
    return bytes;
}

inline void WriteFileBytes(const char* path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path, "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    FUZZ_CHECK(std::fclose(file) == 0);
}

// A file name in a folder of its own under TMPDIR (/tmp without it), made
// once per process and removed with its files when the process exits.
inline std::string ScratchPath(const char* name)
{
    static std::string folder;
    if (folder.empty()) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") +
                              "/merlowsp-fuzz-XXXXXX";
        FUZZ_CHECK(mkdtemp(&pattern[0]) != nullptr);
        folder = pattern;
        std::atexit([] {
            if (DIR* dir = opendir(folder.c_str())) {
                while (const dirent* entry = readdir(dir))
                    if (entry->d_name[0] != '.')
                        std::remove((folder + "/" + entry->d_name).c_str());
                closedir(dir);
            }
            rmdir(folder.c_str());
        });
    }
    return folder + "/" + name;
}
