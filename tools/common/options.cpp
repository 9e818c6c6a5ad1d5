#include "common/options.h"

#include <algorithm>
#include <cstdio>

#include "common/text_parsing.h"

namespace vornmt::tools {
namespace {

const Option kHelp{"--help", "", "this text", "", nullptr};

std::string Heading(const Option& option) {
    return option.value.empty() ? option.name : option.name + " " + option.value;
}

const Option* Find(const CommandLine& command_line, const std::string& name) {
    for (const Option& option : command_line.options) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

bool LooksLikeOption(const std::string& argument) {
    return !argument.empty() && argument[0] == '-' && argument != "-";
}

}  // namespace

OptionTaker SetFlag(bool* flag, bool value) {
    return [flag, value](const char*) {
        *flag = value;
        return true;
    };
}

OptionTaker TakeText(std::string* text) {
    return [text](const char* value) {
        *text = value;
        return true;
    };
}

OptionTaker TakeInteger(int low, int high, int* value) {
    return [=](const char* text) {
        int integer = 0;
        if (!ParseIntegerOption(text, low, high, &integer)) return false;
        *value = integer;
        return true;
    };
}

OptionTaker TakeReal(double low, double high, double* value) {
    return [=](const char* text) {
        double real = 0;
        if (!ParseReal(text, &real) || real < low || real > high) return false;
        *value = real;
        return true;
    };
}

OptionTaker TakeSize(int low, int high, int* x, int* y) {
    return [=](const char* text) { return ParseSizeOption(text, low, high, x, y); };
}

std::string UsageText(const CommandLine& command_line) {
    // The help column starts two spaces after the longest heading.
    std::size_t column = Heading(kHelp).size();
    for (const Option& option : command_line.options) column = std::max(column, Heading(option).size());
    column += 4;
    std::string text = "usage: " + command_line.program + " " + command_line.synopsis + "\n" + command_line.about + "\n";
    auto list = [&](const Option& option) {
        std::string line = "  " + Heading(option);
        line.resize(column, ' ');
        for (char c : option.help) line += c == '\n' ? "\n" + std::string(column, ' ') : std::string(1, c);
        text += line + "\n";
    };
    for (const Option& option : command_line.options) list(option);
    list(kHelp);
    if (!command_line.epilogue.empty()) text += "\n" + command_line.epilogue;
    return text;
}

CommandLineResult ParseCommandLine(const CommandLine& command_line, int argc, const char* const* argv,
                                   std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == kHelp.name || argument == "-h") return CommandLineResult::kHelp;
        const Option* option = Find(command_line, argument);
        if (!option) {
            if (command_line.operand && !LooksLikeOption(argument)) {
                *error = command_line.operand(argv[i]);
                if (error->empty()) continue;
            } else {
                *error = "unknown option '" + argument + "'";
            }
            return CommandLineResult::kUsageError;
        }
        const bool valued = !option->value.empty();
        const char* value = valued && i + 1 < argc ? argv[++i] : nullptr;
        if ((valued && value == nullptr) || !option->take(value)) {
            *error = option->name + " " + option->needs;
            return CommandLineResult::kUsageError;
        }
        if (option->finishes) return CommandLineResult::kFinished;
    }
    return CommandLineResult::kRun;
}

bool ReadCommandLine(const CommandLine& command_line, int argc, const char* const* argv, int* exit_status) {
    std::string error;
    switch (ParseCommandLine(command_line, argc, argv, &error)) {
    case CommandLineResult::kRun:
        return true;
    case CommandLineResult::kHelp:
        std::printf("%s", UsageText(command_line).c_str());
        *exit_status = kExitDone;
        return false;
    case CommandLineResult::kFinished:
        *exit_status = kExitDone;
        return false;
    case CommandLineResult::kUsageError:
        break;
    }
    *exit_status = UsageError(command_line, error);
    return false;
}

int UsageError(const CommandLine& command_line, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n\n%s", command_line.program.c_str(), message.c_str(),
                 UsageText(command_line).c_str());
    return kExitUsage;
}

}  // namespace vornmt::tools
