# The date a build may put into what it makes: SOURCE_DATE_EPOCH when set, else the time of
# the commit checked out, so that two builds of one commit agree; only outside a git checkout
# the time of the build.
function(vtx_source_date_epoch out)
    if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
        set(${out} "$ENV{SOURCE_DATE_EPOCH}" PARENT_SCOPE)
        return()
    endif()
    find_package(Git QUIET)
    if(GIT_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
            RESULT_VARIABLE failed ERROR_QUIET)
        if(NOT failed AND epoch MATCHES "^[0-9]+$")
            set(${out} "${epoch}" PARENT_SCOPE)
            return()
        endif()
    endif()
    string(TIMESTAMP now "%s" UTC)
    set(${out} "${now}" PARENT_SCOPE)
endfunction()

# The year of that date, UTC.
function(vtx_source_date_year out)
    vtx_source_date_epoch(epoch)
    # string(TIMESTAMP) reads the date from the environment.
    set(saved "$ENV{SOURCE_DATE_EPOCH}")
    set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
    string(TIMESTAMP year "%Y" UTC)
    if(saved STREQUAL "")
        unset(ENV{SOURCE_DATE_EPOCH})
    else()
        set(ENV{SOURCE_DATE_EPOCH} "${saved}")
    endif()
    set(${out} "${year}" PARENT_SCOPE)
endfunction()
