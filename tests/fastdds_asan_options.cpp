// Debian's Fast DDS 2.9, built with its statistics module, deletes each reader's 64-byte
// statistics part as a 56-byte object inside libfastrtps: a new-delete-type-mismatch of its own,
// which AddressSanitizer reports whenever a test deletes a Fast DDS reader. In the test programs
// that host Fast DDS participants that one check is off by default; every other check stays on,
// and ASAN_OPTIONS sets the rest as it does for every test.
// Visible and exported (fastdds.cmake): the sanitizer's runtime looks the hook up at start.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
  return "new_delete_type_mismatch=0";
}
