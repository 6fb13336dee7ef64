// Linked with trelvo_wire and nothing else: it links only if the wire names every library it uses.
// Exits 0 when the wire words its refusal of a two-byte payload (with fmt) as it should.

#include <cstdio>
#include <string>
#include <variant>

#include "wire/plain_cdr.hpp"

int main() {
  const auto opened = wire::openPlainCdr({0x00, 0x01}, 64);
  const auto* reason = std::get_if<std::string>(&opened);
  if (reason == nullptr) {
    std::puts("wire_alone_probe: two bytes were taken for plain CDR");
    return 1;
  }
  std::puts(reason->c_str());
  return *reason == "2 bytes, shorter than an encapsulation header" ? 0 : 1;
}
