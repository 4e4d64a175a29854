# GoogleTest for the 32-bit Windows build, compiled from Debian's source
# package (googletest, in /usr/src/googletest) with the cross compilers. The
# toolchain's posix thread model gives GoogleTest its std::mutex, and the
# toolchain's -static keeps the test programs free of mingw DLLs, so Wine
# needs nothing but its own system DLLs to run them.
#
# Gives the same targets as find_package(GTest) does natively:
# GTest::gtest, GTest::gtest_main, GTest::gmock and GTest::gmock_main.
include_guard(GLOBAL)

set(QUILLMARCH_GOOGLETEST_SOURCE /usr/src/googletest
  CACHE PATH "GoogleTest source tree for the cross build")
if(NOT EXISTS ${QUILLMARCH_GOOGLETEST_SOURCE}/googletest/CMakeLists.txt)
  message(FATAL_ERROR
    "GoogleTest's source is not in ${QUILLMARCH_GOOGLETEST_SOURCE}: "
    "install Debian's googletest package (scripts/setup-wine.sh does) or set "
    "QUILLMARCH_GOOGLETEST_SOURCE")
endif()

# Ours to build and link, not to install; gtest's own CMake would otherwise
# add install rules to our tree.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_build_tests OFF CACHE BOOL "" FORCE)
set(gtest_build_samples OFF CACHE BOOL "" FORCE)

# Third-party code: built with its own flags, without our warnings.
add_subdirectory(${QUILLMARCH_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

foreach(lib gtest gtest_main gmock gmock_main)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
