# The route and clearance units, as hosts link them: the package's route library.
target_link_libraries(test_route PRIVATE trelvo::route trelvo_tools_common)
target_link_libraries(test_clearance PRIVATE trelvo::route)
