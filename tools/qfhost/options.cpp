#include "tools/qfhost/options.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <charconv>
#include <limits>
#include <memory>
#include <sstream>

#include "tools/qfhost/errors.h"

namespace veilmere::qfhost {
namespace {

constexpr char kDescription[] =
    "qfhost runs the filters of a Quillfen filter module on PNG images, loading the module as "
    "the paint program does.";

// What the help says once, after the options: on the general help and on each command's.
constexpr char kNotes[] =
    "IN.png '-' is standard input. OUT.png is written whole or not at all; an existing file is "
    "replaced only on success, keeping its mode; a symbolic link's target is replaced; a "
    "device, FIFO, folder or file with several hard links is never replaced, nor is a name "
    "ending in another image format's extension (.jpg, .gif, ...) used. The output keeps the "
    "input's colour type and depth where they hold the result, else the smallest of its kind "
    "that does; 16-bit samples the filter left keep their 16 bits.\n"
    "Limits: at most 67108864 pixels (8192x8192) and 134217728 bytes (128 MiB) of file an "
    "image; a run holds about 12 bytes a pixel (28 for 16-bit RGBA), at most 1 GiB.\n"
    "In apply's batch form a file that fails is reported and the rest go on; a last line gives "
    "the counts. No file is written twice in one batch, however it is named.\n"
    "\n"
    "Exit status: 0 success, 1 the run (or any file of a batch) failed, or a write to standard "
    "output failed (a closed pipe too), 2 the command line is wrong, 130, 143 or 129 "
    "interrupted (a line then says which output was left untouched).";

constexpr std::size_t kHelpWidth = 92;   // columns of the help text
constexpr std::size_t kHelpColumn = 20;  // where the descriptions of operands and options start

std::vector<std::string_view> SplitCommas(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::string_view::npos) return parts;
    start = comma + 1;
  }
}

// A whole decimal number, an optional '-' first when `allowSign`; nothing else, not even
// spaces.
std::optional<std::int64_t> ParseInteger(std::string_view text, bool allowSign) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  if (text[0] == '-' && !allowSign) return std::nullopt;
  if (text[0] == '+') return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string RectText(const RectOption& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

// `text` with each space after which the next word would pass `width` columns made a line
// break; its own line breaks stay.
std::string Wrap(std::string_view text, std::size_t width) {
  std::string wrapped;
  std::size_t column = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find_first_of(" \n", at), text.size());
    const std::size_t length = end - at;
    if (column > 0) {
      wrapped += column + 1 + length > width ? '\n' : ' ';
      column = wrapped.back() == '\n' ? 0 : column + 1;
    }
    wrapped += text.substr(at, length);
    column += length;
    if (end < text.size() && text[end] == '\n') {
      wrapped += '\n';
      column = 0;
    }
    at = end + 1;
  }
  return wrapped;
}

// How the help and the messages write an operand: its option text when it has one (apply's
// "IN.png OUT.png"), else its name, with "..." when it repeats.
std::string OperandText(const CLI::Option& operand) {
  if (!operand.get_option_text().empty()) return operand.get_option_text();
  return operand.get_name(true) + (operand.get_items_expected_max() > 1 ? "..." : "");
}

// A command's operands as its usage line writes them ("MODULE IN.png OUT.png").
std::string OperandsOf(const CLI::App& command) {
  std::string text;
  for (const CLI::Option* operand : command.get_options([](const CLI::Option* option) {
         return option->get_positional() && !option->get_group().empty();
       })) {
    text += (text.empty() ? "" : " ") + OperandText(*operand);
  }
  return text;
}

// CLI11's help, laid out for qfhost: the description, the usage, the operands, the commands,
// the options (with their values' names only: the descriptions say the rest), then the notes,
// each wrapped to kHelpWidth columns.
class HelpFormatter final : public CLI::Formatter {
 public:
  HelpFormatter() {
    column_width(kHelpColumn);
    label("Positionals", "Operands");
  }

