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
