# Helpers shared by every subsystem's CMakeLists.txt.
#
#   vx_library(NAME SOURCES ... [LIBS ...])
#       A static library of our own code. Files under a `win32/` folder are
#       compiled only for Windows, files under `posix/` only natively; the
#       caller lists them all and the helper drops what does not belong.
#   vx_test(NAME SOURCES ... [LIBS ...] [LABELS ...])
#       A GoogleTest executable. Natively it carries the label `unit`; in the
#       windows build it runs under Wine with the label `wine`.
#   vx_fuzz(NAME SOURCES ... [LIBS ...] [SECONDS n])
#       A libFuzzer target (fuzz build only) with a short ctest run, label `fuzz`,
#       from the seed corpus in corpus/NAME/ beside it (scripts/fuzz-long.sh
#       runs them long and merges what they find back into those seeds).
#   vx_bench(NAME SOURCES ... [LIBS ...])
#       A Google Benchmark executable (native lab build only, not a test).
#   vx_e2e(NAME COMMAND ...)
#       A lab test (label `e2e`); it needs root for the network namespaces.

# Warnings are errors, except GCC's flow-based memory warnings: at -O3 GCC 12
# reports false overlaps and out-of-bounds copies inside libstdc++'s own code
# (std::string concatenation, vector insertion), so a Release build would stop
# on them. They still show as warnings.
set(VX_WARNINGS -Wall -Wextra -Wpedantic -Werror -Wno-error=deprecated-declarations
    $<$<CXX_COMPILER_ID:GNU>:-Wno-error=restrict>
    $<$<CXX_COMPILER_ID:GNU>:-Wno-error=array-bounds>
    $<$<CXX_COMPILER_ID:GNU>:-Wno-error=stringop-overflow>)

function(_vx_filter_platform out)
  set(kept)
  foreach(f IN LISTS ARGN)
    if(WIN32 AND f MATCHES "(^|/)posix/")
      continue()
    endif()
    if(NOT WIN32 AND f MATCHES "(^|/)win32/")
      continue()
    endif()
    list(APPEND kept ${f})
  endforeach()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()

function(vx_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  _vx_filter_platform(srcs ${A_SOURCES})
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${VX_WARNINGS})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
  if(VX_FUZZ)
    # Coverage for the fuzzers inside our own libraries.
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

function(vx_test name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  _vx_filter_platform(srcs ${A_SOURCES})
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${name} PRIVATE ${VX_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  if(WIN32)
    # Named apart from the native test of the same sources.
    add_test(NAME ${name}_wine COMMAND ${name})
    set_tests_properties(${name}_wine PROPERTIES LABELS "wine;${A_LABELS}"
      FIXTURES_REQUIRED wine_env TIMEOUT 300
      ENVIRONMENT "VX_SOURCE_DIR=${PROJECT_SOURCE_DIR};VX_BINARY_DIR=${PROJECT_BINARY_DIR}")
  else()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "unit;${A_LABELS}" TIMEOUT 300
      ENVIRONMENT "VX_SOURCE_DIR=${PROJECT_SOURCE_DIR};VX_BINARY_DIR=${PROJECT_BINARY_DIR}")
  endif()
endfunction()

function(vx_fuzz name)
  cmake_parse_arguments(A "" "SECONDS" "SOURCES;LIBS" ${ARGN})
  if(NOT VX_FUZZ)
    return()
  endif()
  if(NOT A_SECONDS)
    set(A_SECONDS 15)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}.corpus)
  set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
      sh -c "mkdir -p '${corpus}' && exec \"$0\" -max_total_time=${A_SECONDS} -rss_limit_mb=2048 -print_final_stats=0 '${corpus}' $( [ -d '${seeds}' ] && echo '${seeds}' )"
      $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 600)
  # For scripts/fuzz-long.sh: name, program and seed corpus of every target.
  set_property(GLOBAL APPEND PROPERTY VX_FUZZ_TARGETS "${name} $<TARGET_FILE:${name}> ${seeds}")
endfunction()

# Writes build/<preset>/fuzz-targets.txt, one target a line: name, program,
# seed corpus (called once every fuzz folder is known).
function(vx_fuzz_manifest)
  get_property(lines GLOBAL PROPERTY VX_FUZZ_TARGETS)
  string(JOIN "\n" content ${lines})
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/fuzz-targets.txt CONTENT "${content}\n")
endfunction()

function(vx_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  if(WIN32 OR VX_FUZZ OR NOT VX_LAB)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE ${A_LIBS} benchmark::benchmark Threads::Threads)
endfunction()

function(vx_e2e name)
  cmake_parse_arguments(A "" "TIMEOUT" "COMMAND" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 600)
  endif()
  add_test(NAME ${name} COMMAND ${A_COMMAND})
  set_tests_properties(${name} PROPERTIES LABELS e2e TIMEOUT ${A_TIMEOUT} RUN_SERIAL TRUE
    SKIP_RETURN_CODE 77
    ENVIRONMENT "VX_SOURCE_DIR=${PROJECT_SOURCE_DIR};VX_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# Adds every immediate subfolder of the current folder that has a CMakeLists.txt,
# so that a new subsystem, lab program or test folder needs no edit elsewhere.
function(vx_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
