# Helpers shared by every folder's CMakeLists.txt.
#
#   kelvo_test(<name> SOURCES <files...> LIBS <targets...> [ENV <VAR=value...>] [TIMEOUT <s>]
#              [LABELS <labels...>])
#       A GoogleTest binary; each TEST becomes one CTest test.  KELVO_TEST_DATA is the absolute
#       path of tests/data, KELVO_BINARY_DIR the build tree.  LABELS marks every test of the
#       binary ("long": minutes of run time; still run by scripts/test.sh, left out by
#       `ctest -LE long`).
#   kelvo_bench(<name> SOURCES <files...> LIBS <targets...>)
#       A Google Benchmark program (never run by CTest).
#   kelvo_bench_real_kernel(<name> SOURCES <files...> [LIBS <targets...>])
#       A benchmark over the real kernel (bench/kernel_link/bench_link_support.h): linked with
#       kernel_link and tovu, KL_REAL_KERNEL and KL_KERNSRV the paths of platform_kernel and
#       kernsrv, built after them.  Call it only when both targets exist.
#   kelvo_fuzz(<name> SOURCES <files...> LIBS <targets...>)
#       A libFuzzer target; run it with scripts/fuzz.sh <name> <seconds>.

function(kelvo_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_compile_definitions(${name} PRIVATE
        KELVO_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        KELVO_BINARY_DIR="${PROJECT_BINARY_DIR}")
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    # The environment goes through `env` as the target's launcher, which gtest_discover_tests
    # uses both to list and to run the tests; a list in the ENVIRONMENT property would be split
    # into further property names.
    if(T_ENV)
        set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR env ${T_ENV})
    endif()
    set(properties TIMEOUT ${T_TIMEOUT})
    if(T_LABELS)
        list(APPEND properties LABELS "${T_LABELS}")
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES ${properties})
endfunction()

function(kelvo_bench name)
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main)
    target_compile_definitions(${name} PRIVATE
        KELVO_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        KELVO_BINARY_DIR="${PROJECT_BINARY_DIR}")
endfunction()

function(kelvo_bench_real_kernel name)
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    kelvo_bench(${name}
        SOURCES ${B_SOURCES} ${PROJECT_SOURCE_DIR}/bench/kernel_link/bench_link_lsan.cpp
        LIBS kernel_link tovu ${B_LIBS})
    target_compile_definitions(${name} PRIVATE
        KL_REAL_KERNEL="$<TARGET_FILE:platform_kernel>"
        KL_KERNSRV="$<TARGET_FILE:kernsrv>")
    add_dependencies(${name} platform_kernel kernsrv)
endfunction()

function(kelvo_fuzz name)
    cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()
