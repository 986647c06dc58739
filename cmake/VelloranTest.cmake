# velloran_add_test(<name> LABEL <label> SOURCES <files...> LIBS <targets...>
#                   [TIMEOUT <seconds>] [ENV <VAR=value...>])
# One GoogleTest program; every test case in it becomes a CTest test with the
# given label, so `ctest -L pty` picks exactly the pseudo-terminal suites.
include(GoogleTest)
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

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
  set(env "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1" ${T_ENV})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()
