# The node's watches over the ROS 2 graph and its diagnostics: in-process, and on DDS through the
# wire's discovery.
target_link_libraries(test_wire_discovery PRIVATE trelvo_wire)
