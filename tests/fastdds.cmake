# trelvo-node beside ROS 2 programs on Fast DDS, the default middleware of ROS 2: the test's own
# planner and vehicle on Fast DDS (fastdds_peer, ROS 2's messages as rmw_fastrtps lays them out)
# with trelvo-node on Cyclone DDS, both child processes, on loopback only.
find_package(fastrtps CONFIG REQUIRED)
find_package(fastcdr CONFIG REQUIRED)

add_executable(fastdds_peer fastdds_peer.cpp)
target_link_libraries(fastdds_peer PRIVATE fastrtps fastcdr trelvo_msgs)

# The test programs that host Fast DDS participants of their own, under AddressSanitizer too.
foreach(program test_wire_fastdds_service test_node_fastdds_services test_node_follow_path_fastdds)
  target_sources(${program} PRIVATE fastdds_asan_options.cpp)
  target_link_options(${program} PRIVATE -Wl,--export-dynamic-symbol=__asan_default_options)
endforeach()

# The serialization of the Fast DDS side, byte for byte against Cyclone DDS's.
target_link_libraries(test_fastdds_types PRIVATE trelvo_wire fastrtps fastcdr)

add_dependencies(test_node_fastdds trelvo-node fastdds_peer)
target_compile_definitions(test_node_fastdds PRIVATE
  TRELVO_NODE_PROGRAM="$<TARGET_FILE:trelvo-node>"
  FASTDDS_PEER_PROGRAM="$<TARGET_FILE:fastdds_peer>"
  FASTDDS_LOOPBACK_PROFILE="${CMAKE_CURRENT_SOURCE_DIR}/fastdds_loopback.xml")

# The node's services on Fast DDS, as rmw_fastrtps serves them, against a client written from
# rmw_fastrtps's behaviour (fastdds_service_client.hpp): the server in-process, and the program.
target_link_libraries(test_wire_fastdds_service PRIVATE trelvo_wire_services)
target_compile_definitions(test_wire_fastdds_service PRIVATE
  FASTDDS_LOOPBACK_PROFILE="${CMAKE_CURRENT_SOURCE_DIR}/fastdds_loopback.xml")
target_link_libraries(test_node_fastdds_services PRIVATE trelvo_wire fastrtps fastcdr)
add_dependencies(test_node_fastdds_services trelvo-node)
target_compile_definitions(test_node_fastdds_services PRIVATE
  TRELVO_NODE_PROGRAM="$<TARGET_FILE:trelvo-node>"
  FASTDDS_LOOPBACK_PROFILE="${CMAKE_CURRENT_SOURCE_DIR}/fastdds_loopback.xml")

# trelvo-node in Nav2's controller server's place with its services on Fast DDS, beside a lifecycle
# manager and navigator on rmw_fastrtps (fastdds_action_client.hpp) and trelvo-sim's vehicle.
target_link_libraries(test_node_follow_path_fastdds PRIVATE fastrtps fastcdr)
add_dependencies(test_node_follow_path_fastdds trelvo-node trelvo-sim)
target_compile_definitions(test_node_follow_path_fastdds PRIVATE
  TRELVO_NODE_PROGRAM="$<TARGET_FILE:trelvo-node>" TRELVO_SIM_PROGRAM="$<TARGET_FILE:trelvo-sim>"
  FASTDDS_LOOPBACK_PROFILE="${CMAKE_CURRENT_SOURCE_DIR}/fastdds_loopback.xml")
