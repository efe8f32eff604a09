# add_unit_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <s>] [LABELS <labels...>])
# Builds one Qt Test executable, registers it with CTest and runs it offscreen.
function(add_unit_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE twcore testsupport Qt5::Test ${ARG_LIBS})
    target_compile_definitions(${name} PRIVATE
        TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
        PLUGIN_PATH="$<TARGET_FILE:TwCouponPay5>"
        POS_HOST_PATH="$<TARGET_FILE:pos-host>"
        SCRM_SIM_PATH="$<TARGET_FILE:scrm-sim>"
        CASHIER_ROBOT_PATH="$<TARGET_FILE:cashier-robot>"
        SAMPLES_DIR="${PROJECT_SOURCE_DIR}/samples")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
        LABELS "${ARG_LABELS}")
endfunction()

# add_benchmark(<name> SOURCES <files...> [LIBS <targets...>])
# Benchmarks are CTest entries with the label "bench", kept out of the default run.
function(add_benchmark name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE twcore testsupport Qt5::Test ${ARG_LIBS})
    target_compile_definitions(${name} PRIVATE
        TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
        SCRM_SIM_PATH="$<TARGET_FILE:scrm-sim>")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
        LABELS bench)
endfunction()
