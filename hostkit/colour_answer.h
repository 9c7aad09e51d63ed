#pragma once
// The host's side of the colour query: the QFF_QueryClientInfo that a program linking the host
// kit exports from its executable, as the paint program does, and what it answers.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "hostkit/loaded_module.h"

namespace veilmere::hostkit {

// The colours a host gives a module that asks: id 1 the drawing colour, id 3 the background
// colour.
struct HostColours {
  Pixel drawing{};
  Pixel background{};
};

// One call the query received.
struct ColourQuery {
  std::int32_t id;
  void* answer;
};

// While it lives, the exported QFF_QueryClientInfo answers ids 1 and 3 with these colours
// (4 bytes B, G, R, A at `answer`) and returns `result`; any other id, or a null `answer`,
// gets 0 and nothing written. Every call is logged. A module asks while it loads, so a host
// holds one across the load. Answers nest: the newest one in force answers, and when it ends
// the one before is back in force; with none, the query answers 0 and writes nothing, like a
// host that offers no colours. Create and end them on one thread.
class ColourAnswer {
 public:
  explicit ColourAnswer(HostColours colours, std::int32_t result = 1);
  ~ColourAnswer();
  ColourAnswer(const ColourAnswer&) = delete;
  ColourAnswer& operator=(const ColourAnswer&) = delete;

  const HostColours& colours() const { return colours_; }
  // The calls received while this answer was in force, in order.
  const std::vector<ColourQuery>& queries() const { return queries_; }

  // What the exported query does while this answer is in force.
  std::int32_t Answer(std::int32_t id, void* answer);

 private:
  HostColours colours_;
  std::int32_t result_;
  std::vector<ColourQuery> queries_;
  ColourAnswer* previous_;
};

// Loads the module at `path` as the paint program does at start-up: answering the colour
// queries it makes while it loads with `colours` and `result`, which are then over. Null when
// the loader refuses it (LoadedModule::LastError says why). `queries`, when given, receives
// the queries the load made, in order.
std::unique_ptr<LoadedModule> LoadAnswering(const std::string& path, const HostColours& colours,
                                            std::int32_t result = 1,
                                            std::vector<ColourQuery>* queries = nullptr);

}  // namespace veilmere::hostkit
