# What every libFuzzer project here shares, included by fuzz/<target>/CMakeLists.txt after its
# project(): the language level, the source tree, Qt Core, and tk_fuzz_target(NAME SOURCES...),
# which builds NAME from its sources with the fuzzer and the address and undefined-behaviour
# sanitizers.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
if(NOT TK_SOURCE_DIR)
  get_filename_component(TK_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
endif()
find_package(Qt6 6.4 REQUIRED COMPONENTS Core)

function(tk_fuzz_target name)
  add_executable(${name} ${ARGN})
  target_include_directories(${name} PRIVATE ${TK_SOURCE_DIR}/src ${TK_SOURCE_DIR}/fuzz)
  target_compile_options(${name} PRIVATE -g -O1 -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE Qt6::Core)
endfunction()