  std::string make_help(const CLI::App* app, std::string name,
                        CLI::AppFormatMode mode) const override {
    std::string help = make_description(app) + make_usage(app, name) + make_positionals(app) +
                       make_subcommands(app, mode) + make_groups(app, mode);
    help.erase(help.find_last_not_of('\n') + 1);  // CLI11 ends some groups with a blank line
    const std::string footer = make_footer(app);
    return help + (footer.empty() ? "\n" : "\n\n" + footer);
  }
  // A command's description starts its own help as a sentence; the general help lists it
  // as it stands.
  std::string make_description(const CLI::App* app) const override {
    std::string description = app->get_description();
    if (app->get_parent() != nullptr) description[0] = char(std::toupper(description[0]));
    return Wrap(description, kHelpWidth) + "\n\n";
  }
  std::string make_usage(const CLI::App* app, std::string name) const override {
    if (app->get_parent() == nullptr) {
      return "Usage: " + name + " COMMAND OPERANDS... [OPTIONS]\n       " + name +
             " [COMMAND] --help | --version\n";
    }
    return "Usage: " + name + " " + OperandsOf(*app) + " [OPTIONS]\n";
  }
  std::string make_subcommand(const CLI::App* command) const override {
    std::ostringstream entry;
    CLI::detail::format_help(entry, command->get_name() + " " + OperandsOf(*command),
                             Wrap(command->get_description(), kHelpWidth - kHelpColumn),
                             kHelpColumn);
    return entry.str();
  }
  std::string make_option_name(const CLI::Option* option, bool positional) const override {
    return positional ? OperandText(*option) : option->get_name(false, true);
  }
  std::string make_option_opts(const CLI::Option* option) const override {
    if (option->get_positional() || option->get_type_size() == 0) return "";
    return " " + option->get_type_name();
  }
  std::string make_option_desc(const CLI::Option* option) const override {
    return Wrap(option->get_description(), kHelpWidth - kHelpColumn);
  }
  std::string make_footer(const CLI::App* app) const override {
    return app->get_footer().empty() ? "" : Wrap(app->get_footer(), kHelpWidth) + "\n";
  }
};

// The first argument no part of the command line took: a word where a command belongs, an
// unknown option, or an option of another command. `command` is the one given, or null.
std::string Unclaimed(const CLI::App& app, const CLI::App* command) {
  for (const std::string& argument : app.remaining()) {
    if (argument == "--") continue;  // CLI11 keeps the "--" it met before any command
    if (argument.size() < 2 || argument[0] != '-') {
      return (command == nullptr ? "unknown command '" : "unexpected argument '") + argument + "'";
    }
    const std::string name = argument.substr(0, argument.find('='));
    std::string owners;  // "apply and gallery"
    for (const CLI::App* other : app.get_subcommands({})) {
      if (other->get_option_no_throw(name) == nullptr) continue;
      owners += (owners.empty() ? "" : " and ") + other->get_name();
    }
    if (owners.empty()) return "unknown option '" + name + "'";
    return "option '" + name + "' belongs to " + owners +
           (command == nullptr ? ": give the command first" : ", not to " + command->get_name());
  }
  return "no command given";
}

// ArgumentMismatch is CLI11's one error for three mistakes, which its state tells apart: an
// option given twice (found once every argument is read, its values counted), a value given
// to a flag ("--quiet=yes"), and a value missing at the end of the line. `stoppedAt` is the
// argument CLI11 was reading when it stopped.
std::string Mismatch(const CLI::App& app, const CLI::App* command, std::string_view stoppedAt) {
  for (const CLI::App* part : {&app, command}) {
    if (part == nullptr) continue;
    for (const CLI::Option* option : part->get_options()) {
      if (option->nonpositional() && option->get_items_expected_max() == 1 &&
          option->count() > 1) {
        return "option '" + option->get_name() + "' is given more than once";
      }
    }
  }
  const std::string name(stoppedAt.substr(0, stoppedAt.find('=')));
  const bool valueGiven = name.size() < stoppedAt.size();
  return "option '" + name + (valueGiven ? "' takes no value" : "' needs a value");
}

