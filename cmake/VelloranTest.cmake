# velloran_add_test(<name> LABEL <label> SOURCES <files...> LIBS <targets...>
#                   [TIMEOUT <seconds>] [ENV <VAR=value...>])
# One GoogleTest program; every test case in it becomes a CTest test with the
# given label, so `ctest -L pty` picks exactly the pseudo-terminal suites.
include(GoogleTest)
find_package(Threads REQUIRED)
find_package(GTest QUIET)
if(NOT GTest_FOUND AND EXISTS /usr/src/googletest/CMakeLists.txt)
  # Cross builds have no packaged GoogleTest for the target: build Debian's
  # GoogleTest sources with the project's compiler instead.
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
elseif(NOT GTest_FOUND)
  message(FATAL_ERROR "GoogleTest not found: install libgtest-dev")
endif()

function(velloran_add_test name)
  cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT T_LABEL)
    message(FATAL_ERROR "velloran_add_test(${name}): LABEL is required")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set(ubsan "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1")
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    # Under Wine every process start costs seconds: one CTest test per
    # program instead of one per test case.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABEL};windows"
                         TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${ubsan};${T_ENV}")
  else()
    set(run_env ${T_ENV})
    if(VELLORAN_SANITIZE_THREAD)
      # Any report ends the test program with status 66, so the test fails;
      # the suppressions name orderings inside Qt that it cannot see.
      list(APPEND run_env "TSAN_OPTIONS=halt_on_error=1:exitcode=66:suppressions=${PROJECT_SOURCE_DIR}/tests/thread_sanitizer.supp")
    endif()
    if(run_env)
      # Discovered tests take list-valued properties apart; the variables go
      # through `cmake -E env`, which both discovery and the tests run under.
      set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${run_env}")
    endif()
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${ubsan}")
  endif()
endfunction()
