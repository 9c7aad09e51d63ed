#include "tools/qfhost/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <limits>

#include "tools/qfhost/errors.h"

namespace veilmere::qfhost {
namespace {

struct CommandSpec {
  std::string_view name;
  std::string_view operands;
  std::size_t operandCount;
  bool moreInputs;  // the last operand may repeat
};

const CommandSpec& SpecOf(Command command, bool batch) {
  static constexpr CommandSpec kList{"list", "MODULE", 1, false};
  static constexpr CommandSpec kApply{"apply", "MODULE FILTER IN.png OUT.png", 4, false};
  static constexpr CommandSpec kApplyBatch{
      "apply", "MODULE FILTER IN.png... with --output-dir or --in-place", 3, true};
  static constexpr CommandSpec kGallery{"gallery", "MODULE IN.png OUT.png", 3, false};
  switch (command) {
    case Command::kApply: return batch ? kApplyBatch : kApply;
    case Command::kGallery: return kGallery;
    default: return kList;
  }
}

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

int ParseScale(std::string_view text) {
  const auto value = ParseInteger(text, false);
  if (!value || *value < 1 || *value > kMaxGalleryScale) {
    throw UsageError("malformed scale '" + std::string(text) + "': use a whole number from 1 to " +
                     std::to_string(kMaxGalleryScale));
  }
  return static_cast<int>(*value);
}

int ParseJobs(std::string_view text) {
  const auto value = ParseInteger(text, false);
  if (!value || *value < 1 || *value > kMaxJobs) {
    throw UsageError("malformed job count '" + std::string(text) +
                     "': use a whole number from 1 to " + std::to_string(kMaxJobs));
  }
  return static_cast<int>(*value);
}

// The command line's grammar, for CLI11. Values stay text here and are read by qfhost's own
// functions afterwards, so that each malformed value gets qfhost's message.
struct Grammar {
  CLI::App app{"qfhost"};
  CLI::App* commands[3] = {};  // list, apply, gallery: in Command order after kNone
  std::vector<std::string> operands;
  std::string rect, drawing, background, scale, jobs;

  explicit Grammar(Options& options) {
    // qfhost prints its own help; CLI11's --help would print CLI11's and end the program.
    app.set_help_flag();
    // Anything the grammar does not know is collected and named in qfhost's own words below.
    app.allow_extras();
    // CLI11 on Windows would read "/x" as an option; qfhost's operands are often Unix paths.
    app.allow_windows_style_options(false);
    app.add_flag("-h,--help", options.help)->disable_flag_override();
    app.add_flag("--version", options.version)->disable_flag_override();
    app.add_flag("-q,--quiet", options.quiet)->disable_flag_override();
    const char* names[] = {"list", "apply", "gallery"};
    for (int i = 0; i < 3; ++i) {
      CLI::App* command = app.add_subcommand(names[i]);
      command->set_help_flag();
      command->allow_extras();
      command->allow_windows_style_options(false);
      command->fallthrough();  // --help, --version and --quiet belong to every command
      command->add_option("operands", operands);
      commands[i] = command;
    }
    CLI::App* apply = commands[1];
    CLI::App* gallery = commands[2];
    apply->add_option("--rect", rect);
    apply->add_option("--output-dir", options.outputDir);
    apply->add_flag("--in-place", options.inPlace)->disable_flag_override();
    apply->add_option("--jobs", jobs);
    apply->add_flag("--strip", options.strip)->disable_flag_override();
    for (CLI::App* command : {apply, gallery}) {
      command->add_option("--fg", drawing);
      command->add_option("--bg", background);
    }
    gallery->add_option("--scale", scale);
  }

