#include "tools/qfhost/commands.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <map>
#include <set>

#include "tools/qfhost/batch.h"
#include "tools/qfhost/errors.h"
#include "tools/qfhost/gallery.h"
#include "tools/qfhost/image.h"
#include "tools/qfhost/interrupt_state.h"
#include "tools/qfhost/module.h"
#include "tools/qfhost/options.h"
#include "tools/qfhost/platform.h"
#include "tools/qfhost/progress.h"

namespace veilmere::qfhost {
namespace {

void SetUpList(CLI::App& command, Options& options) {
  command.description(
      "print the module's information line, then one line per filter: its index, category and "
      "name, tab-separated, the labels converted to UTF-8");
  command.footer("");  // the notes on files and limits are not list's
  AddModuleOperand(command, options);
}

// Everything is gathered before the first line is printed, so a failure prints no list.
int List(const Options& options, const Console& console, ProgressBar&) {
  const FilterModule module(options.module, {options.drawing, options.background});
  const std::string info = module.Info();
  const std::vector<FilterEntry> filters = module.Filters();
  console.out << info << '\n';
  for (const FilterEntry& filter : filters) {
    console.out << filter.index << '\t' << filter.category << '\t' << filter.name << '\n';
  }
  return kExitSuccess;
}

RunError StandardOutputFailed() {
  const int error = errno;
  return RunError(std::string("cannot write to standard output: ") +
                  (error != 0 ? std::strerror(error) : "the write failed"));
}

// True when `path` ends in the extension of an image format other than PNG, in any case.
bool NamesAnotherFormat(const std::string& path) {
  const std::string name = FileName(path);
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return false;
  std::string extension = name.substr(dot + 1);
  for (char& c : extension) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  for (const char* other : {"jpg", "jpeg", "gif", "bmp", "tif", "tiff", "webp"}) {
    if (extension == other) return true;
  }
  return false;
}

// Before any input is read: the output can be written. "-" is standard output, which must
// not be a terminal, since PNG data would only garble it. A file named for another image
// format would hold PNG data that programs going by the name misread.
void CheckOutput(const std::string& output, const Console& console) {
  if (output != "-") {
    if (NamesAnotherFormat(output)) {
      throw RunError("cannot write '" + output + "': qfhost writes PNG, and its name says " +
                     "another format; name it .png");
    }
    CheckOutputPath(output);
  } else if (console.outIsTerminal) {
    throw RunError("standard output is a terminal, where PNG data does not belong; "
                   "redirect it or name a file");
  }
}

void WriteOutput(const std::string& output, const std::vector<std::uint8_t>& bytes,
                 const Console& console) {
  if (output != "-") return WriteWholeFile(output, bytes);
  errno = 0;
  console.out.write(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<std::streamsize>(bytes.size()));
  console.out.flush();
  if (!console.out) throw StandardOutputFailed();
}

// How messages name an input.
std::string InputName(const std::string& input) { return input == "-" ? "standard input" : input; }

// The input's bytes and its checked header. "-" is standard input, which must not be a
// terminal: there is no typing a PNG file.
std::vector<std::uint8_t> ReadInput(const std::string& input, const Console& console,
                                    PngHeader* header) {
  std::vector<std::uint8_t> bytes;
  if (input != "-") {
    bytes = ReadWholeFile(input, kMaxFileBytes);
  } else if (console.in == nullptr || console.inIsTerminal) {
    throw RunError("standard input is a terminal, not a PNG file; pipe one in or name a file");
  } else {
    char chunk[65536];
    while (console.in->read(chunk, sizeof chunk) || console.in->gcount() > 0) {
      if (static_cast<std::int64_t>(bytes.size()) + console.in->gcount() > kMaxFileBytes) {
        throw RunError("cannot read standard input: larger than the " +
                       std::to_string(kMaxFileBytes) + " bytes qfhost reads");
      }
      bytes.insert(bytes.end(), chunk, chunk + console.in->gcount());
    }
    if (console.in->bad()) throw RunError("cannot read standard input");
    bytes.shrink_to_fit();  // growing, it could hold twice the file, and would while decoding
  }
  *header = ReadPngHeader(bytes, InputName(input));
  return bytes;
}

// Refuses a run whose memory bound (image.h) passes kMaxRunBytes, before it decodes a pixel.
void CheckMemory(std::uint64_t bound, const std::string& name) {
  if (bound <= kMaxRunBytes) return;
  throw RunError("'" + name + "' would take up to " + std::to_string((bound + (1 << 20) - 1) >> 20) +
                 " MiB of memory to process, more than the " + std::to_string(kMaxRunBytes >> 20) +
                 " MiB qfhost allows");
}

// The module and the filter apply uses, loaded once for every file.
struct LoadedFilter {
  std::unique_ptr<FilterModule> module;
  std::int32_t index;
  std::string name;  // its English name, for the progress bar
};

LoadedFilter LoadFilter(const Options& options) {
  auto module = std::make_unique<FilterModule>(
      options.module, hostkit::HostColours{options.drawing, options.background});
  const std::vector<FilterEntry> filters = module->Filters();
  const std::int32_t index = FindFilter(filters, options.filter);
  return {std::move(module), index, std::string(EnglishPart(filters[std::size_t(index)].name))};
}

// What an interrupt while `output` is being made says: that file is left as it was.
void ReportInterruptWhileMaking(const std::string& output, const ProgressBar& progress) {
  const std::string left = output == "-" ? "nothing more written to standard output"
                                         : "'" + output + "' left untouched";
  SetInterruptReport(progress.RubOut() + "qfhost: interrupted; " + left + "\n");
}

// One input to one output. Everything that can be checked from the output's path and the
// input's header is checked before a pixel is decoded. The bar covers decoding, filtering and
// encoding.
void ApplyOne(const LoadedFilter& filter, const Options& options, const std::string& input,
              const std::string& output, const Console& console, ProgressBar& progress) {
  CheckOutput(output, console);
  const RowProgress rows = [&](std::int64_t done, std::int64_t total) { progress.Rows(done, total); };
  FilterRect rect{};
  DecodedPng source;
  {
    // The file's bytes are released once decoded, as ApplyMemoryBound counts.
    PngHeader header;
    const std::vector<std::uint8_t> bytes = ReadInput(input, console, &header);
    rect = RectInsideImage(options.rect, header.width, header.height);
    CheckMemory(ApplyMemoryBound(header, bytes.size(), KeptChunkBytes(bytes, header)),
                InputName(input));
    progress.Phase(0, 40);
    source = DecodePngFile(bytes, InputName(input), rows);
  }
  if (!options.strip && !source.warnings.empty()) {
    progress.End();
    for (const std::string& warning : source.warnings) console.err << "qfhost: " << warning << '\n';
    console.err.flush();
  }
  // In place: the module allows the source as the destination, and pixels outside the
  // rectangle keep their values.
  progress.Phase(40, 60);
  filter.module->Execute(filter.index, source.image, source.image, rect, &ProgressBar::Report,
                        &progress);
  progress.Phase(60, 100);
  const std::vector<std::uint8_t> encoded = EncodePng(
      source.image, source.format, options.strip ? std::vector<PngChunk>{} : source.metadata, rows);
  progress.End();
  WriteOutput(output, encoded, console);
}

// What CLI11 cannot check of apply's operands once it has read them: without --output-dir
// or --in-place, they end in one input and its output.
void SortOutApplyOperands(const CLI::App& command, Options& options) {
  if (options.inPlace || !options.outputDir.empty()) return;  // the batch form: every input
  if (command.count("--jobs") > 0) {
    throw CLI::ValidationError("--jobs is for several inputs, with --output-dir DIR or --in-place");
  }
  if (options.inputs.size() < 2) throw CLI::RequiredError("OUT.png");
  if (options.inputs.size() > 2) {
    // Two files after the filter are an input and its output; a third is most likely one more
    // input of a batch whose --output-dir or --in-place was forgotten.
    throw CLI::ValidationError("unexpected argument '" + options.inputs[2] +
                               "'; for several inputs add --output-dir DIR or --in-place");
  }
  options.input = options.inputs[0];
  options.output = options.inputs[1];
  options.inputs.clear();
}

void SetUpApply(CLI::App& command, Options& options) {
  command.description(
      "run one filter on IN.png and write OUT.png, or, with --output-dir DIR or --in-place, on "
      "each of several IN.png into DIR or over itself; pixels outside the rectangle keep their "
      "values, and the input's metadata is kept unless --strip");
  AddModuleOperand(command, options);
  command
      .add_option("FILTER", options.filter,
                  "an index as 'list' prints it, or a filter's English or Japanese name, such as "
                  "\"Opacify\", \"Transparentize (Fill with FGC)\" or \"不透明化\"; English names in "
                  "any case, with or without spaces around parentheses; Japanese ones with ASCII "
                  "or full-width parentheses")
      ->required();
  command
      .add_option("IN.png", options.inputs,
                  "the input and its output ('-': standard input, standard output); with "
                  "--output-dir or --in-place, any number of inputs: IN.png...")
      ->required()
      ->option_text("IN.png OUT.png");
  command
      .add_option_function<std::string>(
          "--rect", [&options](const std::string& text) { options.rect = ParseRect(text); },
          "filter only this rectangle, in pixels; left and top inclusive, right and bottom "
          "exclusive (default: the whole image)")
      ->check(SyntaxCheck([](std::string_view text) { ParseRect(text); }))
      ->type_name("L,T,R,B");
  AddColourOptions(command, options);
  CLI::Option* outputDir =
      command
          .add_option("--output-dir", options.outputDir,
                      "write each output into DIR, under its input's file name")
          ->check([](const std::string& folder) {
            return folder.empty() ? "an empty name is no folder ('.' is the current one)" : "";
          })
          ->type_name("DIR");
  command.add_flag("--in-place", options.inPlace, "replace each input with its output")
      ->excludes(outputDir);
  AddWholeNumberOption(command, "--jobs", options.jobs, 1, kMaxJobs, "job count",
                       "work on N files at once, 1 to 64 (default: one for each processor), "
                       "within the memory limit");
  command.add_flag("--strip", options.strip,
                   "leave out the input's metadata (colour space, text, Exif)");
  command.callback([&command, &options] { SortOutApplyOperands(command, options); });
}

void Apply(const Options& options, const Console& console, ProgressBar& progress) {
  CheckOutput(options.output, console);
  const LoadedFilter filter = LoadFilter(options);
  progress.Begin(filter.name, 1, 1);
  ReportInterruptWhileMaking(options.output, progress);
  ApplyOne(filter, options, options.input, options.output, console, progress);
}

// The memory a batch file may need, known before it is read whole: ApplyMemoryBound from its
// size and header, its kept chunks taken as large as the file (they lie in it). A file whose
// header cannot be read needs what reading it holds; one that is no regular file, or cannot
// be opened, the whole limit (it runs alone, and fails or is checked as it is read).
std::uint64_t MemoryBeforeReading(const std::string& input) {
  constexpr std::size_t kHeaderBytes = 33;  // the signature and IHDR
  std::vector<std::uint8_t> start;
  std::uint64_t size = 0;
  if (!ReadFileStart(input, kHeaderBytes, &start, &size)) return kMaxRunBytes;
  try {
    return std::min(ApplyMemoryBound(ReadPngHeader(start, input), size, size), kMaxRunBytes);
  } catch (const RunError&) {
    return size + kCodecOverhead;
  }
}

// The names of the files a batch input reads and writes, for RunBatch: the identities of the
// input and of an existing output, and the output's name without regard to ASCII case (two
// names of one new file where the file system ignores case).
std::vector<std::string> SharedNames(const std::string& input, const std::string& output) {
  std::vector<std::string> names;
  FileIdentity identity;
  for (const std::string& path : {input, output}) {
    if (IdentityOf(path, &identity)) {
      names.push_back(std::to_string(identity.device) + ":" + std::to_string(identity.file));
    }
  }
  std::string folded = output;
  for (char& c : folded) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  names.push_back("name:" + folded);
  return names;
}

// What refuses a batch input before it is read. No file is written twice in one batch: the
// second write would undo or replace the first one's result. Output paths are compared as
// text first (`written`); then, since one file may have several names (a symbolic link,
// "a/../a/x.png", a name in another case where the file system ignores case), the file an
// output path names is compared with the files written so far by the identity the system
// gives it (`writtenFiles`).
void CheckBatchInput(const Options& options, const std::string& input, const std::string& output,
                     std::set<std::string>& written,
                     const std::map<FileIdentity, std::string>& writtenFiles) {
  if (FileName(input).empty()) throw RunError("cannot read '" + input + "': it names a folder");
  if (input == "-") {
    throw RunError("'-' (standard input) has no file name to write under; in a batch, "
                   "name the files");
  }
  if (!options.inPlace && SameFile(input, output)) {
    throw RunError("'" + output + "' is the input itself; --in-place replaces inputs");
  }
  if (!written.insert(output).second) {
    throw RunError("'" + input + "' would write over '" + output +
                   "', already written from another input of that name");
  }
  FileIdentity identity;
  if (IdentityOf(output, &identity)) {
    if (const auto earlier = writtenFiles.find(identity); earlier != writtenFiles.end()) {
      throw RunError("'" + output + "' names the file already written as '" + earlier->second +
                     "' in this batch; it is left as that run wrote it");
    }
  }
}

// Each input into --output-dir under its own name or over itself, on --jobs threads (batch.h:
// lines and checks in the inputs' order), within kMaxRunBytes together. A file that fails is
// reported and the rest go on.
int ApplyBatch(const Options& options, const Console& console, ProgressBar& progress) {
  // Once for the whole batch, rather than the same error for every file.
  if (!options.inPlace) CheckOutputFolder(options.outputDir);
  const LoadedFilter filter = LoadFilter(options);
  const int total = static_cast<int>(options.inputs.size());
  std::vector<std::string> outputs;
  BatchSteps steps;
  for (const std::string& input : options.inputs) {
    outputs.push_back(options.inPlace ? input : JoinPath(options.outputDir, FileName(input)));
    steps.sharedNames.push_back(SharedNames(input, outputs.back()));
  }
  std::set<std::string> written;
  std::map<FileIdentity, std::string> writtenFiles;  // each written file, by its output path
  steps.admit = [&](int i) {
    const std::string& input = options.inputs[std::size_t(i)];
    CheckBatchInput(options, input, outputs[std::size_t(i)], written, writtenFiles);
    return MemoryBeforeReading(input);
  };
  steps.work = [&](int i, std::ostream& err, ProgressBar& bar) {
    const Console lines{console.out, err, false};
    ApplyOne(filter, options, options.inputs[std::size_t(i)], outputs[std::size_t(i)], lines, bar);
  };
  steps.ended = [&](int i, bool ok) {
    FileIdentity identity;
    if (ok && IdentityOf(outputs[std::size_t(i)], &identity)) {
      writtenFiles.emplace(identity, outputs[std::size_t(i)]);
    }
  };
  steps.input = [&](int i) { return options.inputs[std::size_t(i)]; };
  steps.label = [&](int i) { return FileName(options.inputs[std::size_t(i)]) + ": " + filter.name; };
  steps.output = [&](int i) { return outputs[std::size_t(i)]; };
  static_assert(kMaxJobs <= int(kMaxTemporaries), "each file in flight writes a temporary file");
  const int processors = static_cast<int>(std::thread::hardware_concurrency());  // 0: unknown
  const int jobs = options.jobs > 0 ? options.jobs : std::clamp(processors, 1, kMaxJobs);
  const BatchCounts counts = RunBatch(steps, total, jobs, kMaxRunBytes, console.err, progress);
  console.err << "qfhost: " << counts.written << " of " << total << " file"
              << (total == 1 ? "" : "s") << " written, " << counts.failed << " failed" << std::endl;
  return counts.failed == 0 ? kExitSuccess : kExitFailure;
}

void SetUpGallery(CLI::App& command, Options& options) {
  command.description(
      "run every filter on the whole of IN.png and write one image: the input, then each result "
      "in list order, left to right and top to bottom, each over a checkerboard that shows "
      "transparency");
  AddModuleOperand(command, options);
  command.add_option("IN.png", options.input, "the input ('-': standard input)")->required();
  command.add_option("OUT.png", options.output, "the gallery ('-': standard output)")->required();
  AddColourOptions(command, options);
  AddWholeNumberOption(command, "--scale", options.scale, 1, kMaxGalleryScale, "scale",
                       "show each image N times enlarged, 1 to 16 (default 1)");
}

int MakeGallery(const Options& options, const Console& console, ProgressBar& progress) {
  CheckOutput(options.output, console);
  ReportInterruptWhileMaking(options.output, progress);
  PngHeader header;
  const std::vector<std::uint8_t> bytes = ReadInput(options.input, console, &header);
  const FilterModule module(options.module, {options.drawing, options.background});
  const std::vector<FilterEntry> filters = module.Filters();
  if (filters.empty()) throw RunError("module '" + options.module + "' offers no filters");

  std::vector<std::string> labels{"input"};
  for (const FilterEntry& filter : filters) {
    labels.push_back(std::to_string(filter.index) + " " + std::string(EnglishPart(filter.name)));
  }
  std::int32_t labelWidth = 0;
  for (const std::string& label : labels) labelWidth = std::max(labelWidth, LabelWidth(label));

  const auto cells = static_cast<std::int32_t>(labels.size());
  const GalleryLayout layout =
      PlanGallery(cells, header.width, header.height, options.scale, labelWidth);
  // The file is held throughout, the source and a result while the gallery is drawn and
  // encoded.
  const std::uint64_t pixels = std::uint64_t(header.width) * std::uint64_t(header.height);
  CheckMemory(std::max(DecodeMemoryBound(header, bytes.size(), KeptChunkBytes(bytes, header)),
                       bytes.size() + 8 * pixels +
                           EncodeMemoryBound(PngHeader{layout.width, layout.height, 8, kRgba, false}, 0)),
              InputName(options.input));
  const RowProgress rows = [&](std::int64_t done, std::int64_t total) { progress.Rows(done, total); };
  progress.Begin("reading " + FileName(options.input), 1, 1);
  Image source = DecodePngFile(bytes, InputName(options.input), rows).image;
  Gallery gallery(layout);
  gallery.Place(0, source, labels[0]);
  const FilterRect whole{0, 0, source.width, source.height};
  Image result;
  for (const FilterEntry& filter : filters) {
    result = source;
    progress.Begin(std::string(EnglishPart(filter.name)), filter.index + 1, cells - 1);
    module.Execute(filter.index, source, result, whole, &ProgressBar::Report, &progress);
    gallery.Place(filter.index + 1, result, labels[std::size_t(filter.index) + 1]);
  }
  progress.Begin(
      "writing " + (options.output == "-" ? "standard output" : FileName(options.output)), 1, 1);
  const std::vector<std::uint8_t> encoded = EncodePng(gallery.image(), std::vector<PngChunk>{}, rows);
  progress.End();
  WriteOutput(options.output, encoded, console);
  return kExitSuccess;
}

int ApplyCommand(const Options& options, const Console& console, ProgressBar& progress) {
  if (options.inPlace || !options.outputDir.empty()) return ApplyBatch(options, console, progress);
  Apply(options, console, progress);
  return kExitSuccess;
}

// qfhost's commands, in the order the help lists them. A new command is a row here, with its
// set-up and its run function.
constexpr Command kCommands[] = {
    {"list", SetUpList, List},
    {"apply", SetUpApply, ApplyCommand},
    {"gallery", SetUpGallery, MakeGallery},
};

}  // namespace

std::span<const Command> Commands() { return kCommands; }

int Run(const std::vector<std::string>& args, const Console& console) {
  // Once the run is over, however it ends, an interrupt has nothing left to report.
  struct ReportCleared {
    ~ReportCleared() { SetInterruptReport(""); }
  } cleared;
  try {
    const Options options = ParseArguments(args, kCommands);
    int status = kExitSuccess;
    if (!options.helpOrVersion.empty()) {
      console.out << options.helpOrVersion;
    } else {
      ProgressBar progress(console.err, console.errIsTerminal && !options.quiet,
                           console.errColumns);
      status = options.command->run(options, console, progress);
    }
    // What was printed must have arrived: a full disk or a closed pipe is a failure.
    errno = 0;
    console.out.flush();
    if (!console.out) throw StandardOutputFailed();
    return status;
  } catch (const UsageError& error) {
    console.err << "qfhost: " << error.what() << " (" << kHelpHint << ")" << std::endl;
    return kExitUsage;
  } catch (const RunError& error) {
    console.err << "qfhost: " << error.what() << std::endl;
  } catch (const std::bad_alloc&) {
    console.err << "qfhost: out of memory" << std::endl;
  } catch (const std::exception& error) {
    console.err << "qfhost: " << error.what() << std::endl;
  }
  return kExitFailure;
}

}  // namespace veilmere::qfhost
