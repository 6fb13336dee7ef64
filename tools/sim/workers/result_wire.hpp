#pragma once

// A run's result as bytes, for the pipe from a worker process back to the batch. Numbers travel
// as their exact bytes (both ends are the same program), so a result arrives bit for bit.

#include <cstdint>
#include <string>

#include "sim/run/run.hpp"

namespace sim {

/// The run index followed by its result.
std::string encodeResult(std::uint32_t index, const RunResult& result);

/// Decodes one message from the front of `bytes` if it is complete there: sets `index` and
/// `result`, removes the message from `bytes` and returns true. Returns false when more bytes
/// are needed.
bool takeResult(std::string& bytes, std::uint32_t& index, RunResult& result);

}  // namespace sim