  // The command that takes `option` ("--scale"), or null.
  const CLI::App* CommandTaking(const std::string& option) const {
    for (const CLI::App* command : commands) {
      if (command->get_option_no_throw(option) != nullptr) return command;
    }
    return nullptr;
  }
};

// CLI11's own complaints, in qfhost's words: it names the option as "--name" or "name".
UsageError FromCli11(const CLI::ParseError& error) {
  std::string text = error.what();
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::string name = text.substr(0, text.find_first_of(": "));
  if (name.rfind("-", 0) != 0) name = "--" + name;
  if (text.find("disallowed flag override") != std::string::npos) {
    return UsageError("option '" + name + "' takes no value");
  }
  if (text.find("required") != std::string::npos && text.find("missing") != std::string::npos) {
    return UsageError("option '" + name + "' needs a value");
  }
  if (text.find("At Most") != std::string::npos) {
    return UsageError("option '" + name + "' is given more than once");
  }
  return UsageError(text.empty() ? "malformed command line" : text);
}

}  // namespace

Options ParseArguments(const std::vector<std::string>& args) {
  Options options;
  Grammar grammar(options);
  // "--" is qfhost's to handle: every later argument is an operand, whatever it looks like.
  const auto dashes = std::find(args.begin(), args.end(), "--");
  std::vector<std::string> reversed(args.begin(), dashes);  // CLI11 takes them last first
  std::reverse(reversed.begin(), reversed.end());
  try {
    grammar.app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    throw FromCli11(error);
  }

  const CLI::App* command = nullptr;
  for (int i = 0; i < 3; ++i) {
    if (grammar.commands[i]->parsed()) {
      command = grammar.commands[i];
      options.command = static_cast<Command>(i + 1);
    }
  }
  // What no part of the grammar took: unknown options, options of another command, and
  // (before a command) words that are not commands.
  std::vector<std::string> extras = grammar.app.remaining();
  if (command != nullptr) {
    const std::vector<std::string> more = command->remaining();
    extras.insert(extras.begin(), more.begin(), more.end());
  }
  for (const std::string& extra : extras) {
    if (extra.size() < 2 || extra[0] != '-') {
      if (command == nullptr) throw UsageError("unknown command '" + extra + "'");
      throw UsageError("unexpected argument '" + extra + "'");
    }
    const std::string name = extra.substr(0, extra.find('='));
    const CLI::App* owner = grammar.CommandTaking(name);
    if (owner == nullptr) throw UsageError("unknown option '" + name + "'");
    if (command == nullptr) throw UsageError("option '" + name + "' needs a command");
    throw UsageError("option '" + name + "' is not one of " + command->get_name() + "'s options");
  }
  if (dashes != args.end()) {
    if (command == nullptr) throw UsageError("no command given");
    grammar.operands.insert(grammar.operands.end(), dashes + 1, args.end());
  }

  const auto given = [&](const char* name) {
    return command != nullptr && command->get_option_no_throw(name) != nullptr &&
           command->count(name) > 0;
  };
  if (given("--rect")) options.rect = ParseRect(grammar.rect);
  if (given("--fg")) options.drawing = ParseColour(grammar.drawing);
  if (given("--bg")) options.background = ParseColour(grammar.background);
  if (given("--scale")) options.scale = ParseScale(grammar.scale);
  if (given("--jobs")) options.jobs = ParseJobs(grammar.jobs);
  if (given("--output-dir") && options.outputDir.empty()) {
    throw UsageError("option '--output-dir' needs a folder ('.' is the current one)");
  }
  if (options.inPlace && !options.outputDir.empty()) {
    throw UsageError("--in-place and --output-dir exclude each other");
  }
  if (options.help || options.version) return options;
  if (options.command == Command::kNone) throw UsageError("no command given");

  const std::vector<std::string>& operands = grammar.operands;
  const bool batch = options.inPlace || !options.outputDir.empty();
  if (given("--jobs") && !batch) {
    throw UsageError("--jobs is for several inputs, with --output-dir DIR or --in-place");
  }
  const CommandSpec& entry = SpecOf(options.command, batch);
  if (operands.size() < entry.operandCount) {
    throw UsageError(std::string(entry.name) + " needs " + std::string(entry.operands));
  }
  if (!entry.moreInputs && operands.size() > entry.operandCount) {
    // Two files after the filter are an input and its output; a third is most likely one
    // more input of a batch whose --output-dir or --in-place was forgotten.
    throw UsageError("unexpected argument '" + operands[entry.operandCount] + "'" +
                     (options.command == Command::kApply
                          ? "; for several inputs add --output-dir DIR or --in-place"
                          : ""));
  }
  options.module = operands[0];
  switch (options.command) {
    case Command::kApply:
      options.filter = operands[1];
      if (batch) {
        options.inputs.assign(operands.begin() + 2, operands.end());
      } else {
        options.input = operands[2];
        options.output = operands[3];
      }
      break;
    case Command::kGallery:
      options.input = operands[1];
      options.output = operands[2];
      break;
    default:
      break;
  }
  return options;
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

std::string HelpText(Command command) {
  static constexpr char kGeneral[] =
      "qfhost runs the filters of a Quillfen filter module on PNG images, loading the module\n"
      "as the paint program does.\n"
      "\n"
      "Usage:\n"
      "  qfhost list MODULE\n"
      "  qfhost apply MODULE FILTER IN.png OUT.png [--rect L,T,R,B] [--fg COLOUR] [--bg COLOUR]\n"
      "               [--strip]\n"
      "  qfhost apply MODULE FILTER IN.png... (--output-dir DIR | --in-place) [options]\n"
      "  qfhost gallery MODULE IN.png OUT.png [--fg COLOUR] [--bg COLOUR] [--scale N]\n"
      "  qfhost [COMMAND] --help | --version\n"
      "\n"
      "Commands:\n"
      "  list     print the module's information line, then one line per filter:\n"
      "           index, category and name, tab-separated\n"
      "  apply    run one filter on IN.png and write the result to OUT.png ('-': standard\n"
      "           output), or on each IN.png into DIR or over itself\n"
      "  gallery  run every filter on IN.png and write a grid of the results, input first,\n"
      "           over a checkerboard that shows transparency\n";
  // Each option's lines, shown in the help of the commands that take it.
  enum : unsigned { kForApply = 1, kForGallery = 2, kForAll = 3 };
  static constexpr struct {
    unsigned commands;
    const char* text;
  } kOptionLines[] = {
      {kForApply,
       "  --rect L,T,R,B  apply: filter only this rectangle, in pixels; left and top inclusive,\n"
       "                  right and bottom exclusive (default: the whole image)\n"},
      {kForAll, "  --fg COLOUR     the drawing colour the module is given (default #000000, black)\n"},
      {kForAll, "  --bg COLOUR     the background colour the module is given (default #FFFFFF, white)\n"},
      {kForGallery, "  --scale N       gallery: show each image N times enlarged, 1 to 16 (default 1)\n"},
      {kForApply, "  --output-dir DIR  apply: write each output into DIR, under its input's file name\n"},
      {kForApply, "  --in-place      apply: replace each input with its output\n"},
      {kForApply, "  --jobs N        apply: work on N files at once, 1 to 64 (default: one for each\n"
                  "                  processor), within the memory limit\n"},
      {kForApply, "  --strip         apply: leave out the input's metadata (colour space, text, Exif)\n"},
      {kForAll,
       "  -q, --quiet     no progress bar (one is drawn only when stderr is a terminal)\n"
       "  -h, --help      show this help\n"
       "  --version       show qfhost's version\n"
       "\n"
       "MODULE is the path of a filter module (.qfi on Windows, .so on Linux).\n"},
      {kForApply,
       "FILTER is an index as 'list' prints it, or a filter's English or Japanese name,\n"
       "such as \"Opacify\", \"Transparentize (Fill with FGC)\" or \"不透明化\"; English names\n"
       "in any case, with or without spaces around parentheses; Japanese ones with ASCII or\n"
       "full-width parentheses.\n"},
      {kForAll,
       "COLOUR is #RRGGBB or #RRGGBBAA in hexadecimal ('#' optional; quote it in a shell),\n"
       "or R,G,B or R,G,B,A in decimal; alpha is 255 when omitted.\n"
       "IN.png '-' is standard input. OUT.png is written whole or not at all; an existing\n"
       "file is replaced only on success, keeping its mode; a symbolic link's target is\n"
       "replaced; a device, FIFO, folder or file with several hard links is never replaced,\n"
       "nor is a name ending in another image format's extension (.jpg, .gif, ...) used.\n"
       "The output keeps the input's colour type and depth where they hold the result, else\n"
       "the smallest of its kind that does; 16-bit samples the filter left keep their 16 bits.\n"
       "Limits: at most 67108864 pixels (8192x8192) and 134217728 bytes (128 MiB) of file\n"
       "an image; a run holds about 12 bytes a pixel (28 for 16-bit RGBA), at most 1 GiB.\n"},
      {kForApply,
       "In the batch form a file that fails is reported and the rest go on; a last line\n"
       "gives the counts. No file is written twice in one batch, however it is named.\n"},
      {kForAll,
       "\n"
       "Exit status: 0 success, 1 the run (or any file of a batch) failed, or a write to\n"
       "standard output failed (a closed pipe too), 2 the command line is wrong, 130, 143\n"
       "or 129 interrupted (a line then says which output was left untouched).\n"},
  };
  const auto optionsText = [](unsigned commands) {
    std::string text = "\nOptions:\n";
    for (const auto& line : kOptionLines) {
      if ((line.commands & commands) != 0) text += line.text;
    }
    return text;
  };
  switch (command) {
    case Command::kList:
      return "Usage: qfhost list MODULE\n"
             "Prints the module's information line, then one line per filter: its index,\n"
             "category and name, tab-separated, the labels converted to UTF-8.\n";
    case Command::kApply:
      return "Usage: qfhost apply MODULE FILTER IN.png OUT.png [--rect L,T,R,B] [--fg COLOUR]\n"
             "                    [--bg COLOUR] [--strip] [--quiet]\n"
             "       qfhost apply MODULE FILTER IN.png... (--output-dir DIR | --in-place) ...\n"
             "Runs one filter on IN.png and writes OUT.png (RGBA, '-' for standard output), or\n"
             "on each IN.png into DIR or over itself; pixels outside the rectangle keep their\n"
             "values, and the input's metadata is kept unless --strip.\n" +
             optionsText(kForApply);
    case Command::kGallery:
      return "Usage: qfhost gallery MODULE IN.png OUT.png [--fg COLOUR] [--bg COLOUR]\n"
             "                      [--scale N] [--quiet]\n"
             "Runs every filter on the whole of IN.png and writes one image: the input and each\n"
             "result in list order, left to right and top to bottom, over a checkerboard.\n" +
             optionsText(kForGallery);
    case Command::kNone:
      break;
  }
  return std::string(kGeneral) + optionsText(kForAll);
}

}  // namespace veilmere::qfhost
