# Third-party dependencies of libtrelvo, shared by the build and by the installed package.
# Defines the interface target trelvo_deps (spdlog headers, shared fmt, libsystemd, tf2 headers).
include_guard(GLOBAL)

find_package(fmt REQUIRED)
find_package(spdlog REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(TRELVO_SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
find_path(TRELVO_TF2_INCLUDE_DIR tf2/LinearMath/Matrix3x3.h PATH_SUFFIXES tf2 REQUIRED)

if(NOT TARGET trelvo_deps AND NOT TARGET trelvo::trelvo_deps)
  add_library(trelvo_deps INTERFACE)
  target_link_libraries(trelvo_deps INTERFACE
    spdlog::spdlog_header_only fmt::fmt PkgConfig::TRELVO_SYSTEMD)
  target_include_directories(trelvo_deps SYSTEM INTERFACE ${TRELVO_TF2_INCLUDE_DIR})
endif()
