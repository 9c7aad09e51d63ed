#include "tools/qfhost/options.h"

#include <charconv>
#include <limits>

#include "tools/qfhost/errors.h"

namespace veilmere::qfhost {
namespace {

// Which commands take an option, as a bit set of (1 << Command).
constexpr unsigned Bit(Command command) { return 1u << static_cast<unsigned>(command); }
constexpr unsigned kAnyCommand =
    Bit(Command::kNone) | Bit(Command::kList) | Bit(Command::kApply) | Bit(Command::kGallery);

enum class OptionId { kHelp, kVersion, kQuiet, kRect, kDrawing, kBackground, kScale };

struct OptionSpec {
  OptionId id;
  std::string_view name;  // long name, without "--"
  char letter;            // short name, or 0
  bool takesValue;
  unsigned commands;
};

constexpr OptionSpec kOptions[] = {
    {OptionId::kHelp, "help", 'h', false, kAnyCommand},
    {OptionId::kVersion, "version", 0, false, kAnyCommand},
    {OptionId::kQuiet, "quiet", 'q', false, kAnyCommand},
    {OptionId::kRect, "rect", 0, true, Bit(Command::kApply)},
    {OptionId::kDrawing, "fg", 0, true, Bit(Command::kApply) | Bit(Command::kGallery)},
    {OptionId::kBackground, "bg", 0, true, Bit(Command::kApply) | Bit(Command::kGallery)},
    {OptionId::kScale, "scale", 0, true, Bit(Command::kGallery)},
};

struct CommandSpec {
  Command command;
  std::string_view name;
  std::string_view operands;
  std::size_t operandCount;
};

constexpr CommandSpec kCommands[] = {
    {Command::kList, "list", "MODULE", 1},
    {Command::kApply, "apply", "MODULE FILTER IN.png OUT.png", 4},
    {Command::kGallery, "gallery", "MODULE IN.png OUT.png", 3},
};

const CommandSpec& SpecOf(Command command) {
  for (const CommandSpec& entry : kCommands) {
    if (entry.command == command) return entry;
  }
  return kCommands[0];  // not reached: every command but kNone has a row
}

const OptionSpec* FindLong(std::string_view name) {
  for (const OptionSpec& entry : kOptions) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

const OptionSpec* FindShort(char letter) {
  for (const OptionSpec& entry : kOptions) {
    if (entry.letter != 0 && entry.letter == letter) return &entry;
  }
  return nullptr;
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

void ApplyOption(Options& options, OptionId id, const std::string& value) {
  switch (id) {
    case OptionId::kHelp: options.help = true; break;
    case OptionId::kVersion: options.version = true; break;
    case OptionId::kQuiet: options.quiet = true; break;
    case OptionId::kRect: options.rect = ParseRect(value); break;
    case OptionId::kDrawing: options.drawing = ParseColour(value); break;
    case OptionId::kBackground: options.background = ParseColour(value); break;
    case OptionId::kScale: options.scale = ParseScale(value); break;
  }
}

}  // namespace

Options ParseArguments(const std::vector<std::string>& args) {
  struct Given {
    const OptionSpec* entry;
    std::string written;  // as the user wrote it, for messages
    std::string value;
  };
  std::vector<Given> given;
  std::vector<std::string> operands;
  bool onlyOperands = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // "-" alone is an operand, as it is for most command-line tools.
    if (onlyOperands || arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyOperands = true;
      continue;
    }
    const OptionSpec* entry = nullptr;
    std::string written = arg;
    std::optional<std::string> value;
    if (arg[1] == '-') {
      const std::size_t equals = arg.find('=');
      written = arg.substr(0, equals);
      entry = FindLong(std::string_view(written).substr(2));
      if (equals != std::string::npos) value = arg.substr(equals + 1);
    } else if (arg.size() == 2) {
      entry = FindShort(arg[1]);
    }
    if (entry == nullptr) throw UsageError("unknown option '" + written + "'");
    if (entry->takesValue && !value) {
      if (i + 1 == args.size()) throw UsageError("option '" + written + "' needs a value");
      value = args[++i];
    } else if (!entry->takesValue && value) {
      throw UsageError("option '" + written + "' takes no value");
    }
    given.push_back({entry, written, value.value_or("")});
  }

  Options options;
  if (!operands.empty()) {
    for (const CommandSpec& entry : kCommands) {
      if (operands[0] == entry.name) options.command = entry.command;
    }
    if (options.command == Command::kNone) {
      throw UsageError("unknown command '" + operands[0] + "'");
    }
    operands.erase(operands.begin());
  }

  for (const Given& option : given) {
    if ((option.entry->commands & Bit(options.command)) == 0) {
      if (options.command == Command::kNone) {
        throw UsageError("option '" + option.written + "' needs a command");
      }
      throw UsageError("option '" + option.written + "' is not one of " +
                       std::string(SpecOf(options.command).name) + "'s options");
    }
    ApplyOption(options, option.entry->id, option.value);
  }
  if (options.help || options.version) return options;

  if (options.command == Command::kNone) throw UsageError("no command given");
  const CommandSpec& entry = SpecOf(options.command);
  if (operands.size() < entry.operandCount) {
    throw UsageError(std::string(entry.name) + " needs " + std::string(entry.operands));
  }
  if (operands.size() > entry.operandCount) {
    throw UsageError("unexpected argument '" + operands[entry.operandCount] + "'");
  }
  options.module = operands[0];
  switch (options.command) {
    case Command::kApply:
      options.filter = operands[1];
      options.input = operands[2];
      options.output = operands[3];
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
      "  qfhost gallery MODULE IN.png OUT.png [--fg COLOUR] [--bg COLOUR] [--scale N]\n"
      "  qfhost [COMMAND] --help | --version\n"
      "\n"
      "Commands:\n"
      "  list     print the module's information line, then one line per filter:\n"
      "           index, category and name, tab-separated\n"
      "  apply    run one filter on IN.png and write the result to OUT.png\n"
      "  gallery  run every filter on IN.png and write a grid of the results, input first,\n"
      "           over a checkerboard that shows transparency\n";
  static constexpr char kOptionsText[] =
      "\n"
      "Options:\n"
      "  --rect L,T,R,B  apply: filter only this rectangle, in pixels; left and top inclusive,\n"
      "                  right and bottom exclusive (default: the whole image)\n"
      "  --fg COLOUR     the drawing colour the module is given (default #000000, black)\n"
      "  --bg COLOUR     the background colour the module is given (default #FFFFFF, white)\n"
      "  --scale N       gallery: show each image N times enlarged, 1 to 16 (default 1)\n"
      "  -q, --quiet     no progress bar (one is drawn only when stderr is a terminal)\n"
      "  -h, --help      show this help\n"
      "  --version       show qfhost's version\n"
      "\n"
      "MODULE is the path of a filter module (.qfi on Windows, .so on Linux).\n"
      "FILTER is an index as 'list' prints it, or a filter's English or Japanese name,\n"
      "such as \"Opacify\" or \"不透明化\".\n"
      "COLOUR is #RRGGBB or #RRGGBBAA in hexadecimal ('#' optional; quote it in a shell),\n"
      "or R,G,B or R,G,B,A in decimal; alpha is 255 when omitted.\n"
      "OUT.png is written whole or not at all; an existing file is replaced only on success.\n"
      "\n"
      "Exit status: 0 success, 1 the run failed, 2 the command line is wrong.\n";
  switch (command) {
    case Command::kList:
      return "Usage: qfhost list MODULE\n"
             "Prints the module's information line, then one line per filter: its index,\n"
             "category and name, tab-separated, the labels converted to UTF-8.\n";
    case Command::kApply:
      return "Usage: qfhost apply MODULE FILTER IN.png OUT.png [--rect L,T,R,B] [--fg COLOUR]\n"
             "                    [--bg COLOUR] [--quiet]\n"
             "Runs one filter on IN.png and writes OUT.png (RGBA); pixels outside the\n"
             "rectangle keep their values.\n" +
             std::string(kOptionsText);
    case Command::kGallery:
      return "Usage: qfhost gallery MODULE IN.png OUT.png [--fg COLOUR] [--bg COLOUR]\n"
             "                      [--scale N] [--quiet]\n"
             "Runs every filter on the whole of IN.png and writes one image: the input and each\n"
             "result in list order, left to right and top to bottom, over a checkerboard.\n" +
             std::string(kOptionsText);
    case Command::kNone:
      break;
  }
  return std::string(kGeneral) + kOptionsText;
}

}  // namespace veilmere::qfhost
