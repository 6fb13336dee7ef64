# The installed package: CMake config and pkg-config file, used by a separate consumer project.
add_test(NAME InstalledPackage.ConsumerBuildsAndRuns
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/package_consumer.sh ${PROJECT_BINARY_DIR}
          ${PROJECT_SOURCE_DIR})
set_tests_properties(InstalledPackage.ConsumerBuildsAndRuns PROPERTIES TIMEOUT 300)

add_test(NAME Exports.OnlyTheInterfaceLeavesTheLibrary
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/exports.sh $<TARGET_FILE:trelvo>)
add_test(NAME Exports.OnlyTheRouteUnitLeavesTheRouteLibrary
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/route_exports.sh $<TARGET_FILE:trelvo_route>)

# The repository as a package of a ROS 2 workspace: colcon builds it, and sourcing the workspace
# lets ROS 2 tools find it.
add_test(NAME InstalledPackage.ColconWorkspaceFindsThePackage
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/colcon_workspace.sh ${PROJECT_SOURCE_DIR})
set_tests_properties(InstalledPackage.ColconWorkspaceFindsThePackage PROPERTIES TIMEOUT 1200)

# The README: its length, counts, parameter table, examples and commands (it runs the node and the
# vehicle of its "one machine" example on loopback, so it needs both built).
add_test(NAME Readme.SaysWhatTheProjectDoes
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/readme_check.py ${PROJECT_SOURCE_DIR}
          ${PROJECT_BINARY_DIR})
set_tests_properties(Readme.SaysWhatTheProjectDoes PROPERTIES TIMEOUT 120)
