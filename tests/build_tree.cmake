# The build tree itself: built once, it stays built.
add_test(NAME BuildTree.ASecondBuildRunsNothing
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/build_up_to_date.sh ${PROJECT_BINARY_DIR})
