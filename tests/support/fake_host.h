#pragma once
// A stand-in for the paint program's colour query: a test program that links fake_host.cpp
// exports QFF_QueryClientInfo from its own executable, as the paint program does, answers
// ids 1 and 3 with the colours set here, and records every call.

#include <cstdint>
#include <vector>

#include "filters/pixel.h"

namespace veilmere::test {

struct QueryCall {
  std::int32_t id;
  void* answer;
};

struct FakeHost {
  Pixel drawing{10, 20, 30, 40};
  Pixel background{200, 150, 100, 50};
  std::int32_t result = 77;  // what the query returns for ids 1 and 3
  std::vector<QueryCall> queries;
};

FakeHost& TheFakeHost();

}  // namespace veilmere::test
