#pragma once
// qfhost's command line, read with CLI11 into one structure before anything is loaded or
// opened: the command, its operands and its options. Each command puts its own part on the
// command line (Command::setup); this file holds what they share.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_api.h"

namespace CLI {
class App;
class Option;
class Validator;
}  // namespace CLI

namespace veilmere::qfhost {

struct Console;
class ProgressBar;
struct Options;

// One of qfhost's commands. commands.cpp lists them in one table, in the order the help shows
// them; nothing else names them.
struct Command {
  std::string_view name;
  // Adds the command's description, operands and options, each with its description and the
  // checks CLI11 runs on it, to its subcommand `command`, read into `options`.
  void (*setup)(CLI::App& command, Options& options);
  // Carries it out; returns the exit status.
  int (*run)(const Options& options, const Console& console, ProgressBar& progress);
};

// A rectangle as written on the command line, before it is checked against an image: left and
// top inclusive, right and bottom exclusive, each within the range of a 32-bit integer.
struct RectOption {
  std::int64_t left;
  std::int64_t top;
  std::int64_t right;
  std::int64_t bottom;
};

inline constexpr Pixel kDefaultDrawingColour{0, 0, 0, 255};         // opaque black
inline constexpr Pixel kDefaultBackgroundColour{255, 255, 255, 255};  // opaque white
inline constexpr int kMaxGalleryScale = 16;
// apply --jobs: at most this many files at once, each with its temporary file
// (interrupt_state.h: kMaxTemporaries).
inline constexpr int kMaxJobs = 64;

struct Options {
  const Command* command = nullptr;  // null only with helpOrVersion
  // With --help or --version: what to print instead of running a command (the help of the
  // command line or of the command given, or the version line).
  std::string helpOrVersion;
  bool quiet = false;  // --quiet: no progress bar
  bool strip = false;  // apply: --strip, no metadata chunks in the output
  std::string module;
  std::string filter;  // apply: an index, or an English or Japanese filter name
  std::string input;   // the one input of gallery and of apply's single form
  std::string output;  // its output: a path, or "-" for standard output
  // apply's batch form: every input, each written to outputDir under its own file name
  // (--output-dir DIR) or over itself (--in-place).
  std::vector<std::string> inputs;
  std::string outputDir;
  bool inPlace = false;
  int jobs = 0;  // files at once (--jobs N); 0: one for each processor
  std::optional<RectOption> rect;  // apply: the area to filter; the whole image when absent
  Pixel drawing = kDefaultDrawingColour;
  Pixel background = kDefaultBackgroundColour;
  int scale = 1;  // gallery: each image pixel becomes scale x scale gallery pixels
};

// Reads the arguments that follow the program name, for `commands`. The command comes first;
// options may stand anywhere after it, as "--name value" or "--name=value", and short flags
// may be combined ("-qh"); "--" makes every later argument an operand. With --help or
// --version the operands are not checked. Throws UsageError, one line naming the argument
// and the fault, for the first mistake: an unknown command or option, an option the command
// does not take or that is given twice, a missing or extra operand, a malformed value.
Options ParseArguments(const std::vector<std::string>& args, std::span<const Command> commands);

// What the commands' set-ups share. MODULE, the first operand of every command:
CLI::Option* AddModuleOperand(CLI::App& command, Options& options);
// --fg and --bg, the colours the module is given:
void AddColourOptions(CLI::App& command, Options& options);
// An option whose value is a whole number from `low` to `high`, read into `value`. It is read
// as decimal: CLI11's own reading of integers would take "010" as octal and "0x10" as
// hexadecimal. `what` names the value in the message: "malformed scale '0': use a whole
// number from 1 to 16".
CLI::Option* AddWholeNumberOption(CLI::App& command, const std::string& name, int& value,
                                  int low, int high, const std::string& what,
                                  const std::string& description);
// CLI11's check of a value that `read` reads (ParseColour, ParseRect): it refuses the value
// with the message of the UsageError `read` throws.
CLI::Validator SyntaxCheck(std::function<void(std::string_view)> read);

// "#RRGGBB", "#RRGGBBAA" (hexadecimal, '#' optional; alpha 255 when omitted) or "R,G,B" and
// "R,G,B,A" (decimal 0 to 255). Throws UsageError naming the text otherwise.
Pixel ParseColour(std::string_view text);

// "L,T,R,B": four decimal integers. Throws UsageError when malformed or beyond 32 bits.
RectOption ParseRect(std::string_view text);

// The rectangle the module is given: `rect` when it lies inside a width x height image and
// holds at least one pixel (0 <= L < R <= width, 0 <= T < B <= height), the whole image when
// `rect` is absent. The module trusts its host with this, so qfhost checks it; throws
// RunError otherwise.
FilterRect RectInsideImage(const std::optional<RectOption>& rect, std::int32_t width,
                           std::int32_t height);

// The one-line hint a usage error ends with.
inline constexpr char kHelpHint[] = "see 'qfhost --help'";

}  // namespace veilmere::qfhost
