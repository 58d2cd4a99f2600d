# Test machinery shared by every test program of the project.
#
# Native builds run their tests directly. Windows builds run them under Wine
# (a private prefix inside the build folder; each test in a copy of it with a
# server of its own) when TAVO_RUN_WINDOWS_TESTS is on: the 64-bit build under
# Debian's wine64, the 32-bit product build under the 32-bit Wine that
# scripts/setup-wine32 prepares (its runners wine32 and wineserver32).
option(BUILD_TESTING "Build the tests" ON)
option(TAVO_RUN_WINDOWS_TESTS "Run Windows test programs under Wine" OFF)
enable_testing()

set(TAVO_TEST_RESULTS ${CMAKE_BINARY_DIR}/test-results)
file(MAKE_DIRECTORY ${TAVO_TEST_RESULTS})

# tavo_check_imports(TARGET): the Windows binary loads on Windows 7 SP1: it
# imports system DLLs only, nothing of a later Windows, and says 6.1.
function(tavo_check_imports target)
  if(WIN32)
    find_program(TAVO_OBJDUMP NAMES ${TAVO_MINGW_TRIPLE}-objdump objdump REQUIRED)
    add_test(NAME ${target}_imports_system_dlls_only
      COMMAND ${CMAKE_SOURCE_DIR}/cmake/check-imports.sh ${TAVO_OBJDUMP} $<TARGET_FILE:${target}>
        ${CMAKE_SOURCE_DIR}/cmake/newer-than-windows7.txt)
    set_tests_properties(${target}_imports_system_dlls_only PROPERTIES CROSSCOMPILING_EMULATOR "")
  endif()
endfunction()

if(NOT BUILD_TESTING)
  return()
endif()

if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(TAVO_GTEST_MAIN gtest_main)
  set(TAVO_GMOCK gmock)
else()
  find_package(GTest REQUIRED)
  set(TAVO_GTEST_MAIN GTest::gtest_main)
  set(TAVO_GMOCK GTest::gmock)
endif()

set(TAVO_WINDOWS_EXECUTES_TESTS OFF)
if(WIN32 AND TAVO_RUN_WINDOWS_TESTS)
  set(TAVO_WINDOWS_EXECUTES_TESTS ON)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(TAVO_WINE32_HOME "$ENV{TAVO_WINE32_HOME}")
    if(NOT TAVO_WINE32_HOME)
      set(TAVO_WINE32_HOME /opt/tavo-wine32)
    endif()
    find_program(TAVO_WINE NAMES wine32 PATHS ${TAVO_WINE32_HOME} NO_DEFAULT_PATH REQUIRED)
    find_program(TAVO_WINESERVER NAMES wineserver32 PATHS ${TAVO_WINE32_HOME} NO_DEFAULT_PATH REQUIRED)
  else()
    find_program(TAVO_WINE NAMES wine64 wine PATHS /usr/lib/wine REQUIRED)
    find_program(TAVO_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine REQUIRED)
  endif()
  set(TAVO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
  add_test(NAME wine_start COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --start-server)
  set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  add_test(NAME wine_stop COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --stop-server)
  set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)
endif()

# True when test programs of this build can be executed here.
if(NOT CMAKE_CROSSCOMPILING OR TAVO_WINDOWS_EXECUTES_TESTS)
  set(TAVO_EXECUTES_TESTS ON)
else()
  set(TAVO_EXECUTES_TESTS OFF)
endif()

# Marks a test as running Windows programs under Wine on Windows builds:
# after the prefix is prepared, in a prefix and server of the test's own.
function(tavo_test_needs_wine test_name)
  if(TAVO_WINDOWS_EXECUTES_TESTS)
    set_tests_properties(${test_name} PROPERTIES FIXTURES_REQUIRED wine)
    set_property(TEST ${test_name} APPEND PROPERTY ENVIRONMENT TAVO_WINE_TEST=${test_name})
  endif()
endfunction()

# tavo_add_gtest(NAME SOURCES files... LIBS libs...)
# One GoogleTest program; its results go to test-results/NAME.xml, which the
# test script sums into the closing "N passed, N failed" line.
function(tavo_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${TAVO_GTEST_MAIN})
  tavo_warnings(${name})
  if(TAVO_EXECUTES_TESTS)
    # Under Wine a Unix path needs the drive that maps the Unix root.
    set(results ${TAVO_TEST_RESULTS})
    if(WIN32)
      set(results Z:${TAVO_TEST_RESULTS})
    endif()
    add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${results}/${name}.xml)
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
    tavo_test_needs_wine(${name})
    if(TAVO_WINDOWS_EXECUTES_TESTS)
      # A program that hangs fails with where it waits, before the time-out.
      set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT TAVO_RUN_SECONDS=540)
    endif()
  endif()
endfunction()
