# Build speed of the host build: ccache and lld when the machine has them, and
# headers every translation unit of the board model and the tests parses
# (the JSON library, GoogleTest, the standard library) precompiled once.
#
#   TEST_CODE_OPTIONS: compile options of the test programs' own code.
#
#   precompile_common_headers(<target> board|test)
#     board: standard library and JSON; test: board's plus GoogleTest.
#     One precompiled header per set is built and every target of the set
#     reuses it, so it is only for host targets that take the project-wide
#     compile flags (not the drivers' own libraries, which see freestanding
#     headers only). -DPRECOMPILE_HEADERS=OFF turns it off.

option(PRECOMPILE_HEADERS "Precompile the headers the board model and the tests share" ON)

# ccache, when installed, unless the build already names a launcher. The
# sloppiness lets it cache compiles that use a precompiled header.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_CXX_COMPILER_LAUNCHER
      ${CMAKE_COMMAND} -E env
      CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
      ${CCACHE_PROGRAM})
endif()

# lld links the host programs several times faster than the default linker
# (the tests with debug information are tens of megabytes).
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND NOT EFI_IMAGE_BUILD)
  include(CheckLinkerFlag)
  check_linker_flag(CXX -fuse-ld=lld HOST_HAS_LLD)
  if(HOST_HAS_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()

# Under the sanitizers the test programs' own code (fixtures and checks; the
# code under test keeps the build's flags, and every unit keeps the
# sanitizers) is not optimised: a test unit compiles about 2.7 times faster at
# -O0, which saves more of a CI run than the slower test code costs (test
# programs run 2-3 times longer; platsim, the fuzz and firmware runs not at all).
set(TEST_CODE_OPTIONS)
if(SANITIZE)
  set(TEST_CODE_OPTIONS -O0)
endif()

set(_PCH_board <algorithm> <array> <cstdint> <cstring> <filesystem> <functional> <map>
    <memory> <optional> <set> <span> <string> <vector> <nlohmann/json.hpp>)
set(_PCH_test ${_PCH_board} <gtest/gtest.h>)

function(precompile_common_headers target set)
  if(NOT PRECOMPILE_HEADERS)
    return()
  endif()
  if(NOT DEFINED _PCH_${set})
    message(FATAL_ERROR "precompile_common_headers: unknown set '${set}' (board, test)")
  endif()
  set(holder common_headers_${set})
  if(NOT TARGET ${holder})
    # Created in the top directory's flags: the consumers share them.
    add_library(${holder} OBJECT ${PROJECT_SOURCE_DIR}/cmake/pch/empty.cpp)
    target_precompile_headers(${holder} PRIVATE ${_PCH_${set}})
    target_compile_options(${holder} PRIVATE -fexceptions)
    if(set STREQUAL "test")
      # The flags of the code that reads it (TEST_CODE_OPTIONS).
      target_compile_options(${holder} PRIVATE ${TEST_CODE_OPTIONS})
    endif()
    foreach(library nlohmann_json::nlohmann_json GTest::gtest)
      if(TARGET ${library})
        target_link_libraries(${holder} PRIVATE ${library})
      endif()
    endforeach()
  endif()
  target_precompile_headers(${target} REUSE_FROM ${holder})
endfunction()
