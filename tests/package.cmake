# The installed package: CMake config and pkg-config file, used by a separate consumer project.
add_test(NAME InstalledPackage.ConsumerBuildsAndRuns
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/package_consumer.sh ${PROJECT_BINARY_DIR}
          ${PROJECT_SOURCE_DIR})
set_tests_properties(InstalledPackage.ConsumerBuildsAndRuns PROPERTIES TIMEOUT 300)

add_test(NAME Exports.OnlyTheInterfaceLeavesTheLibrary
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/exports.sh $<TARGET_FILE:trelvo>)
