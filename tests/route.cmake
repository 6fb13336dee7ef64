# The route unit hosts share lives in tools/common.
target_link_libraries(test_route PRIVATE trelvo_tools_common)
