# Compiler warnings, sanitizers and ccache shared by every target.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

add_compile_options(-Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
if(ORVEXA_WERROR)
  add_compile_options(-Werror)
endif()

# A fuzz build instruments every library, so the fuzzers see coverage inside the code they test.
if(ORVEXA_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(ORVEXA_SANITIZE AND ORVEXA_TSAN)
  message(FATAL_ERROR "ORVEXA_SANITIZE and ORVEXA_TSAN need build folders of their own")
endif()

# ThreadSanitizer: the loop is posted to from the SIP thread and the audio callbacks.
if(ORVEXA_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(ORVEXA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Every test executable is one ctest entry; the label says which suite it belongs to.
function(orvexa_add_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set(env "ORVEXA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(ORVEXA_TSAN)
    list(APPEND env "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1")  # a race fails at once
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 600)
endfunction()
