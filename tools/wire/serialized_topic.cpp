#include "wire/serialized_topic.hpp"

#include <dds/ddsi/ddsi_serdata.h>
#include <dds/ddsi/ddsi_sertype.h>
#include <dds/ddsi/q_radmin.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "wire/dds_error.hpp"

namespace wire {
namespace {

struct ByteSerdata : ddsi_serdata {
  ByteSerdata(const ddsi_sertype* type, ddsi_serdata_kind kind) : ddsi_serdata{} {
    ddsi_serdata_init(this, type, kind);
  }
  std::vector<std::uint8_t> bytes;
};

const ByteSerdata* bytesOf(const ddsi_serdata* data) {
  return static_cast<const ByteSerdata*>(data);
}

// DDSI sends whole 4-byte units: a payload is padded with zeros to one, as rmw_cyclonedds pads.
void padToFourBytes(std::vector<std::uint8_t>& bytes) {
  bytes.resize((bytes.size() + 3) / 4 * 4, 0);
}

bool eqkey(const ddsi_serdata*, const ddsi_serdata*) {
  return true;  // keyless: one instance
}

uint32_t size(const ddsi_serdata* data) {
  return static_cast<uint32_t>(bytesOf(data)->bytes.size());
}

ddsi_serdata* fromSer(const ddsi_sertype* type, ddsi_serdata_kind kind, const nn_rdata* fragment,
                      size_t total) {
  auto* data = new ByteSerdata(type, kind);
  data->bytes.resize(total);
  uint32_t copied = 0;
  for (; fragment != nullptr; fragment = fragment->nextfrag) {
    if (fragment->maxp1 > copied) {  // fragments may overlap: copy what is new
      const unsigned char* payload =
          NN_RMSG_PAYLOADOFF(fragment->rmsg, NN_RDATA_PAYLOAD_OFF(fragment));
      std::memcpy(data->bytes.data() + copied, payload + copied - fragment->min,
                  fragment->maxp1 - copied);
      copied = fragment->maxp1;
    }
  }
  return data;
}

ddsi_serdata* fromSerIov(const ddsi_sertype* type, ddsi_serdata_kind kind, ddsrt_msg_iovlen_t count,
                         const ddsrt_iovec_t* iov, size_t total) {
  auto* data = new ByteSerdata(type, kind);
  data->bytes.reserve(total);
  for (ddsrt_msg_iovlen_t i = 0; i < count; ++i) {
    const auto* base = static_cast<const std::uint8_t*>(iov[i].iov_base);
    data->bytes.insert(data->bytes.end(), base, base + iov[i].iov_len);
  }
  return data;
}

ddsi_serdata* fromKeyhash(const ddsi_sertype* type, const ddsi_keyhash*) {
  return new ByteSerdata(type, SDK_KEY);
}

ddsi_serdata* fromSample(const ddsi_sertype* type, ddsi_serdata_kind kind, const void* sample) {
  auto* data = new ByteSerdata(type, kind);
  if (kind == SDK_DATA) {
    data->bytes = *static_cast<const std::vector<std::uint8_t>*>(sample);
    padToFourBytes(data->bytes);
  }
  return data;
}

void toSer(const ddsi_serdata* data, size_t offset, size_t length, void* buffer) {
  std::memcpy(buffer, bytesOf(data)->bytes.data() + offset, length);
}

ddsi_serdata* toSerRef(const ddsi_serdata* data, size_t offset, size_t length, ddsrt_iovec_t* ref) {
  ref->iov_base = const_cast<std::uint8_t*>(bytesOf(data)->bytes.data() + offset);
  ref->iov_len = static_cast<ddsrt_iov_len_t>(length);
  return ddsi_serdata_ref(data);
}

void toSerUnref(ddsi_serdata* data, const ddsrt_iovec_t*) {
  ddsi_serdata_unref(data);
}

bool toSample(const ddsi_serdata* data, void* sample, void**, void*) {
  *static_cast<std::vector<std::uint8_t>*>(sample) = bytesOf(data)->bytes;
  return true;
}

ddsi_serdata* toUntyped(const ddsi_serdata* data) {
  auto* untyped = new ByteSerdata(data->type, SDK_KEY);
  untyped->type = nullptr;
  return untyped;
}

bool untypedToSample(const ddsi_sertype*, const ddsi_serdata*, void*, void**, void*) {
  return true;  // keyless: an untyped sample has no fields to fill
}

void freeData(ddsi_serdata* data) {
  delete static_cast<ByteSerdata*>(data);
}

size_t print(const ddsi_sertype*, const ddsi_serdata* data, char* buffer, size_t length) {
  return static_cast<size_t>(
      std::snprintf(buffer, length, "(%zu serialized bytes)", bytesOf(data)->bytes.size()));
}

void keyhash(const ddsi_serdata*, ddsi_keyhash* hash, bool) {
  std::memset(hash, 0, sizeof(*hash));
}

// By name, for the fields Cyclone has in some builds only (shared memory's) stay empty: this type
// is never sent through shared memory.
ddsi_serdata_ops serdataOps() {
  ddsi_serdata_ops ops{};
  ops.eqkey = eqkey;
  ops.get_size = size;
  ops.from_ser = fromSer;
  ops.from_ser_iov = fromSerIov;
  ops.from_keyhash = fromKeyhash;
  ops.from_sample = fromSample;
  ops.to_ser = toSer;
  ops.to_ser_ref = toSerRef;
  ops.to_ser_unref = toSerUnref;
  ops.to_sample = toSample;
  ops.to_untyped = toUntyped;
  ops.untyped_to_sample = untypedToSample;
  ops.free = freeData;
  ops.print = print;
  ops.get_keyhash = keyhash;
  return ops;
}

const ddsi_serdata_ops kSerdataOps = serdataOps();

void freeType(ddsi_sertype* type) {
  ddsi_sertype_fini(type);
  delete type;
}

// Samples of this type are never loaned nor allocated by Cyclone: only dds_write of a byte vector
// and dds_takecdr reach them.
void zeroSamples(const ddsi_sertype*, void*, size_t) {
  std::abort();
}

void reallocSamples(void**, const ddsi_sertype*, void*, size_t, size_t) {
  std::abort();
}

void freeSamples(const ddsi_sertype*, void**, size_t, dds_free_op_t) {}

bool equalTypes(const ddsi_sertype*, const ddsi_sertype*) {
  return true;  // same name and same operations: the same type
}

uint32_t hashType(const ddsi_sertype*) {
  return 0;  // the name, which Cyclone hashes itself, tells them apart
}

size_t serializedSize(const ddsi_sertype*, const void* sample) {
  return static_cast<const std::vector<std::uint8_t>*>(sample)->size();
}

bool serializeInto(const ddsi_sertype*, const void* sample, void* buffer, size_t length) {
  std::memcpy(buffer, static_cast<const std::vector<std::uint8_t>*>(sample)->data(), length);
  return true;
}

ddsi_sertype_ops sertypeOps() {
  ddsi_sertype_ops ops{};
  ops.version = ddsi_sertype_v0;
  ops.free = freeType;
  ops.zero_samples = zeroSamples;
  ops.realloc_samples = reallocSamples;
  ops.free_samples = freeSamples;
  ops.equal = equalTypes;
  ops.hash = hashType;
  ops.get_serialized_size = serializedSize;
  ops.serialize_into = serializeInto;
  return ops;
}

const ddsi_sertype_ops kSertypeOps = sertypeOps();

}  // namespace

dds_entity_t createSerializedTopic(dds_entity_t participant, const std::string& topicName,
                                   const std::string& typeName) {
  auto* type = new ddsi_sertype{};
  ddsi_sertype_init_flags(type, typeName.c_str(), &kSertypeOps, &kSerdataOps,
                          DDSI_SERTYPE_FLAG_TOPICKIND_NO_KEY);
  type->allowed_data_representation = DDS_DATA_REPRESENTATION_FLAG_XCDR1;
  ddsi_sertype* registered = type;
  const dds_entity_t topic = dds_create_topic_sertype(participant, topicName.c_str(), &registered,
                                                      nullptr, nullptr, nullptr);
  if (topic < 0) {
    freeType(type);  // not handed over: Cyclone takes the type only with a topic
  }
  return checked(topic, "creating a topic of serialized samples");
}

std::optional<SerializedSample> takeSerialized(dds_entity_t reader) {
  for (;;) {
    ddsi_serdata* data = nullptr;
    dds_sample_info_t info{};
    if (checked(dds_takecdr(reader, &data, 1, &info, DDS_ANY_STATE), "taking a sample") != 1) {
      return std::nullopt;
    }
    SerializedSample sample;
    sample.writer = info.publication_handle;
    if (info.valid_data) {
      sample.bytes = bytesOf(data)->bytes;
    }
    ddsi_serdata_unref(data);
    if (info.valid_data) {
      return sample;
    }
  }
}

}  // namespace wire
