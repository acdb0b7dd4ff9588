#include "supervision/dependency_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A multi-string from its entries; the list ends in one more zero byte.
std::string List(std::initializer_list<const char*> entries)
{
    std::string list;
    for (const char* entry : entries) {
        list += entry;
        list += '\0';
    }
    list += '\0';
    return list;
}

// The destination starts filled with a marker so untouched bytes show.
struct Buffer {
    char bytes[kServiceConfigBufferSize];
    Buffer() { std::memset(bytes, 'X', sizeof bytes); }
    std::string List() const
    {
        std::string out;
        for (const char* entry = bytes; *entry; entry += std::strlen(entry) + 1)
            out.append(entry, std::strlen(entry) + 1);
        return out + '\0';
    }
};

int Add(const std::string& source, Buffer& destination, const char* name = "MERLOWSP")
{
    return AddToDependencyList(source.data(), source.size(), destination.bytes,
                               sizeof destination.bytes, name);
}

int Remove(const std::string& source, Buffer& destination, const char* name = "MERLOWSP")
{
    return RemoveFromDependencyList(source.data(), source.size(), destination.bytes,
                                    sizeof destination.bytes, name);
}

}  // namespace

TEST(AddToDependencyList, AppendsAfterTheExistingEntries)
{
    Buffer out;
    ASSERT_EQ(1, Add(List({"Tcpip"}), out));
    EXPECT_EQ(std::string("Tcpip\0MERLOWSP\0\0", 16), std::string(out.bytes, 16));
}

TEST(AddToDependencyList, EmptyListGetsTheNameAlone)
{
    Buffer out;
    ASSERT_EQ(1, Add(List({}), out));
    EXPECT_EQ(std::string("MERLOWSP\0\0", 10), std::string(out.bytes, 10));
    EXPECT_EQ('X', out.bytes[10]);
}

TEST(AddToDependencyList, NameAlreadyListedLeavesTheDestinationUntouched)
{
    Buffer out;
    EXPECT_EQ(0, Add(List({"Tcpip", "MERLOWSP", "+Group"}), out));
    EXPECT_EQ('X', out.bytes[0]);
}

TEST(AddToDependencyList, OtherLetterCasesAreOtherNames)
{
    Buffer out;
    ASSERT_EQ(1, Add(List({"merlowsp"}), out));
    EXPECT_EQ(List({"merlowsp", "MERLOWSP"}), out.List());
}

TEST(AddToDependencyList, ListNotEndedWithinItsBytesIsNotEdited)
{
    const std::string unterminated("Tcpip\0Rpc", 9);  // no final zero bytes
    Buffer out;
    EXPECT_EQ(0, Add(unterminated, out));
    EXPECT_EQ('X', out.bytes[0]);
}

TEST(AddToDependencyList, EntryOverTheWorkingCopyIsNotEdited)
{
    const std::string longest(kDependencyEntryMax, 'a');
    const std::string tooLong(kDependencyEntryMax + 1, 'a');
    Buffer out;
    EXPECT_EQ(1, Add(List({longest.c_str()}), out));
    Buffer other;
    EXPECT_EQ(0, Add(List({tooLong.c_str()}), other));
    EXPECT_EQ('X', other.bytes[0]);
}

TEST(AddToDependencyList, NewListThatWouldNotFitIsNotWritten)
{
    // 2040 bytes of entries leave no room for the name in a 2048-byte buffer.
    std::string source;
    for (int i = 0; i < 10; ++i)
        source += std::string(200, 'e') + '\0';
    source += std::string(29, 'f') + '\0';
    source += '\0';
    ASSERT_EQ(2041u, source.size());
    Buffer out;
    EXPECT_EQ(0, Add(source, out));
    EXPECT_EQ('X', out.bytes[0]);
    char small[16];
    const std::string list = List({"Tcpip"});
    EXPECT_EQ(1, AddToDependencyList(list.data(), list.size(), small, 16, "MERLOWSP"));
    EXPECT_EQ(0, AddToDependencyList(list.data(), list.size(), small, 15, "MERLOWSP"));
}

TEST(RemoveFromDependencyList, OnlyEntryLeavesTheEmptyList)
{
    Buffer out;
    ASSERT_EQ(1, Remove(List({"MERLOWSP"}), out));
    EXPECT_EQ('\0', out.bytes[0]);
}

TEST(RemoveFromDependencyList, EveryOccurrenceGoes)
{
    Buffer out;
    ASSERT_EQ(1, Remove(List({"MERLOWSP", "Tcpip", "MERLOWSP"}), out));
    EXPECT_EQ(std::string("Tcpip\0\0", 7), std::string(out.bytes, 7));
}

TEST(RemoveFromDependencyList, OrderOfTheOthersIsKept)
{
    Buffer out;
    ASSERT_EQ(1, Remove(List({"A", "MERLOWSP", "+G", "B"}), out));
    EXPECT_EQ(List({"A", "+G", "B"}), out.List());
}

TEST(RemoveFromDependencyList, EmptyListOrNameAbsentIsNoChange)
{
    Buffer out;
    EXPECT_EQ(0, Remove(List({}), out));
    EXPECT_EQ('X', out.bytes[0]);
    EXPECT_EQ(0, Remove(List({"Tcpip", "merlowsp"}), out));
}

TEST(RemoveFromDependencyList, MalformedListIsNoChange)
{
    const std::string unterminated("MERLOWSP\0Tcp", 12);
    Buffer out;
    EXPECT_EQ(0, Remove(unterminated, out));
    EXPECT_EQ('X', out.bytes[0]);
}
