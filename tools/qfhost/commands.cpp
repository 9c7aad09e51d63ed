#include "tools/qfhost/commands.h"

#include <algorithm>
#include <new>

#include "tools/qfhost/errors.h"
#include "tools/qfhost/gallery.h"
#include "tools/qfhost/image.h"
#include "tools/qfhost/module.h"
#include "tools/qfhost/options.h"
#include "tools/qfhost/progress.h"

namespace veilmere::qfhost {
namespace {

// Everything is gathered before the first line is printed, so a failure prints no list.
void List(const Options& options, const Console& console) {
  const FilterModule module(options.module, {options.drawing, options.background});
  const std::string info = module.Info();
  const std::vector<FilterEntry> filters = module.Filters();
  console.out << info << '\n';
  for (const FilterEntry& filter : filters) {
    console.out << filter.index << '\t' << filter.category << '\t' << filter.name << '\n';
  }
  console.out.flush();
}

// Pixels outside the rectangle keep the input's values: the destination starts as a copy.
void Apply(const Options& options, ProgressBar& progress) {
  Image source = ReadPng(options.input);
  const FilterRect rect = RectInsideImage(options.rect, source.width, source.height);
  const FilterModule module(options.module, {options.drawing, options.background});
  const std::vector<FilterEntry> filters = module.Filters();
  const std::int32_t index = FindFilter(filters, options.filter);

  Image destination = source;
  progress.Begin(std::string(EnglishPart(filters[index].name)), 1, 1);
  module.Execute(index, source, destination, rect, &ProgressBar::Report, &progress);
  progress.End();
  WritePng(options.output, destination);
}

void MakeGallery(const Options& options, ProgressBar& progress) {
  Image source = ReadPng(options.input);
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
  Gallery gallery(PlanGallery(cells, source.width, source.height, options.scale, labelWidth));
  gallery.Place(0, source, labels[0]);
  const FilterRect whole{0, 0, source.width, source.height};
  Image result;
  for (const FilterEntry& filter : filters) {
    result = source;
    progress.Begin(std::string(EnglishPart(filter.name)), filter.index + 1, cells - 1);
    module.Execute(filter.index, source, result, whole, &ProgressBar::Report, &progress);
    gallery.Place(filter.index + 1, result, labels[std::size_t(filter.index) + 1]);
  }
  progress.End();
  WritePng(options.output, gallery.image());
}

}  // namespace

int Run(const std::vector<std::string>& args, const Console& console) {
  try {
    const Options options = ParseArguments(args);
    if (options.version) {
      console.out << "qfhost " << QFHOST_VERSION << '\n';
      return kExitSuccess;
    }
    if (options.help) {
      console.out << HelpText(options.command);
      return kExitSuccess;
    }
    ProgressBar progress(console.err, console.errIsTerminal && !options.quiet);
    switch (options.command) {
      case Command::kList: List(options, console); break;
      case Command::kApply: Apply(options, progress); break;
      case Command::kGallery: MakeGallery(options, progress); break;
      case Command::kNone: break;  // ParseArguments refuses a command line without one
    }
    return kExitSuccess;
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
