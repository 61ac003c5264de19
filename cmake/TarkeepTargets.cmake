# Shared helpers: every library is "all the .cpp files of one folder", so adding a
# source file never needs a CMake edit.

# Our own targets only: third-party code (GoogleTest built from source in the cross
# build) keeps its own flags.
function(tarkeep_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${TARKEEP_WERROR}>:-Werror>)
  # MinGW's g++ 12 at -O3 reports overlaps and overflows inside libstdc++'s own string
  # copies (false positives of that compiler's flow analysis; the native builds of the same
  # code are clean and keep these warnings).
  if(CMAKE_CROSSCOMPILING AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict -Wno-stringop-overflow -Wno-stringop-overread -Wno-array-bounds)
  endif()
endfunction()

# tarkeep_library(<name> <folder> [DEPS <targets>...])
function(tarkeep_library name folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  if(NOT sources)
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  tarkeep_warnings(${name})
endfunction()

# tarkeep_program(<name> <folder> [DEPS <targets>...])
function(tarkeep_program name folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  add_executable(${name} ${sources})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  tarkeep_warnings(${name})
endfunction()

# A program folder holds main.cpp plus the code behind it. Everything but main.cpp
# becomes the library <name>_lib so that tests link the same code the program runs.
# tarkeep_program_with_library(<name> <folder> [DEPS <targets>...])
function(tarkeep_program_with_library name folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${name}_lib STATIC ${sources})
    target_include_directories(${name}_lib PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name}_lib PUBLIC ${ARG_DEPS})
    tarkeep_warnings(${name}_lib)
  else()
    add_library(${name}_lib INTERFACE)
    target_include_directories(${name}_lib INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name}_lib INTERFACE ${ARG_DEPS})
  endif()
  add_executable(${name} ${folder}/main.cpp)
  target_link_libraries(${name} PRIVATE ${name}_lib)
  tarkeep_warnings(${name})
endfunction()
