# trelvo-sim: its parts are tested in-process, the program itself through child processes.
target_link_libraries(test_sim_core PRIVATE trelvo_sim_core)
target_link_libraries(test_sim_results PRIVATE trelvo_sim_core)
target_link_libraries(test_sim_world PRIVATE trelvo_sim_core)

# The repository's obstacle scenarios: a person crossing, a pallet, a shelf in a turn's sweep and
# one beside the line, each meeting its criteria.
add_test(NAME SimSuite.ObstacleScenariosPass
  COMMAND $<TARGET_FILE:trelvo-sim> --suite ${PROJECT_SOURCE_DIR}/scenarios/obstacles.yaml
          --no-plot --out ${CMAKE_CURRENT_BINARY_DIR}/sim-obstacle-suite)

add_dependencies(test_sim_cli trelvo-sim)
target_compile_definitions(test_sim_cli PRIVATE TRELVO_SIM_PROGRAM="$<TARGET_FILE:trelvo-sim>")

# The vehicle on DDS (--dds) against a host in the test, on loopback only (dds_loopback.hpp).
add_dependencies(test_sim_dds trelvo-sim)
target_compile_definitions(test_sim_dds PRIVATE TRELVO_SIM_PROGRAM="$<TARGET_FILE:trelvo-sim>")
target_link_libraries(test_sim_dds PRIVATE trelvo_wire)

# Suite and batch results as JUnit XML, read back with junitparser as a CI system would.
add_test(NAME SimJUnit.SuiteAndBatchResultsReadBackWithJunitparser
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/sim_junit_roundtrip.py
          $<TARGET_FILE:trelvo-sim>)

# The rooms of tools/ (the programs, what they share) and the direction of their includes.
add_test(NAME ToolsRooms.IncludesRunOnlyDownward
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools_rooms.py ${PROJECT_SOURCE_DIR}/tools)

# The main job's script as a user calls it, from a folder of their own, on this build's trelvo-sim
# (the test depends on it being built, so the script compiles nothing).
add_test(NAME SimScript.RunsInTheCallersFolder
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/sim_script.sh ${PROJECT_BINARY_DIR})
