# trelvo-node: its control cycle in-process.
target_link_libraries(test_node_drive PRIVATE trelvo_node_drive)
# Its obstacles: scans as points, the footprint's text, the guarded drive cycle.
target_link_libraries(test_node_obstacles PRIVATE trelvo_node_obstacles)
# Its command ramp, alone.
target_link_libraries(test_node_ramp PRIVATE trelvo_node_drive)

# Its ROS 2 arguments (--ros-args), in-process.
target_link_libraries(test_node_ros_args PRIVATE trelvo_node_ros_args)
# Its lifecycle's state machine and its side of the lifecycle manager's bond, in-process.
target_link_libraries(test_node_lifecycle PRIVATE trelvo_node_lifecycle)
target_link_libraries(test_node_goals PRIVATE trelvo_node_action)
target_link_libraries(test_node_bond_watch PRIVATE trelvo_node_lifecycle)
# Its speed limit, alone.
target_link_libraries(test_node_speed_limit PRIVATE trelvo_node_drive)
# Its frames in-process: tf2's buffer, paths and poses moved between frames, tf2 itself the
# reference.
pkg_check_modules(TRELVO_TEST_TF2 REQUIRED IMPORTED_TARGET tf2)
target_link_libraries(test_node_frames PRIVATE trelvo_node_frames PkgConfig::TRELVO_TEST_TF2)

# The programs themselves on DDS: trelvo-node with trelvo-sim --dds as its vehicle.
target_link_libraries(test_node_program PRIVATE trelvo_wire)
add_dependencies(test_node_program trelvo-node trelvo-sim)
target_compile_definitions(test_node_program PRIVATE
  TRELVO_NODE_PROGRAM="$<TARGET_FILE:trelvo-node>" TRELVO_SIM_PROGRAM="$<TARGET_FILE:trelvo-sim>"
  TRELVO_VERSION_TEXT="${PROJECT_VERSION}")

# The program as a managed node, driven by a lifecycle manager's clients in rmw_cyclonedds's layout.
target_link_libraries(test_node_managed PRIVATE trelvo_wire)
add_dependencies(test_node_managed trelvo-node)
target_link_libraries(test_node_follow_path PRIVATE trelvo_wire)
add_dependencies(test_node_follow_path trelvo-node trelvo-sim)
target_compile_definitions(test_node_follow_path PRIVATE
  TRELVO_NODE_PROGRAM="$<TARGET_FILE:trelvo-node>" TRELVO_SIM_PROGRAM="$<TARGET_FILE:trelvo-sim>")
target_compile_definitions(test_node_managed PRIVATE TRELVO_NODE_PROGRAM="$<TARGET_FILE:trelvo-node>")

# The program beside Nav2's lifecycle manager (its bond) and speed filter (the speed limit).
target_link_libraries(test_node_bond_speed PRIVATE trelvo_wire)
add_dependencies(test_node_bond_speed trelvo-node)
target_compile_definitions(test_node_bond_speed PRIVATE TRELVO_NODE_PROGRAM="$<TARGET_FILE:trelvo-node>")

# The fleet benchmark's report over logs written as the node and the vehicle write them.
add_test(NAME FleetReport.CountsReachedRoutesAndFailsOnEachFault
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/fleet_report_check.py
          ${PROJECT_SOURCE_DIR}/bench/fleet_report.py)

# The parts of a Nav2 robot around the node that scripts/measure-node-nav2.sh measures it with; not
# a test, built on demand.
add_executable(node_nav2_probe EXCLUDE_FROM_ALL ${CMAKE_CURRENT_SOURCE_DIR}/node_nav2_probe.cpp)
target_link_libraries(node_nav2_probe PRIVATE trelvo_wire trelvo_tools_common)
