# Scripted runs of the controller in a child process, whose debug lines the tests read.
add_executable(controller_trace ${CMAKE_CURRENT_SOURCE_DIR}/controller_trace.cpp)
target_link_libraries(controller_trace PRIVATE trelvo::trelvo)

add_dependencies(test_controller_debug_lines controller_trace)
target_compile_definitions(test_controller_debug_lines PRIVATE
  TRELVO_CONTROLLER_TRACE="$<TARGET_FILE:controller_trace>")

add_dependencies(test_controller_journal controller_trace)
target_compile_definitions(test_controller_journal PRIVATE
  TRELVO_CONTROLLER_TRACE="$<TARGET_FILE:controller_trace>"
  TRELVO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
