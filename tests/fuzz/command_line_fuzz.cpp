// serovox's command line, argv made of the input's NUL-separated parts:
// no argument gives the usage; the first argument that starts with "-" and
// is no -P0 to -P3 gives "Illegal parameter - <arg>." and status 2;
// otherwise the last -P option picks the port (COM1 without one) and the
// last other argument is the command, cut to 62 bytes, then a carriage
// return, zero bytes after it.

#include "fuzz_support.h"
#include "serial/command_line.h"

#include <algorithm>
#include <memory>

namespace {

constexpr int kMaxArguments = 16;

// What err received.
class Captured {
public:
    Captured() : stream_(open_memstream(&text_, &size_)) { FUZZ_CHECK(stream_ != nullptr); }
    ~Captured()
    {
        if (stream_ != nullptr)
            std::fclose(stream_);
        std::free(text_);
    }
    std::FILE* stream() { return stream_; }
    std::string Text()
    {
        std::fclose(stream_);
        stream_ = nullptr;
        return std::string(text_, size_);
    }

private:
    char* text_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* stream_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    // Each argument in a block of exactly its size, so that a read past its
    // NUL is caught.
    std::vector<std::unique_ptr<char[]>> blocks;
    std::vector<std::string> arguments;
    std::vector<char*> argv;
    static char program[] = "serovox";
    argv.push_back(program);
    while (!input.AtEnd() && arguments.size() < kMaxArguments) {
        arguments.push_back(input.Text());
        const std::string& argument = arguments.back();
        blocks.emplace_back(new char[argument.size() + 1]);
        std::memcpy(blocks.back().get(), argument.c_str(), argument.size() + 1);
        argv.push_back(blocks.back().get());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(argv.size()) - 1;

    Request request;
    std::memset(&request, 0x5A, sizeof request);
    Captured err;
    const int status = ParseCommandLine(argc, argv.data(), &request, err.stream());
    const std::string message = err.Text();

    if (arguments.empty()) {
        FUZZ_CHECK(status == 1);
        FUZZ_CHECK(message.compare(0, 16, "Usage - serovox ") == 0);
        return 0;
    }
    char port = '1';
    Request expected;
    std::memset(&expected, 0, sizeof expected);
    for (const std::string& argument : arguments) {
        if (argument.empty() || argument[0] != '-') {
            std::memset(expected.command, 0, sizeof expected.command);
            const std::size_t length = std::min<std::size_t>(argument.size(), 62);
            std::memcpy(expected.command, argument.data(), length);
            expected.command[length] = '\r';
        } else if (argument.size() >= 3 && argument[1] == 'P' && argument[2] >= '0' &&
                   argument[2] <= '3') {
            port = static_cast<char>(argument[2] + 1);
        } else {
            FUZZ_CHECK(status == 2);
            FUZZ_CHECK(message == "Illegal parameter - " + argument + ".\n");
            return 0;
        }
    }
    FUZZ_CHECK(status == 0);
    FUZZ_CHECK(message.empty());
    std::memcpy(expected.portName, "COM1:", sizeof "COM1:");
    expected.portName[3] = port;
    FUZZ_CHECK(std::memcmp(&request, &expected, sizeof request) == 0);
    return 0;
}
