# Test and benchmark executables. Each declares the programs it starts (NEEDS); only those are
# built first and only their paths are compiled in, as <TARGET>_PATH macros:
#   TwCouponPay5 -> PLUGIN_PATH, pos-host -> POS_HOST_PATH, scrm-sim -> SCRM_SIM_PATH,
#   cashier-robot -> CASHIER_ROBOT_PATH, glib-host -> GLIB_HOST_PATH.
# TEST_DATA_DIR and SAMPLES_DIR are always there.

function(tw_path_macros target)
    set(macros
        TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
        SAMPLES_DIR="${PROJECT_SOURCE_DIR}/samples")
    foreach(needed ${ARGN})
        if(needed STREQUAL "TwCouponPay5")
            set(macro PLUGIN_PATH)
        else()
            string(TOUPPER "${needed}" macro)
            string(REPLACE "-" "_" macro "${macro}")
            set(macro ${macro}_PATH)
        endif()
        list(APPEND macros ${macro}="$<TARGET_FILE:${needed}>")
        add_dependencies(${target} ${needed})
    endforeach()
    target_compile_definitions(${target} PRIVATE ${macros})
endfunction()

# add_unit_test(<name> SOURCES <files...> [LIBS <targets...>] [NEEDS <targets...>]
#               [TIMEOUT <s>] [LABELS <labels...>])
function(add_unit_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;NEEDS;LABELS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE twcore Qt5::Test ${ARG_LIBS})
    if(TARGET testhelpers)
        target_link_libraries(${name} PRIVATE testhelpers)
    endif()
    tw_path_macros(${name} ${ARG_NEEDS})
    add_test(NAME ${name} COMMAND ${name})
    # Under Wine the code page comes from the caller's locale (936 in the Windows suite).
    set(environment "QT_QPA_PLATFORM=offscreen")
    if(NOT WIN32)
        list(APPEND environment "LC_ALL=C.UTF-8")
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "${environment}"
        LABELS "${ARG_LABELS}")
endfunction()

# add_benchmark(<name> SOURCES <files...> [LIBS <targets...>] [NEEDS <targets...>])
# Benchmarks carry the label "bench" and stay out of the default run (ctest -L bench runs them).
function(add_benchmark name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;NEEDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE twcore testhelpers Qt5::Test ${ARG_LIBS})
    tw_path_macros(${name} ${ARG_NEEDS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
        LABELS bench)
endfunction()
