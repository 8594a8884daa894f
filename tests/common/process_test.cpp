// The process runner: arguments arrive unchanged, output and exit status
// come back, a missing program is told apart from a failing one. On
// Windows the quoting is read back by the system's own CommandLineToArgvW.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/process.h"

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

namespace {

// Texts that break naive quoting: blanks, quotes, backslashes before a
// quote and at the end, an empty argument, UTF-8.
const std::vector<std::string> awkward = {
    "plain",       "two words",         "",
    "say \"hi\"",  "C:\\dir\\",         "C:\\dir with space\\",
    "a\\\\\"b",    "\\\\server\\share", "tab\there",
    "Łódź Zażółć", "--opt=\"x y\"\\"};

#ifdef _WIN32

std::string utf8(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], size, nullptr, nullptr);
    result.resize(static_cast<size_t>(size) - 1);
    return result;
}

TEST(Process, CommandLineSplitsBackIntoTheArguments) {
    std::string line = common::windowsCommandLine("C:\\Program Files\\tool.exe", awkward);
    int size = MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, &wide[0], size);
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(wide.c_str(), &count);
    ASSERT_NE(split, nullptr);
    std::vector<std::string> back;
    for (int i = 0; i < count; ++i)
        back.push_back(utf8(split[i]));
    LocalFree(split);
    ASSERT_EQ(back.size(), awkward.size() + 1) << line;
    EXPECT_EQ(back[0], "C:\\Program Files\\tool.exe");
    for (size_t i = 0; i < awkward.size(); ++i)
        EXPECT_EQ(back[i + 1], awkward[i]) << line;
}

TEST(Process, ExitCodeAndOutputOfAChild) {
    common::ProcessResult result = common::runProcess("cmd.exe", {"/c", "echo out& exit 7"});
    ASSERT_TRUE(result.started) << result.output;
    EXPECT_EQ(result.exitCode, 7);
    EXPECT_NE(result.output.find("out"), std::string::npos) << result.output;
}

#else

TEST(Process, ArgumentsArriveUnchangedAndOutputComesBackInOrder) {
    std::vector<std::string> arguments = {"-c",
                                          "printf '[%s]' \"$@\"; echo; echo err >&2; "
                                          "echo last; exit 7",
                                          "sh"};
    arguments.insert(arguments.end(), awkward.begin(), awkward.end());
    common::ProcessResult result = common::runProcess("sh", arguments);
    ASSERT_TRUE(result.started) << result.output;
    EXPECT_EQ(result.exitCode, 7);
    std::string expected;
    for (const std::string& argument : awkward)
        expected += "[" + argument + "]";
    EXPECT_EQ(result.output, expected + "\nerr\nlast\n");
}

TEST(Process, StandardInputIsEmptyAndASignalIsReported) {
    // cat returns at once on the null device instead of waiting for input.
    common::ProcessResult read = common::runProcess("cat", {});
    EXPECT_TRUE(read.started);
    EXPECT_EQ(read.exitCode, 0);
    EXPECT_EQ(read.output, "");
    common::ProcessResult killed = common::runProcess("sh", {"-c", "kill -TERM $$"});
    EXPECT_EQ(killed.exitCode, 128 + 15);
}

TEST(Process, LargeOutputDoesNotBlockTheChild) {
    // More than a pipe holds: the parent must read while the child writes.
    common::ProcessResult result =
        common::runProcess("sh", {"-c", "head -c 1000000 /dev/zero | tr '\\0' x"});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, std::string(1000000, 'x'));
}

#endif

TEST(Process, AMissingProgramIsNotStarted) {
    common::ProcessResult result = common::runProcess("setup-pack-no-such-program", {"x"});
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.exitCode, -1);
    EXPECT_FALSE(result.output.empty()); // the reason
}

} // namespace
