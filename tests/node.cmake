# trelvo-node: its control cycle in-process.
target_link_libraries(test_node_drive PRIVATE trelvo_node_drive)
