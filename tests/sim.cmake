# trelvo-sim: its parts are tested in-process, the program itself through child processes.
target_link_libraries(test_sim_core PRIVATE trelvo_sim_core)

add_dependencies(test_sim_cli trelvo-sim)
target_compile_definitions(test_sim_cli PRIVATE TRELVO_SIM_PROGRAM="$<TARGET_FILE:trelvo-sim>")
