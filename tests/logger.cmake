# The logging facade reads the environment once per process, so its tests run each case in a
# fresh process of log_probe with an environment of their choosing.
add_executable(log_probe ${CMAKE_CURRENT_SOURCE_DIR}/log_probe.cpp)
target_link_libraries(log_probe PRIVATE trelvo::trelvo)
# Loads libtrelvo like a host does, though it calls only header code, so the facade it builds is
# the library's exported one.
target_link_options(log_probe PRIVATE -Wl,--no-as-needed)
# Source locations read "./tests/log_probe.cpp", the way the library's own read "./src/...".
target_compile_options(log_probe PRIVATE -fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=./)

foreach(test_program test_logger_config test_logger_debug_lines test_logger_instance
    test_logger_journal)
  add_dependencies(${test_program} log_probe)
  target_compile_definitions(${test_program} PRIVATE TRELVO_LOG_PROBE="$<TARGET_FILE:log_probe>")
endforeach()
# That test looks up, with dlsym, what the library exports. Linked like a host that calls into the
# library, for the same reason as log_probe.
target_link_libraries(test_logger_instance PRIVATE ${CMAKE_DL_LIBS})
target_link_options(test_logger_instance PRIVATE -Wl,--no-as-needed)
