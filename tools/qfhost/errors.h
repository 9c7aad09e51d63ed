#pragma once
// The two ways a qfhost run can fail. Each carries one line for the user, without the
// program's name and without a final newline; the command runner prints it and turns it into
// the exit status.

#include <stdexcept>

namespace veilmere::qfhost {

// Exit statuses: 0 success, 1 a run that could not be done, 2 a command line qfhost cannot
// make sense of.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A command line that is malformed in itself: an unknown option, a missing argument, a colour
// or rectangle that cannot be read.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A well-formed command that cannot be carried out: a file that cannot be read or written, a
// module that does not load, an unknown filter, a rectangle outside the image.
class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace veilmere::qfhost