// CLI11's error as one line. Its own messages for a value that fails a check (the check's
// message after the option's name) and for options that exclude each other are such lines.
std::string Problem(const CLI::App& app, const CLI::ParseError& error, std::string_view stoppedAt) {
  const std::vector<CLI::App*> chosen = app.get_subcommands();
  const CLI::App* command = chosen.empty() ? nullptr : chosen.front();
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) return Mismatch(app, command, stoppedAt);
  if (dynamic_cast<const CLI::ExtrasError*>(&error) || command == nullptr) {
    return Unclaimed(app, command);
  }
  if (dynamic_cast<const CLI::RequiredError*>(&error)) {
    return command->get_name() + " needs " + OperandsOf(*command);
  }
  return error.what();
}

}  // namespace

Options ParseArguments(const std::vector<std::string>& args, std::span<const Command> commands) {
  Options options;
  CLI::App app{kDescription, "qfhost"};
  // Set before the commands are added, which take them over: the help's layout and notes,
  // flags that take no value ("--quiet=yes" is a mistake), the help flag, and options of the
  // whole command line read after a command too.
  app.formatter(std::make_shared<HelpFormatter>());
  app.footer(kNotes);
  app.option_defaults()->disable_flag_override();
  app.set_help_flag("-h,--help", "show this help; after a command, that command's");
  app.fallthrough();
  // CLI11 on Windows would read "/x" as an option; qfhost's operands are often Unix paths.
  app.allow_windows_style_options(false);
  app.add_flag("-q,--quiet", options.quiet,
               "no progress bar (one is drawn only when stderr is a terminal)");
  app.set_version_flag("--version", std::string("qfhost ") + QFHOST_VERSION,
                       "show qfhost's version");
  app.require_subcommand(1);

  // The operands a command does not take. CLI11 leaves a command once it lacks no operand,
  // and at "--" would go back to reading options: this last, hidden operand of every command
  // keeps "--" making every later argument an operand, and holds the extra ones refused below.
  std::vector<std::string> unexpected;
  std::vector<CLI::App*> subcommands;
  for (const Command& command : commands) {
    CLI::App* subcommand = app.add_subcommand(std::string(command.name));
    subcommand->group("Commands");
    subcommand->set_help_flag("-h,--help", "show this help");
    command.setup(*subcommand, options);
    subcommand->add_option("unexpected", unexpected)->group("");
    subcommands.push_back(subcommand);
  }

  std::vector<std::string> unread(args.rbegin(), args.rend());  // CLI11 reads from the back
  try {
    app.parse(unread);
  } catch (const CLI::Success& success) {  // --help or --version
    std::ostringstream text;
    app.exit(success, text);
    options.helpOrVersion = text.str();
    return options;
  } catch (const CLI::ParseError& error) {
    const std::size_t read = args.size() - unread.size();
    throw UsageError(Problem(app, error, read > 0 ? args[read - 1] : std::string()));
  }
  if (!unexpected.empty()) throw UsageError("unexpected argument '" + unexpected.front() + "'");
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (app.got_subcommand(subcommands[i])) options.command = &commands[i];
  }
  return options;
}

CLI::Option* AddModuleOperand(CLI::App& command, Options& options) {
  return command
      .add_option("MODULE", options.module,
                  "the path of a filter module (.qfi on Windows, .so on Linux)")
      ->required();
}

void AddColourOptions(CLI::App& command, Options& options) {
  const struct {
    const char* name;
    Pixel* colour;
    const char* description;
  } colours[] = {
      {"--fg", &options.drawing,
       "the drawing colour the module is given (default #000000, black): #RRGGBB or #RRGGBBAA "
       "in hexadecimal ('#' optional; quote it in a shell), or R,G,B or R,G,B,A in decimal; "
       "alpha is 255 when omitted"},
      {"--bg", &options.background,
       "the background colour the module is given (default #FFFFFF, white), written as --fg's"},
  };
  for (const auto& option : colours) {
    command
        .add_option_function<std::string>(
            option.name,
            [colour = option.colour](const std::string& text) { *colour = ParseColour(text); },
            option.description)
        ->check(SyntaxCheck([](std::string_view text) { ParseColour(text); }))
        ->type_name("COLOUR");
  }
}

