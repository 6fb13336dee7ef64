# The node's watches over the ROS 2 graph and its diagnostics: in-process, and on DDS through the
# wire's discovery.
target_link_libraries(test_wire_discovery PRIVATE trelvo_wire)
target_link_libraries(test_node_configuration_watch PRIVATE trelvo_node_watch trelvo_wire)
add_dependencies(test_node_configuration_watch trelvo-sim)
target_compile_definitions(test_node_configuration_watch PRIVATE
  TRELVO_SIM_PROGRAM="$<TARGET_FILE:trelvo-sim>")
target_link_libraries(test_node_stall_watch PRIVATE trelvo_node_watch)
target_link_libraries(test_node_diagnostics PRIVATE trelvo_node_diagnostics)
# The node in the ROS 2 graph: ros_discovery_info and the USER_DATA of participant and endpoints,
# read back by a participant of the test's own; and the node's --ros-distro.
target_link_libraries(test_wire_ros_graph PRIVATE trelvo_wire)
target_link_libraries(test_node_ros_distro PRIVATE trelvo_node_ros_args)
