#pragma once

#include <cstdio>

// Move-only owner of a C runtime stream, closed exactly once on every path.
// A writer to whom the close matters calls close() and looks at its result;
// that alone does not prove the data written, as not every runtime's fclose
// reports a failed flush (Wine's gives 0): such writers also flush and
// check the stream themselves before.
class unique_file {
public:
    unique_file() = default;
    explicit unique_file(std::FILE* file) : file_(file) {}
    ~unique_file()
    {
        if (file_ != nullptr)
            std::fclose(file_);
    }

    unique_file(unique_file&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
    unique_file& operator=(unique_file&& other) noexcept
    {
        if (this != &other) {
            close();
            file_ = other.file_;
            other.file_ = nullptr;
        }
        return *this;
    }
    unique_file(const unique_file&) = delete;
    unique_file& operator=(const unique_file&) = delete;

    std::FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }

    // Closes the stream now: true when fclose succeeded (or nothing was
    // open).
    bool close()
    {
        std::FILE* file = file_;
        file_ = nullptr;
        return file == nullptr || std::fclose(file) == 0;
    }

private:
    std::FILE* file_ = nullptr;
};
