# The route unit, as hosts link it: the package's route library.
target_link_libraries(test_route PRIVATE trelvo::route trelvo_tools_common)
