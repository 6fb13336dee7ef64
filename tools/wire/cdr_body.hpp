#pragma once

// A sample of a type idlc generated, from and to plain CDR (XCDR1) without an encapsulation
// header, through Cyclone DDS's own serializer for the type: for payloads the wire frames by hand
// (request_header.hpp).

#include <dds/dds.h>

#include <cstdint>
#include <vector>

namespace wire {

/// Fills `sample` (of `type`, zeroed) from `body`; false, `sample` left zeroed, when `body` is no
/// valid serialized `type`: cut short, a string or sequence longer than the bytes that follow, a
/// string without its final zero, or more than padding left over after it (another layout). A
/// filled `sample` is released with releaseSample.
bool readSample(const dds_topic_descriptor_t& type, std::vector<std::uint8_t> body, bool bigEndian,
                void* sample);

/// Frees what readSample allocated inside `sample` (strings, sequences), not the sample itself.
void releaseSample(const dds_topic_descriptor_t& type, void* sample);

/// `sample` of `type` as little-endian plain CDR.
std::vector<std::uint8_t> writeSample(const dds_topic_descriptor_t& type, const void* sample);

}  // namespace wire