CLI::Option* AddWholeNumberOption(CLI::App& command, const std::string& name, int& value,
                                  int low, int high, const std::string& what,
                                  const std::string& description) {
  const auto read = [low, high, what](std::string_view text) {
    const auto number = ParseInteger(text, false);
    if (!number || *number < low || *number > high) {
      throw UsageError("malformed " + what + " '" + std::string(text) +
                       "': use a whole number from " + std::to_string(low) + " to " +
                       std::to_string(high));
    }
    return static_cast<int>(*number);
  };
  return command
      .add_option_function<std::string>(
          name, [&value, read](const std::string& text) { value = read(text); }, description)
      ->check(SyntaxCheck(read))
      ->type_name("N");
}

CLI::Validator SyntaxCheck(std::function<void(std::string_view)> read) {
  return CLI::Validator(
      [read](std::string& text) -> std::string {
        try {
          read(text);
        } catch (const UsageError& error) {
          return error.what();
        }
        return {};
      },
      "");
}

Pixel ParseColour(std::string_view text) {
  const auto malformed = [&] {
    return UsageError("malformed colour '" + std::string(text) +
                      "': use #RRGGBB, #RRGGBBAA, R,G,B or R,G,B,A");
  };
  int channels[4] = {0, 0, 0, 255};  // red, green, blue, alpha
  if (text.find(',') != std::string_view::npos) {
    const auto parts = SplitCommas(text);
    if (parts.size() != 3 && parts.size() != 4) throw malformed();
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const auto value = parts[i].size() <= 3 ? ParseInteger(parts[i], false) : std::nullopt;
      if (!value || *value > 255) throw malformed();
      channels[i] = static_cast<int>(*value);
    }
  } else {
    std::string_view hex = text;
    if (!hex.empty() && hex[0] == '#') hex.remove_prefix(1);
    if (hex.size() != 6 && hex.size() != 8) throw malformed();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
      const int high = HexDigit(hex[i]);
      const int low = HexDigit(hex[i + 1]);
      if (high < 0 || low < 0) throw malformed();
      channels[i / 2] = high * 16 + low;
    }
  }
  return Pixel{static_cast<std::uint8_t>(channels[2]), static_cast<std::uint8_t>(channels[1]),
               static_cast<std::uint8_t>(channels[0]), static_cast<std::uint8_t>(channels[3])};
}

RectOption ParseRect(std::string_view text) {
  const auto parts = SplitCommas(text);
  std::int64_t values[4] = {};
  bool wellFormed = parts.size() == 4;
  for (std::size_t i = 0; wellFormed && i < 4; ++i) {
    const auto value = ParseInteger(parts[i], true);
    wellFormed = value && *value >= std::numeric_limits<std::int32_t>::min() &&
                 *value <= std::numeric_limits<std::int32_t>::max();
    if (wellFormed) values[i] = *value;
  }
  if (!wellFormed) {
    throw UsageError("malformed rectangle '" + std::string(text) +
                     "': use L,T,R,B, four whole numbers");
  }
  const RectOption rect{values[0], values[1], values[2], values[3]};
  if (rect.right <= rect.left || rect.bottom <= rect.top) {
    throw UsageError("rectangle " + RectText(rect) +
                     " is empty: right and bottom are exclusive and must exceed left and top");
  }
  return rect;
}

FilterRect RectInsideImage(const std::optional<RectOption>& rect, std::int32_t width,
                           std::int32_t height) {
  if (!rect) return FilterRect{0, 0, width, height};
  const RectOption& r = *rect;
  if (r.left < 0 || r.top < 0 || r.right > width || r.bottom > height || r.left >= r.right ||
      r.top >= r.bottom) {
    throw RunError("rectangle " + RectText(r) + " lies outside the " + std::to_string(width) +
                   "x" + std::to_string(height) + " image");
  }
  return FilterRect{static_cast<std::int32_t>(r.left), static_cast<std::int32_t>(r.top),
                    static_cast<std::int32_t>(r.right), static_cast<std::int32_t>(r.bottom)};
}

}  // namespace veilmere::qfhost
