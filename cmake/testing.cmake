# One GoogleTest program. Natively each test case becomes a CTest test; in the
# cross build each program is one CTest test, since every start under the
# emulator costs seconds.
if(CMAKE_CROSSCOMPILING)
  include(${CMAKE_CURRENT_LIST_DIR}/cross_googletest.cmake)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

function(quillmarch_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  quillmarch_warnings(${name})
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
