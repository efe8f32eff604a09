# The Windows version resource of a target: the project's version and the source revision it was
# configured from (git describe; "unknown" outside a git checkout). Also writes
# <binary dir>/tw-version.txt ("<version> <revision>") for the packaging script.
enable_language(RC)

function(tw_version_resource target template)
    set(revision unknown)
    find_package(Git QUIET)
    if(GIT_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} describe --always --dirty --abbrev=12
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE described
            RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(NOT failed AND described)
            set(revision ${described})
        endif()
    endif()
    set(TW_SOURCE_REVISION ${revision})
    set(TW_VERSION_FULL ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0)
    string(REPLACE "." "," TW_VERSION_COMMAS ${TW_VERSION_FULL})
    configure_file(${template} ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    file(WRITE ${PROJECT_BINARY_DIR}/tw-version.txt "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0 ${revision}\n")
endfunction()
