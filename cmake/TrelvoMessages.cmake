# ROS 2 message types used as plain data: PoseStamped, Twist, Point, Path and what they contain.
#
# Inside a sourced ROS 2 installation the real packages are used. Otherwise the C++ headers are
# generated at build time from the definitions in msg/ with the rosidl generator Debian ships,
# giving the same types a ROS 2 host compiles against. Defines the interface targets trelvo_msgs
# (the library's messages, installed with it) and trelvo_tools_msgs (those and the ones only the
# tools use: diagnostics, TF, laser scans, the clock, the lifecycle manager's bond and Nav2's speed
# limit, kept out of the installed library).
include_guard(GLOBAL)

set(TRELVO_MSG_PACKAGES builtin_interfaces std_msgs geometry_msgs nav_msgs)
set(TRELVO_TOOLS_MSG_PACKAGES diagnostic_msgs tf2_msgs sensor_msgs rosgraph_msgs bond nav2_msgs)

if("$ENV{ROS_VERSION}" STREQUAL "2")
  find_package(geometry_msgs REQUIRED)
  find_package(nav_msgs REQUIRED)
  find_package(diagnostic_msgs REQUIRED)
  find_package(tf2_msgs REQUIRED)
  find_package(sensor_msgs REQUIRED)
  find_package(rosgraph_msgs REQUIRED)
  find_package(bond REQUIRED)
  find_package(nav2_msgs REQUIRED)
  set(TRELVO_BUNDLED_MSGS OFF)
  add_library(trelvo_msgs INTERFACE)
  target_link_libraries(trelvo_msgs INTERFACE ${geometry_msgs_TARGETS} ${nav_msgs_TARGETS})
  add_library(trelvo_tools_msgs INTERFACE)
  target_link_libraries(trelvo_tools_msgs INTERFACE trelvo_msgs ${diagnostic_msgs_TARGETS}
    ${tf2_msgs_TARGETS} ${sensor_msgs_TARGETS} ${rosgraph_msgs_TARGETS} ${bond_TARGETS} ${nav2_msgs_TARGETS})
  message(STATUS "trelvo: using the ROS 2 message packages of the sourced installation")
  return()
endif()

