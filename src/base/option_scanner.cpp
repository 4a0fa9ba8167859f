#include "base/option_scanner.h"

#include <algorithm>

namespace kalveno {

namespace {

// The words of args, read one after another; an option that needs a value
// may take the next one.
class Words {
 public:
  explicit Words(const std::vector<std::string>& args) : args_(args) {}
  bool more() const { return at_ < args_.size(); }
  const std::string& next() { return args_[at_++]; }

 private:
  const std::vector<std::string>& args_;
  std::size_t at_ = 0;
};

const OptionName* find_option(std::span<const OptionName* const> names, auto&& is_it) {
  const auto found = std::find_if(names.begin(), names.end(), [&](const OptionName* name) { return is_it(*name); });
  return found == names.end() ? nullptr : *found;
}

std::size_t index_of(std::span<const OptionName* const> names, const OptionName* name) {
  return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

// "--name=VALUE" or "--name" (with its value in the next word when it needs one).
std::optional<std::string> scan_long(std::span<const OptionName* const> names, const std::string& word, Words& words,
                                     const TakeOption& take) {
  const std::size_t equals = word.find('=');
  const std::string spelled = word.substr(0, equals);
  const OptionName* name =
      find_option(names, [&](const OptionName& o) { return spelled == std::string("--") + o.long_name; });
  if (name == nullptr) return "unrecognized option '" + spelled + "'";
  std::string value;
  if (equals != std::string::npos) {
    if (!name->takes_value) return "option '" + spelled + "' takes no value";
    value = word.substr(equals + 1);
  } else if (name->takes_value) {
    if (!words.more()) return "option '" + spelled + "' needs a value";
    value = words.next();
  }
  return take(index_of(names, name), spelled, value);
}

// One-letter options, several in one word; one that takes a value takes the
// rest of the word, or else the next word.
std::optional<std::string> scan_short(std::span<const OptionName* const> names, const std::string& word, Words& words,
                                      const TakeOption& take) {
  for (std::size_t at = 1; at < word.size(); ++at) {
    const std::string spelled = std::string("-") + word[at];
    const OptionName* name = find_option(names, [&](const OptionName& o) { return o.short_name == word[at]; });
    if (name == nullptr) return "invalid option '" + spelled + "'";
    std::string value;
    if (name->takes_value) {
      if (at + 1 < word.size()) {
        value = word.substr(at + 1);
      } else if (words.more()) {
        value = words.next();
      } else {
        return "option '" + spelled + "' needs a value";
      }
      at = word.size();
    }
    if (auto problem = take(index_of(names, name), spelled, value)) return problem;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> scan_options(std::span<const OptionName* const> names, const std::vector<std::string>& args,
                                        std::vector<std::string>& operands, const TakeOption& take) {
  const bool has_short_forms =
      std::any_of(names.begin(), names.end(), [](const OptionName* name) { return name->short_name != 0; });
  bool options_ended = false;
  Words words(args);
  while (words.more()) {
    const std::string& word = words.next();
    const bool is_long = word.size() > 2 && word.starts_with("--");
    const bool is_short = word.size() > 1 && word[0] == '-' && word[1] != '-' && has_short_forms;
    if (options_ended || (!is_long && !is_short && word != "--")) {
      operands.push_back(word);
    } else if (word == "--") {
      options_ended = true;
    } else if (auto problem = is_long ? scan_long(names, word, words, take) : scan_short(names, word, words, take)) {
      return problem;
    }
  }
  return std::nullopt;
}

std::string invalid_value(const std::string& spelled, const std::string& value, const std::string& expected) {
  return "invalid value '" + value + "' for " + spelled + ": " + expected;
}

}  // namespace kalveno
