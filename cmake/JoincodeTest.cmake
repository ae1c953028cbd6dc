# joincode_add_test(<name> <source>... [LIBS <lib>...]): one GoogleTest executable, one CTest entry.
function(joincode_add_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE joincode::core GTest::gtest GTest::gmock GTest::gtest_main ${ARG_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  joincode_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  # GUI code in the core runs on Qt's offscreen platform in tests: no display needed.
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