set(TRELVO_BUNDLED_MSGS ON)
# Debian's rosidl is a Python 3 tool of the system interpreter, whatever python3 the PATH holds.
find_program(TRELVO_SYSTEM_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
find_program(TRELVO_ROSIDL rosidl PATHS /usr/bin REQUIRED)
find_path(TRELVO_ROSIDL_RUNTIME_CPP rosidl_runtime_cpp/message_initialization.hpp
  PATH_SUFFIXES rosidl_runtime_cpp REQUIRED)
find_path(TRELVO_ROSIDL_RUNTIME_C rosidl_runtime_c/message_initialization.h
  PATH_SUFFIXES rosidl_runtime_c REQUIRED)
find_path(TRELVO_ROSIDL_TYPESUPPORT_INTERFACE rosidl_typesupport_interface/macros.h
  PATH_SUFFIXES rosidl_typesupport_interface REQUIRED)

set(msg_root ${CMAKE_CURRENT_SOURCE_DIR}/msg)
set(idl_root ${CMAKE_CURRENT_BINARY_DIR}/msg_idl)

# Generates the headers of the message packages in `packages` into `gen_root`, each package after
# the ones it refers to, whose .idl files it includes: those of `packages` before it and those whose
# generation ends with the stamp file `after` (empty for none). Sets `headers_var` to the headers
# and `stamp_var` to the stamp file of the last package.
function(trelvo_generate_msg_headers packages gen_root after headers_var stamp_var)
  set(all_headers)
  set(previous_stamp ${after})
  foreach(pkg IN LISTS packages)
    file(GLOB msg_files RELATIVE ${msg_root}/${pkg} CONFIGURE_DEPENDS ${msg_root}/${pkg}/msg/*.msg)
    set(idl_files)
    set(headers)
    foreach(msg IN LISTS msg_files)
      get_filename_component(type ${msg} NAME_WE)
      list(APPEND idl_files ${idl_root}/${pkg}:msg/${type}.idl)
      # rosidl names headers in snake case by its two rules: PoseStamped -> pose_stamped,
      # TFMessage -> tf_message.
      string(REGEX REPLACE "(.)([A-Z][a-z]+)" "\\1_\\2" snake ${type})
      string(REGEX REPLACE "([a-z0-9])([A-Z])" "\\1_\\2" snake ${snake})
      string(TOLOWER ${snake} snake)
      list(APPEND headers ${gen_root}/${pkg}/msg/${snake}.hpp)
      foreach(part struct builder traits)
        list(APPEND headers ${gen_root}/${pkg}/msg/detail/${snake}__${part}.hpp)
      endforeach()
    endforeach()
    list(TRANSFORM msg_files PREPEND ${msg_root}/${pkg}/ OUTPUT_VARIABLE msg_paths)

    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/msg_stamps/${pkg}.stamp)
    # The stamp comes first, as make judges the command by its first output: rosidl leaves a
    # header whose text would not change as it was, older than what it was generated from.
    add_custom_command(
      OUTPUT ${stamp} ${headers}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${idl_root}/${pkg} ${gen_root}/${pkg}
              ${CMAKE_CURRENT_BINARY_DIR}/msg_stamps
      COMMAND ${TRELVO_SYSTEM_PYTHON} ${TRELVO_ROSIDL} translate --to idl -o ${idl_root}/${pkg}
              ${pkg} ${msg_files}
      COMMAND ${TRELVO_SYSTEM_PYTHON} ${TRELVO_ROSIDL} generate -t cpp -o ${gen_root}/${pkg}
              -I ${idl_root} ${pkg} ${idl_files}
      COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
      WORKING_DIRECTORY ${msg_root}/${pkg}
      DEPENDS ${msg_paths} ${previous_stamp}
      COMMENT "Generating ROS 2 message headers of ${pkg}"
      VERBATIM)
    list(APPEND all_headers ${headers})
    set(previous_stamp ${stamp})
  endforeach()
  set(${headers_var} ${all_headers} PARENT_SCOPE)
  set(${stamp_var} ${previous_stamp} PARENT_SCOPE)
endfunction()

set(gen_root ${CMAKE_CURRENT_BINARY_DIR}/msg_include)
trelvo_generate_msg_headers("${TRELVO_MSG_PACKAGES}" ${gen_root} "" msg_headers msg_stamp)
add_custom_target(trelvo_msgs_generate DEPENDS ${msg_headers})
add_library(trelvo_msgs INTERFACE)
add_dependencies(trelvo_msgs trelvo_msgs_generate)
target_include_directories(trelvo_msgs SYSTEM INTERFACE
  $<BUILD_INTERFACE:${gen_root}>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/trelvo/ros>
  ${TRELVO_ROSIDL_RUNTIME_CPP} ${TRELVO_ROSIDL_RUNTIME_C} ${TRELVO_ROSIDL_TYPESUPPORT_INTERFACE})
install(DIRECTORY ${gen_root}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/trelvo/ros)

set(tools_gen_root ${CMAKE_CURRENT_BINARY_DIR}/msg_include_tools)
trelvo_generate_msg_headers("${TRELVO_TOOLS_MSG_PACKAGES}" ${tools_gen_root} ${msg_stamp}
  tools_msg_headers tools_msg_stamp)
add_custom_target(trelvo_tools_msgs_generate DEPENDS ${tools_msg_headers})
# The library's packages are generated once, by their own target, before the tools' refer to them.
add_dependencies(trelvo_tools_msgs_generate trelvo_msgs_generate)
add_library(trelvo_tools_msgs INTERFACE)
add_dependencies(trelvo_tools_msgs trelvo_tools_msgs_generate)
target_include_directories(trelvo_tools_msgs SYSTEM INTERFACE ${tools_gen_root})
target_link_libraries(trelvo_tools_msgs INTERFACE trelvo_msgs)
