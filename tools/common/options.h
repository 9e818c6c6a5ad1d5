// The tools' command lines, read from one table per tool: each option is
// declared once with its placeholder, its help text, what a bad value is
// told, and how its value is taken. The usage text (--help), the errors for
// an unknown option and a missing or malformed value, and the exit statuses
// all come from that table.
#pragma once

#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace vornmt::tools {

// Exit statuses every tool shares: --help (and options like --list that do
// their work at once) end with kExitDone, a bad command line with
// kExitUsage; kExitFailed is what a tool says when its work fails.
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Takes an option's value; false when the value is malformed. A flag's
// taker gets a null text.
using OptionTaker = std::function<bool(const char* value)>;

struct Option {
    std::string name;   // "--port"
    std::string value;  // the help's placeholder ("N"); empty for a flag
    std::string help;   // lines after the first ('\n') are indented under it
    // What a missing or malformed value is told, after the name:
    // "needs 0 to 65535" reads "--port needs 0 to 65535".
    std::string needs;
    OptionTaker take;
    // Done once taken (--list): the program ends with kExitDone.
    bool finishes = false;
};

struct CommandLine {
    std::string program;   // "vornmt-sim"
    std::string synopsis;  // after "usage: vornmt-sim "
    std::string about;     // lines between the usage line and the options
    std::vector<Option> options;  // --help (and -h) comes with every table
    std::string epilogue;  // lines after the options; may be empty
    // Takes an argument that is no option ("-" is none either); returns the
    // usage error, or empty. Without it, such an argument is an unknown option.
    std::function<std::string(const char* argument)> operand;
};

// Takers for the usual values, on the strict parsing of text_parsing.h.
OptionTaker SetFlag(bool* flag, bool value = true);
OptionTaker TakeText(std::string* text);  // any text, even empty
OptionTaker TakeInteger(int low, int high, int* value);
OptionTaker TakeReal(double low, double high, double* value);
OptionTaker TakeSize(int low, int high, int* x, int* y);  // "WxH"
// The smallest real above zero: TakeReal's low for "above 0".
constexpr double kAboveZero = std::numeric_limits<double>::denorm_min();

// The text of --help.
std::string UsageText(const CommandLine& command_line);

enum class CommandLineResult { kRun, kHelp, kFinished, kUsageError };
// Reads the arguments and calls the takers in order; on kUsageError
// *error holds what is wrong. Prints nothing itself (a finishing option's
// taker may print its work).
CommandLineResult ParseCommandLine(const CommandLine& command_line, int argc, const char* const* argv,
                                   std::string* error);

// The same, then prints the usage text (to standard output for --help, to
// standard error after the error). True when the program goes on; false
// when it ends with *exit_status.
bool ReadCommandLine(const CommandLine& command_line, int argc, const char* const* argv, int* exit_status);

// Prints "program: message" and the usage text to standard error; returns
// kExitUsage. For what is wrong with the options taken together.
int UsageError(const CommandLine& command_line, const std::string& message);

}  // namespace vornmt::tools
