# Generates the C types of the ROS 2 messages in MSG_ROOT for Cyclone DDS, into OUT_ROOT, and the
# ROS 2 type hashes of those in HASHED_PACKAGES, into the C++ header TYPE_HASHES. Run with cmake -P,
# with MSG_ROOT, OUT_ROOT, PACKAGES, HASHED_PACKAGES, TYPE_HASHES, PYTHON, ROSIDL and IDLC set.
#
# Each .msg becomes IDL through rosidl (the system Python's, so that this works beside a sourced
# ROS 2 too), the IDL is rewritten to ROS 2's DDS names (rosidl_idl_to_dds.cmake), and idlc turns it
# into C: final types (plain XCDR1, as ROS 2 sends), without type information, so that endpoints
# match other ROS 2 programs by type name alone.
#
# A service's request and response are messages in the package's srv/ folder
# (srv/ChangeState_Request.msg), which become types of the module srv; an action's messages are in
# action/ and become types of the module action. Neither has a type hash here.
set(rosidl_root ${OUT_ROOT}/rosidl_idl)
set(dds_idl_root ${OUT_ROOT}/dds_idl)
set(c_root ${OUT_ROOT}/c)
file(REMOVE_RECURSE ${rosidl_root} ${dds_idl_root} ${c_root})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}")
  endif()
endfunction()

set(dds_idl_files)
foreach(package IN LISTS PACKAGES)
  file(GLOB msg_files RELATIVE ${MSG_ROOT}/${package} ${MSG_ROOT}/${package}/msg/*.msg
       ${MSG_ROOT}/${package}/srv/*.msg ${MSG_ROOT}/${package}/action/*.msg)
  run(${CMAKE_COMMAND} -E chdir ${MSG_ROOT}/${package} ${PYTHON} ${ROSIDL} translate --to idl
      -o ${rosidl_root}/${package} ${package} ${msg_files})
  file(GLOB idl_files RELATIVE ${rosidl_root} ${rosidl_root}/${package}/msg/*.idl
       ${rosidl_root}/${package}/srv/*.idl ${rosidl_root}/${package}/action/*.idl)
  foreach(idl IN LISTS idl_files)
    run(${CMAKE_COMMAND} -DIN=${rosidl_root}/${idl} -DOUT=${dds_idl_root}/${idl}
        -DPACKAGE=${package} -P ${CMAKE_CURRENT_LIST_DIR}/rosidl_idl_to_dds.cmake)
    list(APPEND dds_idl_files ${dds_idl_root}/${idl})
  endforeach()
endforeach()

# From the IDL as rosidl writes it, the form ROS 2 hashes types from.
run(${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/type_hashes.py ${rosidl_root} ${TYPE_HASHES}
    ${HASHED_PACKAGES})

foreach(idl IN LISTS dds_idl_files)
  run(${IDLC} -x final -t -I ${dds_idl_root} -b ${dds_idl_root} -o ${c_root} ${idl})
endforeach()
