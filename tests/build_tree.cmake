# The build tree itself: built once, it stays built.
add_test(NAME BuildTree.ASecondBuildRunsNothing
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/build_up_to_date.sh ${PROJECT_BINARY_DIR})

# The wire's link interface: a program linked with the static wire library alone links and runs.
add_executable(wire_alone_probe ${CMAKE_CURRENT_SOURCE_DIR}/wire_alone_probe.cpp)
target_link_libraries(wire_alone_probe PRIVATE trelvo_wire)
add_test(NAME BuildTree.TheWireLibraryNamesEveryLibraryItUses COMMAND wire_alone_probe)
