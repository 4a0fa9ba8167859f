// The one reader of command lines that every program of the project uses,
// so that each words the same mistake the same way. Options follow the GNU
// conventions: --name=VALUE or --name VALUE, one-letter forms that may share
// a word (-bdq) and take their value from the rest of the word (-r999) or
// else from the next word, "--" ends the options, and a lone "-" is an
// operand. What each option means, and the checks of its value, belong to
// the program.
#pragma once
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalveno {

// One option a program takes.
struct OptionName {
  const char* long_name;     // without its "--"
  char short_name = 0;       // 0: none
  bool takes_value = false;  // otherwise a flag
};

// What a program does with one option found: names[index], spelled as on
// the command line ("--seed", "-r"), with its value ("" for a flag). A
// problem returned ends the scan with it.
using TakeOption =
    std::function<std::optional<std::string>(std::size_t index, const std::string& spelled, const std::string& value)>;

// Reads args (those after the program name) in order: each option goes to
// take, each operand to operands. A program none of whose options has a
// one-letter form takes every word that begins with a single "-" as an
// operand. Returns the first problem: an option not among names, a value
// given to a flag or missing after an option that needs one, or what take
// returned.
std::optional<std::string> scan_options(std::span<const OptionName* const> names, const std::vector<std::string>& args,
                                        std::vector<std::string>& operands, const TakeOption& take);

// The problem of a value an option cannot take:
// "invalid value 'VALUE' for SPELLED: EXPECTED".
std::string invalid_value(const std::string& spelled, const std::string& value, const std::string& expected);

}  // namespace kalveno
