# ROS 2 on DDS, the wire trelvo-node and trelvo-sim share, on loopback only (dds_loopback.hpp).
foreach(test_program test_wire_bytes test_wire_loopback test_wire_names test_wire_service)
  target_link_libraries(${test_program} PRIVATE trelvo_wire)
endforeach()
