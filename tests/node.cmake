# trelvo-node's DDS wire, on loopback only (dds_loopback.hpp).
foreach(test_program test_node_wire_bytes test_node_wire_loopback test_node_wire_names)
  target_link_libraries(${test_program} PRIVATE trelvo_node_wire)
endforeach()
